#pragma once

#include "orders/StatsEngine.h"

#include <QDate>
#include <QWidget>

#include <array>

class OrderManager;
class PackageShareView;
class PlateButton;
class RevenueTrendChart;
class StatCard;
class ThemedLabel;

// The income statistics screen: the counting-mode switch and its line, the
// export button, eight summary cards, the twelve-month trend and the
// package share. Its host scrolls it; the mode starts at cash every time a
// view is made.
class StatsView : public QWidget
{
    Q_OBJECT
public:
    StatsView(OrderManager& store, const QString& searchText, QWidget* parent = nullptr);

    void setSearchText(const QString& text);
    int statsMode() const { return m_mode; }
    void setStatsMode(int mode);
    StatsEngine& engine() { return m_engine; }

    // Opens the export sheet over the screen (window-modal).
    void showExportSheet();
    QDate exportStartDate() const { return m_exportStart; }
    QDate exportEndDate() const { return m_exportEnd; }

    static QString explanation(int mode);

private:
    void refresh();
    void styleModeButtons();

    OrderManager& m_store;
    StatsEngine m_engine;
    int m_mode = 0;
    QDate m_exportStart;
    QDate m_exportEnd;
    std::array<PlateButton*, 2> m_modeButtons{};
    ThemedLabel* m_explanation = nullptr;
    std::array<StatCard*, 8> m_cards{};
    RevenueTrendChart* m_chart = nullptr;
    PackageShareView* m_share = nullptr;
};
