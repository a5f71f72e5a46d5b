#pragma once

#include "schedule/CalendarRequest.h"
#include "schedule/MonthGridView.h"

#include <QWidget>

class CalendarBatchSelection;
class CalendarSyncManager;
class CalendarSyncStatusBar;
class PlateButton;
class ScheduleCalendarModel;
class SelectAllKeyFilter;
class ThemedLabel;
class RevealBox;
class Toast;

// The calendar half of the schedule screen: month header, calendar sync
// banner, weekday row, month grid, the order section with the balances due,
// and the batch toast. It keeps no state of its own beyond its widgets: the
// month, the selection and the filters live in the model and the batch
// selection the screen holds. Clicks that open sheets come out as requests.
class CalendarViewBody : public QWidget
{
    Q_OBJECT
public:
    // The scroll hint comes and goes over this long.
    static constexpr int kScrollHintFadeMs = 300;

    CalendarViewBody(ScheduleCalendarModel& model, CalendarBatchSelection& selection, QWidget* parent = nullptr);
    ~CalendarViewBody() override;

    MonthGridView* grid() const { return m_grid; }
    CalendarSyncStatusBar* syncStatusBar() const { return m_statusBar; }

    // The calendar sync whose events the cells show and whose switch and
    // access the banner reports; the banner's buttons act on it.
    void setCalendarSync(CalendarSyncManager* sync);

    // The screen's view mode (0: calendar) and its scroll hint flag.
    void setViewMode(int mode);
    void setShowScrollHint(bool show);
    // The screen's search: days with a found order get a bold border.
    void setSearch(const QString& text, MonthGridView::SearchMatch matches);
    // How deletes are confirmed (tests answer without an alert).
    void setConfirm(MonthGridView::Confirm confirm);

    // Asks to delete the picked orders; on confirmation deletes them, leaves
    // batch mode and shows the count in the toast.
    void confirmBatchDelete();
    void showBatchToast(const QString& message);
    Toast* toast() const { return m_toast; }
    RevealBox* scrollHint() const { return m_scrollHint; }

Q_SIGNALS:
    void requested(const CalendarRequest& request);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    void refreshHeader();
    void refreshBatchLayout();

    ScheduleCalendarModel& m_model;
    CalendarBatchSelection& m_selection;
    ThemedLabel* m_title;
    PlateButton* m_today;
    QList<ThemedLabel*> m_weekdays;
    CalendarSyncStatusBar* m_statusBar;
    MonthGridView* m_grid;
    RevealBox* m_scrollHint;
    RevealBox* m_batchSpacer;
    Toast* m_toast;
    SelectAllKeyFilter* m_keyFilter;
    MonthGridView::Confirm m_confirm;
    int m_viewMode = 0;
    bool m_showScrollHint = true;
};
