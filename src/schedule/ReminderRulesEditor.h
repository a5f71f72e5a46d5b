#pragma once

#include "orderbook/ReminderRule.h"
#include "ui/RoundedPanel.h"

#include <QList>
#include <QUuid>

class PlateButton;
class QScrollArea;
class QVBoxLayout;
class ScheduleSettingsState;

// The reminder rule list of the settings sheet: one row per rule (amount,
// unit, time of a day rule, delete), the add button and its hint. Every
// change is stored through the state at once.
class ReminderRulesEditor : public RoundedPanel
{
    Q_OBJECT
public:
    explicit ReminderRulesEditor(ScheduleSettingsState& state, QWidget* parent = nullptr);

    PlateButton* addButton() const { return m_add; }
    QScrollArea* scrollArea() const { return m_scroll; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    // The list as tall as its rows, button and hint at the list's width, up to 240.
    void fitList();
    void rebuildRows();
    QWidget* makeRow(int index);

    ScheduleSettingsState& m_state;
    QScrollArea* m_scroll;
    QVBoxLayout* m_rows;
    PlateButton* m_add;
    QList<ReminderRule> m_shown;
};
