#pragma once

#include <QTimer>
#include <QWidget>

class ThemedLabel;

// A short-lived message over the bottom of its parent: a green check mark
// and the text on a rounded plate with a soft shadow. It owns its hide
// timer, so a second message restarts the full time and a closed parent
// leaves nothing behind.
class Toast : public QWidget
{
    Q_OBJECT
public:
    explicit Toast(QWidget* parent);

    // Shows `message` for `msecs`, `bottomMargin` above the parent's bottom.
    void showMessage(const QString& message, int bottomMargin = 40, int msecs = 2000);
    QString message() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    ThemedLabel* m_icon;
    ThemedLabel* m_text;
    QTimer m_hideTimer;
    int m_bottomMargin = 40;
};
