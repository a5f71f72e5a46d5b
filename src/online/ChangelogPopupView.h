#pragma once

#include <QDialog>

class QTextEdit;

// The changelog sheet: the last history shown comes at once from
// "changelogCache", a fresh copy replaces it when it arrives, and a failure
// keeps what is shown. Made afresh for every showing.
class ChangelogPopupView : public QDialog
{
    Q_OBJECT
public:
    explicit ChangelogPopupView(QWidget* parent = nullptr);

    // A new popup, window-modal over `parent`'s window, gone when closed.
    static ChangelogPopupView* create(QWidget* parent);

    QString changelogText() const { return m_text; }
    bool isLoading() const { return m_loading; }
    QTextEdit* rows() const { return m_rows; }
    // Its frame whatever the text; a smaller room gives it less, and the rows scroll.
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void loadChangelog();
    void render();

    QString m_text;
    bool m_loading = true;
    QTextEdit* m_rows;
};
