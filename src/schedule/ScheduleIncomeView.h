#pragma once

#include "ui/ThemedPanel.h"

#include <QPointer>

class CalendarBatchSelection;
class CalendarSyncManager;
class CalendarViewBody;
struct CalendarRequest;
class OrderManager;
class PlateButton;
class QLineEdit;
class QMessageBox;
class QScrollArea;
class QStackedWidget;
class QVariantAnimation;
class RevealBox;
class ScheduleCalendarModel;
class ScheduleIncomeState;
class ScheduleOrderFlows;
class ScheduleSettingsState;
class StatsView;
class UserDefaults;

// The schedule and income screen: the top bar with the legend, search,
// settings and new-order buttons, the search row, the view switch, and the
// month calendar or the income statistics below. It follows
// "ScheduleViewModeChanged" and "ScheduleSearchOrder" while it lives.
class ScheduleIncomeView : public ThemedPanel
{
    Q_OBJECT
public:
    // The half shown after a switch comes in over this long.
    static constexpr int kViewSwitchFadeMs = 200;

    // On the shared stores and preferences.
    explicit ScheduleIncomeView(QWidget* parent = nullptr);
    ScheduleIncomeView(OrderManager& orders, CalendarSyncManager& sync, UserDefaults& defaults,
                       QWidget* parent = nullptr);

    ScheduleIncomeState& state() const { return *m_state; }
    ScheduleOrderFlows& flows() const { return *m_flows; }
    CalendarViewBody* calendarView() const { return m_calendar; }

    // The sheets and alerts, opened window-modal over the screen.
    void openOrderForm();
    void openSettings();
    void openOrderSelection();
    void openImportAlert();
    void openFirstTimeGuide();
    // The last alert opened (tests answer it).
    QMessageBox* lastAlert() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildSearchRow();
    QWidget* buildModeBar();
    void showMode(int mode);
    void showContent(QWidget* page);
    void fadeInContent();
    void onAppear();
    void onCalendarRequest(const CalendarRequest& request);
    struct AlertButton {
        QString text;
        int role; // QMessageBox::ButtonRole
    };
    // An alert with exactly `buttons`: Enter takes the one at `defaultAt`,
    // Escape the one that cancels.
    QMessageBox* alert(const QString& title, const QString& message, const QList<AlertButton>& buttons,
                       int defaultAt = 0);
    // "提示" with the one button "好".
    void notice(const QString& message);

    OrderManager& m_orders;
    CalendarSyncManager& m_sync;
    UserDefaults& m_defaults;
    ScheduleIncomeState* m_state = nullptr;
    ScheduleOrderFlows* m_flows = nullptr;
    RevealBox* m_searchRow = nullptr;
    QLineEdit* m_searchField = nullptr;
    QWidget* m_clearButton = nullptr;
    PlateButton* m_modeButtons[2] = {nullptr, nullptr};
    QScrollArea* m_scroll = nullptr;
    QStackedWidget* m_content = nullptr;
    ScheduleCalendarModel* m_calendarModel = nullptr;
    CalendarBatchSelection* m_batchSelection = nullptr;
    CalendarViewBody* m_calendar = nullptr;
    QPointer<StatsView> m_stats;
    QVariantAnimation* m_contentFade = nullptr;
    ScheduleSettingsState* m_settingsState = nullptr;
    QPointer<QMessageBox> m_lastAlert;
};
