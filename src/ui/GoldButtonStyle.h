#pragma once

#include <QColor>
#include <QProxyStyle>

class QAbstractButton;

// The look of folder-choosing buttons: a compact medium 13 label on a
// rounded plate, gold on a faint gold plate in the dark theme, white on the
// accent fill in the light theme, dimmed when marked not available and faded
// while pressed. It only changes the look: whether the button reacts stays
// with its owner. The theme is read each time the face is drawn.
class GoldButtonStyle : public QProxyStyle
{
    Q_OBJECT
public:
    explicit GoldButtonStyle(bool enabled = true);

    struct Face {
        QColor text;
        QColor outline;
        QColor fill;
        qreal opacity;
    };
    // The face for the current theme.
    static Face face(bool enabled, bool pressed);

    static constexpr int kHorizontalPadding = 14;
    static constexpr int kVerticalPadding = 7;
    static constexpr qreal kCornerRadius = 8.0;

    bool isEnabledLook() const { return m_enabled; }
    void setEnabledLook(bool enabled);

    // Gives `button` this look (the style is owned by the button) and keeps it
    // repainted on theme changes.
    static GoldButtonStyle* apply(QAbstractButton* button, bool enabled = true);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contentsSize,
                           const QWidget* widget) const override;

private:
    bool m_enabled;
};
