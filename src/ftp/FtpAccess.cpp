#include "FtpAccess.h"

#include "ftp/FtpKeys.h"
#include "platform/UserDefaults.h"

FtpAccess FtpAccess::fromStore(const UserDefaults& store)
{
    FtpAccess access;
    access.userPerm = store.value(FtpKeys::userPerm);
    access.anonPerm = store.value(FtpKeys::anonPerm);
    access.username = store.value(FtpKeys::username);
    access.password = store.value(FtpKeys::password);
    access.allowVideo = allowsVideo(store.object(FtpKeys::allowVideo));
    return access;
}

bool FtpAccess::dependsOn(const QString& key)
{
    for (const QString& name : {QString(FtpKeys::userPerm), QString(FtpKeys::anonPerm), QString(FtpKeys::username),
                                QString(FtpKeys::password), QString(FtpKeys::allowVideo)}) {
        if (key == name)
            return true;
    }
    return false;
}

bool FtpAccess::allowsVideo(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (ok && value.typeId() != QMetaType::QString && (number == 0 || number == 1)
        && value.toDouble() == double(number))
        return number == 1;
    return true;
}

const QSet<QString>& FtpAccess::videoExtensions()
{
    static const QSet<QString> extensions{QStringLiteral("mp4"), QStringLiteral("mov"), QStringLiteral("m4v"),
                                          QStringLiteral("avi"), QStringLiteral("mkv"), QStringLiteral("mpg"),
                                          QStringLiteral("mpeg")};
    return extensions;
}
