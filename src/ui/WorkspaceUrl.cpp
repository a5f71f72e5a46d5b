#include "WorkspaceUrl.h"

#include "platform/SystemSettingsHook.h"

#include <QDesktopServices>
#include <QUrl>

void openURLInWorkspace(const QString& address)
{
    if (address == QLatin1String(WorkspaceUrl::calendarPrivacy)) {
        SystemSettingsHook::open(SystemSettingsHook::Page::CalendarPrivacy);
        return;
    }
    if (address == QLatin1String(WorkspaceUrl::notifications)) {
        SystemSettingsHook::open(SystemSettingsHook::Page::Notifications);
        return;
    }
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https"))
        QDesktopServices::openUrl(url);
}
