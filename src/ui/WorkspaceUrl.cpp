#include "WorkspaceUrl.h"

#include "platform/SystemSettingsHook.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

void openSystemSettingsPage(SystemSettingsHook::Page page)
{
    const QString where = SystemSettingsHook::open(page);
    if (where.isEmpty())
        return;
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("开启通知"), where, QMessageBox::Ok,
                                QApplication::activeWindow());
    box->setObjectName(QStringLiteral("settingsPageHint"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void openURLInWorkspace(const QString& address)
{
    if (address == QLatin1String(WorkspaceUrl::calendarPrivacy)) {
        openSystemSettingsPage(SystemSettingsHook::Page::CalendarPrivacy);
        return;
    }
    if (address == QLatin1String(WorkspaceUrl::notifications)) {
        openSystemSettingsPage(SystemSettingsHook::Page::Notifications);
        return;
    }
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https"))
        QDesktopServices::openUrl(url);
}
