#pragma once

#include <QAbstractButton>

#include <functional>

// The FTP screen's big start and stop buttons: a semibold 14 label on a
// rounded fill chosen by the screen, dimmed while not usable, faded while
// pressed. The theme is read at every paint.
class FtpBigButton : public QAbstractButton
{
    Q_OBJECT
public:
    FtpBigButton(const QString& text, std::function<QColor()> fill, QWidget* parent = nullptr);

    struct Face {
        QColor text;
        QColor fill;
    };
    Face face() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<QColor()> m_fill;
};
