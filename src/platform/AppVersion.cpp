#include "AppVersion.h"

namespace AppVersion {

QString shortVersion(const QString& raw)
{
    const QString trimmed = raw.trimmed();
    return trimmed.isEmpty() ? QStringLiteral("3.5") : trimmed;
}

QString shortVersion()
{
#ifdef TESSARY_VERSION
    return shortVersion(QStringLiteral(TESSARY_VERSION));
#else
    return shortVersion(QString());
#endif
}

QString currentVersionText() { return QStringLiteral("V") + shortVersion(); }

}
