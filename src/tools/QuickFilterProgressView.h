#pragma once

#include "ToolProgressPanel.h"

class PlateButton;
class QuickFilterController;

// The quick filter's progress panel with its "返回" button in the top-right
// corner. An output folder that could not be made ends in a failure face:
// its own title, the cause among the failures, no firework. Names of the
// client's list that matched no file are counted and the first few named.
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
    void refreshResults() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Names of the list without a file shown on the panel; the log has all.
    static constexpr int kShownMissing = 5;

    QuickFilterController* m_filter;
    PlateButton* m_back;
    ThemedLabel* m_missingCount;
    ElidedLabel* m_missingNames;
};
