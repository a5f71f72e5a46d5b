#pragma once

#include "schedule/CalendarRequest.h"
#include "schedule/ScheduleCalendarModel.h"

#include <QList>
#include <QPoint>
#include <QWidget>

#include <functional>

class CalendarBatchSelection;
class QVariantAnimation;

// The day cells of the displayed month, painted in place (no widget per
// cell): seven equal columns, rows of 90 with 4 between. A click on a cell
// or on its count badge goes to the batch selection; a right click opens
// the day's menu; a horizontal drag from 10 px changes the month and never
// counts as a click. The figures are worked out once per change, not per
// paint.
class MonthGridView : public QWidget
{
    Q_OBJECT
    // The frame's swipe between calendar and statistics leaves our drags alone.
    Q_PROPERTY(bool handlesHorizontalDrag READ handlesHorizontalDrag CONSTANT)
public:
    using SearchMatch = std::function<bool(const QDate&)>;
    using Confirm = std::function<bool(const DeleteConfirmation&)>;

    MonthGridView(CalendarBatchSelection& selection, QWidget* parent = nullptr);

    bool handlesHorizontalDrag() const { return true; }
    // Days holding orders that the screen's search finds get a bold border.
    void setSearch(const QString& text, SearchMatch matches);
    // How a delete is confirmed (a warning alert unless a test says otherwise).
    void setConfirm(Confirm confirm) { m_confirm = std::move(confirm); }
    static bool askToDelete(QWidget* parent, const DeleteConfirmation& confirmation);

    // The cell rectangle of `day`, empty when it is not shown.
    QRect cellRect(const QDate& day) const;
    QRect badgeRect(const QDate& day) const;
    const QList<DayFigures>& figures() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // A swipe's new month is still sliding into place.
    bool isSliding() const;
    static constexpr int kSlideMs = 250;
    static constexpr int kNarrowestColumn = 64;

Q_SIGNALS:
    void requested(const CalendarRequest& request);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void refresh();
    int rowCount() const;
    QRect slotRect(int index) const;
    int dayIndexAt(const QPoint& pos) const;
    void runMenu(const QDate& day, const QPoint& globalPos);
    void finishSwipe(const QPoint& pos, quint64 timestamp);
    // Brings the new month in from the side the finger came from.
    void slideIn(int direction);

    CalendarBatchSelection& m_selection;
    ScheduleCalendarModel& m_model;
    QList<QDate> m_slots;
    mutable QList<DayFigures> m_figures; // one per day, in slot order
    mutable bool m_figuresValid = false;
    QString m_search;
    SearchMatch m_matches;
    Confirm m_confirm;
    QVariantAnimation* m_slide = nullptr;
    qreal m_slideLevel = 0; // 1 when the new month starts off to the side, 0 in place
    int m_slideDirection = 0;

    struct Sample
    {
        quint64 time;
        qreal x;
    };
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_pressPos;
    QList<Sample> m_samples;
};
