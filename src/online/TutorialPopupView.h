#pragma once

#include "online/PopupTexts.h"

#include <QDialog>

class QVBoxLayout;

// The tutorial sheet: the author's social links (two built in, replaced by
// "social.txt" when it holds a valid one) and the tutorial links of
// "tutorial.txt", fetched one after the other at every showing.
class TutorialPopupView : public QDialog
{
    Q_OBJECT
public:
    explicit TutorialPopupView(QWidget* parent = nullptr);

    static QList<PopupTexts::Link> builtInSocialLinks();
    const QList<PopupTexts::Link>& socialLinks() const { return m_social; }
    const QList<PopupTexts::Link>& tutorialLinks() const { return m_tutorial; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuild();

    QList<PopupTexts::Link> m_social;
    QList<PopupTexts::Link> m_tutorial;
    QVBoxLayout* m_socialBox;
    QVBoxLayout* m_tutorialBox;
};
