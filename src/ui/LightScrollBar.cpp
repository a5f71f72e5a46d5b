#include "LightScrollBar.h"

#include "ui/WheelGuard.h"

#include <QScrollArea>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDateTime>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTimer>

namespace {
constexpr const char* kShownAtProperty = "overlayScrollShownAt";
constexpr int kLingerMs = 1200;

// Scroll bars that float over the content: no track, a thin light knob that
// reads on a dark backdrop (the same in both themes).
class OverlayScrollStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override
    {
        if (hint == SH_ScrollBar_Transient)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_ScrollBarExtent)
            return 10;
        if (metric == PM_ScrollBarSliderMin)
            return 24;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        if (control != CC_ScrollBar)
            return QProxyStyle::drawComplexControl(control, option, painter, widget);
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (!bar)
            return;
        QRectF knob = subControlRect(CC_ScrollBar, bar, SC_ScrollBarSlider, widget);
        if (knob.isEmpty())
            return;
        const bool active = bar->state & (State_MouseOver | State_Sunken);
        // Overlay bars show while in use and for a moment after the content moved.
        const qint64 shownAt = widget ? widget->property(kShownAtProperty).toLongLong() : 0;
        const bool recent = QDateTime::currentMSecsSinceEpoch() - shownAt < kLingerMs;
        if (!active && !recent)
            return;
        const qreal thickness = active ? 7.0 : 5.0;
        if (bar->orientation == Qt::Vertical)
            knob = QRectF(knob.right() - thickness - 2, knob.top() + 2, thickness, knob.height() - 4);
        else
            knob = QRectF(knob.left() + 2, knob.bottom() - thickness - 2, knob.width() - 4, thickness);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(knob, thickness / 2, thickness / 2);
        painter->fillPath(path, QColor(255, 255, 255, active ? 150 : 95));
        painter->restore();
    }

    SubControl hitTestComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                     const QPoint& pos, const QWidget* widget) const override
    {
        return QProxyStyle::hitTestComplexControl(control, option, pos, widget);
    }
};
}

LightScrollBar::LightScrollBar(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(0, 0);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The hierarchy is not final while the owner is still being built.
    QTimer::singleShot(0, this, &LightScrollBar::applyToEnclosingScrollArea);
}

QStyle* LightScrollBar::overlayStyle()
{
    static QPointer<QStyle> instance;
    if (!instance) {
        auto* s = new OverlayScrollStyle;
        s->setParent(qApp);
        instance = s;
    }
    return instance;
}

QScrollArea* LightScrollBar::makeVerticalScrollArea(QWidget* parent)
{
    auto* area = new QScrollArea(parent);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    style(area);
    return area;
}

void LightScrollBar::style(QAbstractScrollArea* area)
{
    if (!area)
        return;
    // A page that scrolls is where a wheel turn meant for it lands on a menu.
    WheelGuard::install();
    area->setFrameShape(QFrame::NoFrame);
    area->setAutoFillBackground(false);
    area->viewport()->setAutoFillBackground(false);
    QPalette p = area->viewport()->palette();
    p.setColor(QPalette::Window, Qt::transparent);
    p.setColor(QPalette::Base, Qt::transparent);
    area->viewport()->setPalette(p);
    area->setStyle(overlayStyle());
    for (QScrollBar* bar : {area->verticalScrollBar(), area->horizontalScrollBar()}) {
        if (bar->style() == overlayStyle())
            continue;
        bar->setStyle(overlayStyle());
        bar->setAttribute(Qt::WA_Hover);
        QObject::connect(bar, &QScrollBar::valueChanged, bar, [bar] {
            bar->setProperty(kShownAtProperty, QDateTime::currentMSecsSinceEpoch());
            bar->update();
            QTimer::singleShot(kLingerMs + 50, bar, [bar] { bar->update(); });
        });
    }
}

void LightScrollBar::applyToEnclosingScrollArea()
{
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
            m_area = area;
            style(area);
            return;
        }
    }
}
