#pragma once

#include <QSet>
#include <QString>
#include <QVariant>

class UserDefaults;

// Who may log in and what they may do, as the stored preferences say at one
// moment. Sessions hold no reference to the store: they are handed this value.
struct FtpAccess
{
    // The stored permission texts.
    static inline const QString kPermReadWrite = QStringLiteral("读写");
    static inline const QString kPermReadOnly = QStringLiteral("只读");
    static inline const QString kPermDisabled = QStringLiteral("禁用");

    QString userPerm;
    QString anonPerm;
    QString username;
    QString password;
    bool allowVideo = true;

    static FtpAccess fromStore(const UserDefaults& store);
    // Whether a change of `key` can change the value read by fromStore.
    static bool dependsOn(const QString& key);
    // Only a stored Boolean (or the numbers 0 and 1) can turn videos away.
    static bool allowsVideo(const QVariant& stored);
    static const QSet<QString>& videoExtensions();
};
