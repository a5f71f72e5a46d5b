#pragma once

#include <QWidget>

class QPlainTextEdit;

// The box for the client's list of names: a plain-text editor inside a
// dashed border that turns gold while it has the focus, and a placeholder
// with a blinking cursor while it is empty and unfocused. A click anywhere
// in the box focuses the editor.
class QuickFilterKeywordBox : public QWidget
{
    Q_OBJECT
public:
    explicit QuickFilterKeywordBox(QWidget* parent = nullptr);

    QPlainTextEdit* editor() const { return m_editor; }
    QString keywordsText() const;
    bool editorFocused() const { return m_focused; }
    bool isPlaceholderShown() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();

    QPlainTextEdit* m_editor;
    QWidget* m_placeholder;
    bool m_focused = false;
};
