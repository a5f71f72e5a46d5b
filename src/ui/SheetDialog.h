#pragma once

#include <QDialog>

#include <functional>

class PlateButton;
class QVBoxLayout;
class ThemedLabel;

// The frame of the small sheets: a window-modal dialog holding a column
// under a 16 pt bold gold title, on a theme colour read at every paint.
class SheetDialog : public QDialog
{
    Q_OBJECT
public:
    using ColorFn = std::function<QColor()>;
    // `width` 0 lets the content decide.
    SheetDialog(const QString& title, QWidget* parent, ColorFn background, int width = 360, int padding = 24,
                int spacing = 16);

    QVBoxLayout* body() const { return m_body; }
    ThemedLabel* titleLabel() const { return m_title; }
    void setTitle(const QString& title);

    // The two sheet buttons: a quiet one on the search colour and a gold one.
    static PlateButton* cancelButton(const QString& text, QWidget* parent);
    static PlateButton* confirmButton(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ColorFn m_background;
    QVBoxLayout* m_body = nullptr;
    ThemedLabel* m_title = nullptr;
};
