#pragma once

#include <QString>
#include <QUuid>

// The screens of the main window, named by what they are: code chooses a
// screen by this, never by the entry's Chinese title.
enum class ScreenId {
    none, // an entry made for display only: it opens the drop-zone page
    autoImport,
    splitRawJpg,
    quickFilter,
    ftp,
    schedule,
    photoDesign,
    batchTools,
    deleteRejects,
    portfolio,
    onlineSelection,
    softwareUpdate,
};

// A sidebar entry. The title is the key only where it is stored or posted
// (the launch page, remotely hidden entries, "NavigateToMenu"); equality
// compares every field, so two entries differing only in id are different.
struct MenuItem {
    QUuid id;
    QString title;
    QString icon;
    bool hasSubmenu = false;
    bool isComingSoon = false;
    QString subtitle;
    ScreenId screen = ScreenId::none;

    // A new entry with a fresh random id.
    static MenuItem make(const QString& title, const QString& icon, bool hasSubmenu, bool isComingSoon,
                         const QString& subtitle, ScreenId screen = ScreenId::none)
    {
        return MenuItem{QUuid::createUuid(), title, icon, hasSubmenu, isComingSoon, subtitle, screen};
    }

    friend bool operator==(const MenuItem& a, const MenuItem& b)
    {
        return a.id == b.id && a.title == b.title && a.icon == b.icon && a.hasSubmenu == b.hasSubmenu
            && a.isComingSoon == b.isComingSoon && a.subtitle == b.subtitle && a.screen == b.screen;
    }
    friend bool operator!=(const MenuItem& a, const MenuItem& b) { return !(a == b); }
};
