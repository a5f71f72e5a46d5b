#pragma once

#include "ToolProgressPanel.h"

class PlateButton;
class QuickFilterController;

// The quick filter's progress panel with its "返回" button in the top-right
// corner. An output folder that could not be made ends in a failure face:
// its own title, the cause among the failures, no firework.
class QuickFilterProgressView : public ToolProgressPanel
{
    Q_OBJECT
public:
    explicit QuickFilterProgressView(QuickFilterController* controller, QWidget* parent = nullptr);

    PlateButton* backButton() const { return m_back; }

Q_SIGNALS:
    void backClicked();

protected:
    QString title() const override;
    bool celebrates() const override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QuickFilterController* m_filter;
    PlateButton* m_back;
};
