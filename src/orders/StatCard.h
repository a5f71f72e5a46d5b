#pragma once

#include "ui/RoundedPanel.h"

class ElidedLabel;
class ThemedLabel;

// One summary card: a tinted symbol and the title (with its subtitle in
// full-width parentheses) above the value.
class StatCard : public RoundedPanel
{
    Q_OBJECT
public:
    StatCard(const QString& title, const QString& symbol, std::function<QColor()> color, const QString& subtitle,
             QWidget* parent = nullptr);
    void setValue(const QString& value);
    QString value() const;
    QString titleText() const;

private:
    ThemedLabel* m_title = nullptr;
    ElidedLabel* m_subtitle = nullptr;
    ThemedLabel* m_value = nullptr;
};
