#include "MenuCatalog.h"

#include "online/OnlineKeys.h"
#include "platform/Product.h"
#include "platform/UserDefaults.h"

namespace {
struct Entry {
    ScreenId screen;
    const char* title;
    const char* icon;
    bool hasSubmenu;
    bool isComingSoon;
    const char* subtitle;
    const char* usageEvent;
    bool core; // never hidden remotely
};

// The menu in display order. A subtitle's "%1" is the product's name.
constexpr Entry kMenu[] = {
    {ScreenId::autoImport, "自动导片", "tray.and.arrow.down", true, false, "一键从储存卡复制照片到桌面", "auto_import", true},
    {ScreenId::splitRawJpg, "自动分离", "square.split.2x1", true, false, "一键分离 RAW原图与JPG", "split_raw", true},
    {ScreenId::quickFilter, "快速分片", "line.3.horizontal.decrease.circle", true, false,
     "通过文件名快速找到文件夹中对应名称的Raw格式", "quick_filter", true},
    {ScreenId::ftp, "FTP传输", "network", false, false, "相机照片/视频实时无线传输到电脑", "ftp_page", true},
    {ScreenId::schedule, "档期收入", "calendar", false, false, "记录拍摄档期和客单收入\n自动统计每月营收情况", "schedule", true},
    {ScreenId::photoDesign, "照片设计", "wand.and.stars", false, true, "照片美化与设计工具", "", false},
    {ScreenId::batchTools, "批量小工具", "square.grid.2x2", false, true, "批量转档、压缩、水印等实用工具", "", false},
    {ScreenId::deleteRejects, "自动删废片", "trash", false, true, "自动帮你挑选出闭眼、虚焦、严重过曝等照片", "", false},
    {ScreenId::portfolio, "作品展示", "photo.on.rectangle.angled", false, true, "可快速分享给客户浏览你的作品集", "", false},
    {ScreenId::onlineSelection, "在线选片", "checkmark.circle", false, true,
     "小程序在线选片，自动同步%1一键导出Raw/JPG格式照片", "", false},
};
constexpr Entry kSoftwareUpdate{ScreenId::softwareUpdate, "软件更新", "arrow.down.circle", false, false, "", "check_update", false};

// Launch pages stored under names the menu no longer uses.
constexpr std::pair<const char*, ScreenId> kLegacyLaunchPages[] = {
    {"素材分离", ScreenId::splitRawJpg},
    {"快速分片RAW", ScreenId::quickFilter},
    {"自动删费片", ScreenId::deleteRejects},
};

MenuItem itemOf(const Entry& e)
{
    QString subtitle = QString::fromUtf8(e.subtitle);
    subtitle.replace(QLatin1String("%1"), QLatin1String(Product::kDisplayName));
    return MenuItem::make(QString::fromUtf8(e.title), QString::fromLatin1(e.icon), e.hasSubmenu, e.isComingSoon,
                          subtitle, e.screen);
}

const Entry* entryOf(ScreenId screen)
{
    if (screen == kSoftwareUpdate.screen)
        return &kSoftwareUpdate;
    for (const Entry& e : kMenu)
        if (e.screen == screen)
            return &e;
    return nullptr;
}
}

namespace MenuCatalog {
QList<MenuItem> fullMenu()
{
    QList<MenuItem> items;
    for (const Entry& e : kMenu)
        items.append(itemOf(e));
    return items;
}

MenuItem softwareUpdateItem() { return itemOf(kSoftwareUpdate); }

bool isCore(ScreenId screen)
{
    const Entry* e = entryOf(screen);
    return e && e->core;
}

QList<MenuItem> visibleMenuItems(const QList<MenuItem>& all, const QStringList& hidden)
{
    QList<MenuItem> kept;
    for (const MenuItem& item : all)
        if (isCore(item.screen) || !hidden.contains(item.title))
            kept.append(item);
    return kept;
}

QList<MenuItem> shownMenu()
{
    QStringList hidden;
    for (const QVariant& v : UserDefaults::standard().array(OnlineKeys::remoteHiddenFeatures).value_or(QVariantList()))
        if (v.typeId() == QMetaType::QString)
            hidden.append(v.toString());
    return visibleMenuItems(fullMenu(), hidden);
}

ScreenId launchPage(const std::optional<QString>& stored)
{
    if (!stored)
        return ScreenId::autoImport;
    for (const auto& [name, screen] : kLegacyLaunchPages)
        if (*stored == QString::fromUtf8(name))
            return screen;
    for (const Entry& e : kMenu)
        if (*stored == QString::fromUtf8(e.title))
            return e.screen;
    return ScreenId::autoImport;
}

QString usageEventName(ScreenId screen)
{
    const Entry* e = entryOf(screen);
    return e ? QString::fromLatin1(e->usageEvent) : QString();
}

QList<MenuItem> searchMenu()
{
    QList<MenuItem> items;
    for (const Entry& e : kMenu) {
        if (!isCore(e.screen))
            continue;
        MenuItem item = itemOf(e);
        item.subtitle.clear();
        items.append(item);
    }
    return items;
}
}
