#include "MenuItem.h"

MenuItem MenuItem::make(const QString& title, const QString& icon, bool hasSubmenu, bool isComingSoon,
                        const QString& subtitle)
{
    return MenuItem{QUuid::createUuid(), title, icon, hasSubmenu, isComingSoon, subtitle};
}
