#pragma once

#include <QWidget>

class Fader;
class QGraphicsOpacityEffect;

// Holds one widget and brings it in and out as a column does a row it
// inserts or removes: the space it takes grows or shrinks, so what follows
// slides, while the content, laid out at its full height and clipped, fades.
class RevealBox : public QWidget
{
    Q_OBJECT
public:
    RevealBox(QWidget* content, int msecs, bool shown, QWidget* parent = nullptr);

    void setShown(bool shown, bool animated);
    bool isShown() const;
    QWidget* content() const { return m_content; }
    const Fader& fader() const { return *m_fader; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int fullHeight(int width) const;
    // Within the content's own limits: a fixed height counts whatever its hint says.
    int boundedHeight(int height) const;
    int shownHeight(int full) const;
    void placeContent();

    QWidget* m_content;
    QGraphicsOpacityEffect* m_effect;
    Fader* m_fader;
};
