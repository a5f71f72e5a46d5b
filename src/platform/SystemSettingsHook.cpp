#include "SystemSettingsHook.h"

#include "Log.h"
#include "Product.h"

#include <QProcess>
#include <QStandardPaths>

namespace {
SystemSettingsHook::Handler& installed()
{
    static SystemSettingsHook::Handler handler;
    return handler;
}

SystemSettingsHook::Launcher& launcher()
{
    static SystemSettingsHook::Launcher launch;
    return launch;
}

bool startDetached(const QStringList& command)
{
    return QProcess::startDetached(command.first(), command.mid(1));
}
}

QString SystemSettingsHook::anchor(Page page)
{
    switch (page) {
    case Page::CalendarPrivacy:
        return QStringLiteral("Privacy_Calendars");
    case Page::Notifications:
        return QStringLiteral("Notifications");
    }
    return {};
}

QStringList SystemSettingsHook::settingsCommand(Page page, const QString& desktop, const Finder& find)
{
    if (page != Page::Notifications)
        return {};
    // XDG_CURRENT_DESKTOP is a colon-separated list, e.g. "ubuntu:GNOME".
    const QStringList names = desktop.toUpper().split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const struct {
        const char* desktop;
        QStringList command;
    } panels[] = {
        {"GNOME", {QStringLiteral("gnome-control-center"), QStringLiteral("notifications")}},
        {"KDE", {QStringLiteral("systemsettings"), QStringLiteral("kcm_notifications")}},
    };
    for (const auto& panel : panels) {
        if (!names.contains(QLatin1String(panel.desktop)))
            continue;
        const QString program = find(panel.command.first());
        if (program.isEmpty())
            return {};
        return QStringList{program} + panel.command.mid(1);
    }
    return {};
}

QString SystemSettingsHook::open(Page page)
{
    if (const Handler& handler = installed()) {
        handler(page, anchor(page));
        return {};
    }
    const QStringList command = settingsCommand(page, qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
                                                [](const QString& program) { return QStandardPaths::findExecutable(program); });
    if (!command.isEmpty()) {
        const Launcher& launch = launcher() ? launcher() : Launcher(startDetached);
        if (launch(command)) {
            Log::line(QStringLiteral("[SystemSettings] 已打开系统通知设置：") + command.join(QLatin1Char(' ')));
            return {};
        }
    }
    if (page == Page::Notifications)
        return QStringLiteral("无法自动打开通知设置。请在桌面的系统设置中找到「通知」，为 %1 开启通知。")
            .arg(QLatin1String(Product::kDisplayName));
    Log::line(QStringLiteral("[SystemSettings] 本系统没有对应的权限设置页面，未打开：") + anchor(page));
    return {};
}

SystemSettingsHook::Handler SystemSettingsHook::setHandler(Handler handler)
{
    Handler previous = std::move(installed());
    installed() = std::move(handler);
    return previous;
}

SystemSettingsHook::Launcher SystemSettingsHook::setLauncher(Launcher launch)
{
    Launcher previous = std::move(launcher());
    launcher() = std::move(launch);
    return previous;
}
