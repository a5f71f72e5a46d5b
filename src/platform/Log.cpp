#include "Log.h"

#include <QMutex>

#include <cstdio>

namespace {
QMutex& mutex()
{
    static QMutex m;
    return m;
}
Log::Sink& sink()
{
    static Log::Sink s;
    return s;
}
}

namespace Log {

void line(const QString& text)
{
    QMutexLocker lock(&mutex());
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    if (sink())
        sink()(text);
}

Sink setSink(Sink s)
{
    QMutexLocker lock(&mutex());
    Sink old = std::move(sink());
    sink() = std::move(s);
    return old;
}

}
