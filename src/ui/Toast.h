#pragma once

#include <QTimer>
#include <QWidget>

class Fader;
class FadingShadow;
class ThemedLabel;

// A short-lived message over the bottom of the part of its parent in view: a
// green check mark and the text on a rounded plate with a soft shadow, fading
// in and out. It owns its hide timer and its fade, so a second message
// restarts the full time, even while the first fades out, and a closed parent
// leaves nothing behind.
class Toast : public QWidget
{
    Q_OBJECT
public:
    explicit Toast(QWidget* parent);

    // Shows `message` for `msecs`, `bottomMargin` above the bottom of the
    // parent's visible part.
    void showMessage(const QString& message, int bottomMargin = 40, int msecs = 2000);
    QString message() const;
    const Fader& fader() const { return *m_fader; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    QRect visiblePartOfParent() const;

    ThemedLabel* m_icon;
    ThemedLabel* m_text;
    QTimer m_hideTimer;
    FadingShadow* m_shadow;
    Fader* m_fader;
    int m_bottomMargin = 40;
};
