#include "PopupFit.h"

#include "online/TextAreaStyle.h"
#include "ui/AppTheme.h"
#include "ui/PlateButton.h"

#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTextLayout>

namespace {
// `frame` moved the least that puts it inside `room` (its top left corner
// inside when it is the larger).
QRect movedInto(QRect frame, const QRect& room)
{
    frame.moveLeft(qMax(room.left(), qMin(frame.left(), room.right() + 1 - frame.width())));
    frame.moveTop(qMax(room.top(), qMin(frame.top(), room.bottom() + 1 - frame.height())));
    return frame;
}

class RoomKeeper : public QObject
{
public:
    explicit RoomKeeper(QDialog* popup)
        : QObject(popup)
        , m_popup(popup)
    {
        popup->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // Text that arrives later asks for a new layout: the popup grows, or
        // starts to scroll, within the same room.
        if (event->type() == QEvent::Show && !event->spontaneous())
            fit(true);
        else if (event->type() == QEvent::LayoutRequest && m_popup->isVisible())
            fit(false);
        return false;
    }

private:
    void fit(bool centre)
    {
        const QRect room = PopupFit::room(m_popup->parentWidget());
        const QSize frame = m_popup->frameGeometry().size() - m_popup->size();
        m_popup->setFixedSize(m_popup->sizeHint().boundedTo(room.size() - frame));
        QRect placed = m_popup->frameGeometry();
        if (centre) {
            const QWidget* over = m_popup->parentWidget() ? m_popup->parentWidget()->window() : nullptr;
            placed.moveCenter(over && over->isVisible() ? over->frameGeometry().center() : room.center());
        }
        placed = movedInto(placed, room);
        // Placed here, the dialog does not centre itself again on its own.
        if (placed.topLeft() != m_popup->frameGeometry().topLeft())
            m_popup->move(placed.topLeft());
    }

    QDialog* m_popup;
};

void tipWhenCut(QWidget* w, const QString& text, const QString& shown)
{
    w->setToolTip(shown == text ? QString() : text);
}
}

namespace PopupFit {

void keepInRoom(QDialog* popup) { new RoomKeeper(popup); }

QRect room(const QWidget* parent)
{
    const QWidget* over = parent ? parent->window() : nullptr;
    const QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen();
    QRect r = screen->availableGeometry();
    if (over && over->isVisible())
        r &= over->frameGeometry();
    return r;
}

void setElidedText(PlateButton* button, const QString& text, int width)
{
    const PlateButton::Look& look = button->look();
    const int room = width - look.padding.left() - look.padding.right();
    const QString shown = QFontMetrics(look.font).elidedText(text, Qt::ElideRight, room);
    button->setText(shown);
    tipWhenCut(button, text, shown);
}

void setWrappedText(QLabel* label, const QString& text, int width)
{
    const QFontMetrics metrics(label->font());
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        // Laid out as the label wraps it: a line of the layout wider than
        // the room is a run that found no place to break.
        QTextLayout layout(line, label->font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        bool overflows = false;
        for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
            row.setLineWidth(width);
            overflows = overflows || row.naturalTextWidth() > width;
        }
        layout.endLayout();
        if (overflows)
            line = metrics.elidedText(line, Qt::ElideRight, width);
    }
    const QString shown = lines.join(QLatin1Char('\n'));
    label->setText(shown);
    tipWhenCut(label, text, shown);
}

}

FittingScrollArea::FittingScrollArea(QWidget* content, int width, QWidget* parent, int maxHeight)
    : QScrollArea(parent)
    , m_maxHeight(maxHeight)
{
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFixedWidth(width);
    setMaximumHeight(maxHeight);
    styleTextArea(this, AppTheme::textPrimary());
    setWidget(content);
    // setWidget fills the content with the palette's light window colour,
    // which hides the dark theme's light text: the popup's own ground shows.
    content->setAutoFillBackground(false);
}

QSize FittingScrollArea::sizeHint() const
{
    const int frame = 2 * frameWidth();
    const QWidget* content = widget();
    int height = 0;
    if (content)
        height = content->hasHeightForWidth() ? content->heightForWidth(width() - frame) : content->sizeHint().height();
    return {width(), qMin(qMax(height, 0) + frame, m_maxHeight)};
}

bool FittingScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    // The content changed its wish; the popup around asks again.
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QScrollArea::eventFilter(watched, event);
}
