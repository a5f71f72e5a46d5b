#pragma once

#include <QWidget>

class QPlainTextEdit;
class ThemedLabel;
class ToggleSwitch;

// The changelog card's content: a row that expands the whole published
// history below it, loaded once per screen on the first expansion.
class ChangelogCardContent : public QWidget
{
    Q_OBJECT
public:
    explicit ChangelogCardContent(QWidget* parent = nullptr);

    bool isExpanded() const { return m_expanded; }
    QString changelogText() const { return m_text; }
    void toggle();

Q_SIGNALS:
    // The text area has just been shown; the page scrolls the card up.
    void expanded();

private:
    void loadChangelog();
    void setText(const QString& text);
    void refresh();

    bool m_expanded = false;
    QString m_text;
    ThemedLabel* m_rowLabel;
    ThemedLabel* m_chevron;
    QWidget* m_divider;
    QPlainTextEdit* m_textArea;
};

// The automatic-check preference: its switch and hint.
class UpdatePreferenceContent : public QWidget
{
    Q_OBJECT
public:
    explicit UpdatePreferenceContent(QWidget* parent = nullptr);
    ToggleSwitch* autoCheckSwitch() const { return m_switch; }

private:
    ToggleSwitch* m_switch;
};
