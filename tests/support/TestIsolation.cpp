#include "TestIsolation.h"

#include "TestEnv.h"
#include "platform/LocalTimeConverter.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSet>
#include <QVariant>

#include <cstdlib>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {
QList<QByteArray> currentEnvironment()
{
    QList<QByteArray> entries;
    for (char** e = environ; *e; ++e)
        entries.append(*e);
    return entries;
}

std::vector<std::function<void()>>& resets()
{
    static std::vector<std::function<void()>> all;
    return all;
}

QByteArray nameOf(const QByteArray& entry) { return entry.left(entry.indexOf('=')); }

void emptyFolder(const QString& path)
{
    const QDir dir(path);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(entry.absoluteFilePath());
    }
}
}

bool TestIsolation::addReset(std::function<void()> reset)
{
    resets().push_back(std::move(reset));
    return true;
}

TestIsolation::TestIsolation()
    : m_environment(currentEnvironment())
{
}

void TestIsolation::OnTestEnd(const ::testing::TestInfo&)
{
    // Work a case left queued (deferred deletes, late writes) lands before
    // the folders are emptied, not in the next case.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents(QEventLoop::AllEvents);

    const QByteArray oldTz = qgetenv("TZ");
    QSet<QByteArray> names;
    for (const QByteArray& entry : m_environment)
        names.insert(nameOf(entry));
    for (const QByteArray& entry : currentEnvironment()) {
        if (!names.contains(nameOf(entry)))
            unsetenv(nameOf(entry).constData());
    }
    for (const QByteArray& entry : m_environment) {
        const QByteArray name = nameOf(entry);
        const QByteArray value = entry.mid(name.size() + 1);
        if (qgetenv(name.constData()) != value || !qEnvironmentVariableIsSet(name.constData()))
            setenv(name.constData(), value.constData(), 1);
    }
    if (qgetenv("TZ") != oldTz) {
        tzset();
        LocalTimeConverter::refresh();
    }

    // Cleared before the folders go, so its emptied file goes with them.
    UserDefaults& defaults = UserDefaults::standard();
    QVariantMap cleared;
    for (const QString& key : defaults.dictionaryRepresentation().keys())
        cleared.insert(key, QVariant());
    if (!cleared.isEmpty())
        defaults.setValues(cleared);

    for (const char* sub : {"/home", "/config", "/data", "/cache", "/state", "/runtime", "/tmp"})
        emptyFolder(TestEnv::root() + sub);
    for (const QString& file : QDir(TestEnv::root()).entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(TestEnv::root() + "/" + file);

    for (const auto& reset : resets())
        reset();
}
