#include "MonthGridView.h"

#include "orderbook/OrderManager.h"
#include "schedule/CalendarBatchSelection.h"
#include "schedule/DayCellPainter.h"
#include "ui/AppTheme.h"
#include "ui/Fader.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVariantAnimation>

#include <cmath>

namespace {

constexpr int gap = 4;
constexpr int dragStart = 10;

QList<QUuid> idsOf(const QList<Order>& orders)
{
    QList<QUuid> ids;
    for (const Order& o : orders)
        ids.append(o.id);
    return ids;
}

}

MonthGridView::MonthGridView(CalendarBatchSelection& selection, QWidget* parent)
    : QWidget(parent)
    , m_selection(selection)
    , m_model(selection.model())
{
    setObjectName(QStringLiteral("monthGrid"));
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_confirm = [this](const DeleteConfirmation& c) { return askToDelete(this, c); };
    connect(&m_model, &ScheduleCalendarModel::changed, this, &MonthGridView::refresh);
    connect(&selection, &CalendarBatchSelection::changed, this, [this] { update(); });
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
    refresh();
}

void MonthGridView::setSearch(const QString& text, SearchMatch matches)
{
    m_search = text;
    m_matches = std::move(matches);
    update();
}

void MonthGridView::refresh()
{
    const QList<QDate> days = m_model.daysInMonth();
    const bool resized = days.size() != m_slots.size();
    m_slots = days;
    m_figuresValid = false;
    if (resized)
        updateGeometry();
    update();
}

const QList<DayFigures>& MonthGridView::figures() const
{
    if (!m_figuresValid) {
        m_figures.clear();
        for (const QDate& d : m_slots)
            m_figures.append(d.isValid() ? m_model.dayFigures(d) : DayFigures());
        m_figuresValid = true;
    }
    return m_figures;
}

int MonthGridView::rowCount() const
{
    return int((m_slots.size() + 6) / 7);
}

QSize MonthGridView::sizeHint() const
{
    const int rows = std::max(rowCount(), 1);
    return {7 * 10 + 6 * gap, rows * DayCellPainter::cellHeight + (rows - 1) * gap};
}

QSize MonthGridView::minimumSizeHint() const
{
    // Narrower cells could not hold a day's count badge.
    return {7 * kNarrowestColumn + 6 * gap, sizeHint().height()};
}

QRect MonthGridView::slotRect(int index) const
{
    const qreal column = (width() - 6.0 * gap) / 7.0;
    const int row = index / 7, col = index % 7;
    const int x = int(std::round(col * (column + gap)));
    const int right = int(std::round(col * (column + gap) + column));
    return QRect(x, row * (DayCellPainter::cellHeight + gap), right - x, DayCellPainter::cellHeight);
}

QRect MonthGridView::cellRect(const QDate& day) const
{
    const qsizetype i = m_slots.indexOf(day);
    return i < 0 || !day.isValid() ? QRect() : slotRect(int(i));
}

QRect MonthGridView::badgeRect(const QDate& day) const
{
    const qsizetype i = m_slots.indexOf(day);
    if (i < 0 || !day.isValid())
        return {};
    return DayCellPainter::badgeRect(slotRect(int(i)), figures()[i]).toAlignedRect();
}

int MonthGridView::dayIndexAt(const QPoint& pos) const
{
    for (int i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].isValid() && slotRect(i).contains(pos))
            return i;
    }
    return -1;
}

void MonthGridView::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    if (m_slideLevel > 0) {
        p.translate(m_slideDirection * m_slideLevel * width() / 4.0, 0);
        p.setOpacity(1 - 0.7 * m_slideLevel);
    }
    const QList<DayFigures>& all = figures();
    for (int i = 0; i < m_slots.size(); ++i) {
        const QRect r = slotRect(i);
        if (!m_slots[i].isValid() || (m_slideLevel == 0 && !r.intersects(event->rect())))
            continue;
        const bool matches = !m_search.trimmed().isEmpty() && m_matches && m_matches(m_slots[i]);
        DayCellPainter::paint(p, r, all[i], m_selection.isEmphasised(m_slots[i], matches));
    }
}

void MonthGridView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressed = true;
    m_dragging = false;
    m_pressPos = event->position().toPoint();
    m_samples = {{event->timestamp(), event->position().x()}};
    event->accept();
}

void MonthGridView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed)
        return;
    const QPoint pos = event->position().toPoint();
    if (!m_dragging && std::hypot(pos.x() - m_pressPos.x(), pos.y() - m_pressPos.y()) >= dragStart)
        m_dragging = true;
    m_samples.append({event->timestamp(), event->position().x()});
    event->accept();
}

void MonthGridView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_pressed || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    m_pressed = false;
    const QPoint pos = event->position().toPoint();
    if (m_dragging || std::hypot(pos.x() - m_pressPos.x(), pos.y() - m_pressPos.y()) >= dragStart) {
        m_dragging = false;
        finishSwipe(pos, event->timestamp());
        return;
    }
    const int i = dayIndexAt(m_pressPos);
    if (i < 0)
        return;
    const QDate day = m_slots[i];
    const bool onBadge = DayCellPainter::badgeRect(slotRect(i), figures()[i]).contains(m_pressPos);
    const CalendarRequest request = onBadge ? m_selection.badgeClicked(day, m_search)
                                            : m_selection.dayClicked(day, event->modifiers() & Qt::ShiftModifier);
    if (request.kind != CalendarRequest::Kind::none || request.date.isValid())
        Q_EMIT requested(request);
}

void MonthGridView::finishSwipe(const QPoint& pos, quint64 timestamp)
{
    const qreal tx = pos.x() - m_pressPos.x();
    const qreal ty = pos.y() - m_pressPos.y();
    // Speed over the last 100 ms of the drag, in px/s.
    Sample from = m_samples.first();
    for (const Sample& s : std::as_const(m_samples)) {
        if (s.time + 100 >= timestamp) {
            from = s;
            break;
        }
    }
    const qreal dt = std::max<qreal>(qreal(timestamp - from.time), 1) / 1000.0;
    const qreal v = (pos.x() - from.x) / dt;
    const bool fling = std::abs(v) > 200 && std::abs(tx) > 20;
    const bool slow = std::abs(tx) > std::abs(ty) && std::abs(tx) > 40;
    if (!fling && !slow)
        return;
    if (tx < 0)
        m_model.nextMonth();
    else
        m_model.previousMonth();
    slideIn(tx < 0 ? 1 : -1);
}

void MonthGridView::slideIn(int direction)
{
    if (!m_slide) {
        m_slide = new QVariantAnimation(this);
        m_slide->setStartValue(1.0);
        m_slide->setEndValue(0.0);
        m_slide->setDuration(kSlideMs);
        m_slide->setEasingCurve(Fader::easeInOut());
        connect(m_slide, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
            m_slideLevel = v.toReal();
            update();
        });
    }
    m_slideDirection = direction;
    m_slide->stop();
    m_slide->start();
}

bool MonthGridView::isSliding() const
{
    return m_slide && m_slide->state() == QAbstractAnimation::Running;
}

void MonthGridView::contextMenuEvent(QContextMenuEvent* event)
{
    const int i = dayIndexAt(event->pos());
    if (i >= 0)
        runMenu(m_slots[i], event->globalPos());
}

void MonthGridView::runMenu(const QDate& day, const QPoint& globalPos)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("dayMenu"));
    menu.setStyleSheet(AppTheme::menuStyleSheet());
    const auto symbol = [](const QString& name) { return Symbols::icon(name, 16, AppTheme::textPrimary()); };
    QMenu* deletes = nullptr;
    for (const DayMenuEntry& entry : m_selection.dayMenu(day)) {
        QMenu* target = &menu;
        if (entry.inSubmenu) {
            if (!deletes) {
                deletes = menu.addMenu(symbol(QStringLiteral("trash")), QStringLiteral("删除订单"));
                deletes->setObjectName(QStringLiteral("deleteMenu"));
            }
            target = deletes;
        }
        if (entry.action == DayMenuEntry::Action::divider) {
            target->addSeparator();
            continue;
        }
        QString text = entry.text;
        QAction* action = target->addAction(symbol(entry.symbol), text.replace(QLatin1Char('&'), QStringLiteral("&&")));
        connect(action, &QAction::triggered, this, [this, day, entry] {
            using A = DayMenuEntry::Action;
            switch (entry.action) {
            case A::toggleRestDay:
                m_selection.orderManager().toggleRestDay(day);
                break;
            case A::viewOrders: {
                CalendarRequest r;
                r.kind = CalendarRequest::Kind::editOrder;
                r.date = day;
                r.order = entry.orders.first();
                Q_EMIT requested(r);
                break;
            }
            case A::deleteOrder:
                if (m_confirm(CalendarBatchSelection::singleDeleteConfirmation(entry.orders.first(), m_selection.calendarReachesPhone())))
                    m_selection.deleteOrders(idsOf(entry.orders));
                break;
            case A::deleteDay:
                if (m_confirm(CalendarBatchSelection::dayDeleteConfirmation(int(entry.orders.size()),
                                                                           m_selection.calendarReachesPhone())))
                    m_selection.deleteOrders(idsOf(entry.orders));
                break;
            case A::divider:
                break;
            }
        });
    }
    menu.exec(globalPos);
}

bool MonthGridView::askToDelete(QWidget* parent, const DeleteConfirmation& confirmation)
{
    QMessageBox box(QMessageBox::Warning, confirmation.title, confirmation.title, QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("deleteConfirmation"));
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(confirmation.message);
    // Customer names are plain text, never markup.
    if (auto* info = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        info->setTextFormat(Qt::PlainText);
    QPushButton* remove = box.addButton(QStringLiteral("删除"), QMessageBox::AcceptRole);
    // Enter must never delete: the safe answer is the default.
    box.setDefaultButton(box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole));
    box.exec();
    return box.clickedButton() == remove;
}
