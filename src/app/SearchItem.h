#pragma once

#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <variant>

// Result groups, in the order they are listed.
enum class SearchItemCategory { function = 0, setting, businessData, viewSwitch, help };

inline constexpr std::array<SearchItemCategory, 5> kSearchItemCategories{
    SearchItemCategory::function, SearchItemCategory::setting, SearchItemCategory::businessData,
    SearchItemCategory::viewSwitch, SearchItemCategory::help};

inline std::optional<SearchItemCategory> searchItemCategoryFromRaw(int raw)
{
    if (raw < 0 || raw >= int(kSearchItemCategories.size()))
        return std::nullopt;
    return kSearchItemCategories[raw];
}

// What a click on a result does.
struct SearchAction
{
    enum class Kind {
        navigateToMenu,         // text: a menu title
        navigateToScheduleView, // flag: true calendar, false statistics
        searchOrder,            // text: a customer name
        openSettings,
        openTutorial,
        openChangelog,
        openPackageSettings,
        none
    };
    Kind kind = Kind::none;
    QString text;
    bool flag = false;

    static SearchAction navigateToMenu(const QString& title) { return {Kind::navigateToMenu, title, false}; }
    static SearchAction navigateToScheduleView(bool calendar) { return {Kind::navigateToScheduleView, {}, calendar}; }
    static SearchAction searchOrder(const QString& name) { return {Kind::searchOrder, name, false}; }
    static SearchAction of(Kind kind) { return {kind, {}, false}; }

    bool operator==(const SearchAction&) const = default;
};

struct SearchItem
{
    QString title;
    QString subtitle;
    SearchItemCategory category = SearchItemCategory::function;
    QString icon;
    SearchAction action;

    // Not unique: rows are told apart by their position.
    QString id() const { return title + QLatin1Char('|') + subtitle; }

    bool operator==(const SearchItem&) const = default;
};

struct SearchGroup
{
    SearchItemCategory category;
    QList<SearchItem> items;
};
