#pragma once

#include "ToolProgressPanel.h"

class AutoImportController;
class QPushButton;

// The import's progress panel: the running form with a cancel button, and
// the completed and cancelled forms (counts, firework, hint for the next
// card). Folders dropped on it start the next run; once ended, a click on it
// asks for the next card as the idle screen's button does.
class AutoImportProgressView : public ToolProgressPanel
{
    Q_OBJECT
public:
    // `failed`: some file was not imported; `empty`: nothing to import.
    enum class Form { running, completed, cancelled, failed, empty };

    explicit AutoImportProgressView(AutoImportController* controller, QWidget* parent = nullptr);

    Form form() const;
    static QString completedTitle() { return QStringLiteral("导片完成"); }

    QPushButton* cancelButton() const { return m_cancel; }

Q_SIGNALS:
    void chooseCardClicked();

protected:
    QString title() const override;
    bool celebrates() const override { return form() == Form::completed; }
    void refreshResults() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void applyThemeStyles();

    AutoImportController* m_import;
    QWidget* m_warning;
    ThemedLabel* m_warningLabel;
    ThemedLabel* m_photos;
    ThemedLabel* m_videos;
    ThemedLabel* m_skipped;
    QPushButton* m_cancel;
    bool m_pressed = false;
};
