#pragma once

#include <QString>
#include <QUuid>

// A sidebar entry. The title is the key by which screens, the launch page,
// hidden features, usage events and navigation find an entry; equality
// compares every field, so two entries differing only in id are different.
struct MenuItem {
    QUuid id;
    QString title;
    QString icon;
    bool hasSubmenu = false;
    bool isComingSoon = false;
    QString subtitle;

    // A new entry with a fresh random id.
    static MenuItem make(const QString& title, const QString& icon, bool hasSubmenu, bool isComingSoon,
                         const QString& subtitle);

    friend bool operator==(const MenuItem& a, const MenuItem& b)
    {
        return a.id == b.id && a.title == b.title && a.icon == b.icon && a.hasSubmenu == b.hasSubmenu
            && a.isComingSoon == b.isComingSoon && a.subtitle == b.subtitle;
    }
    friend bool operator!=(const MenuItem& a, const MenuItem& b) { return !(a == b); }
};
