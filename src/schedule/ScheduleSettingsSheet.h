#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QPointer>

class CardButton;
class PlateButton;

class QScrollArea;
class QVBoxLayout;
class RevealBox;
class ScheduleSettingsState;
class ThemedLabel;
class ToggleSwitch;

// The settings sheet of the schedule screen, "档期收入设置": one scrolling
// column of cards over a ScheduleSettingsState that outlives it. Every
// control shows its stored value at once, whoever wrote it.
class ScheduleSettingsSheet : public QDialog
{
    Q_OBJECT
public:
    explicit ScheduleSettingsSheet(ScheduleSettingsState& state, QWidget* parent = nullptr);

    ScheduleSettingsState& state() const { return m_state; }
    QScrollArea* scrollArea() const { return m_scroll; }
    // The alert or message box open over the sheet, if any.
    QMessageBox* openMessage() const { return m_message; }

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The size it opens at when the screen and its window have room.
    static constexpr QSize kPreferredSize{560, 720};

    QWidget* buildDailyLimitCard();
    QWidget* buildSwitchCard(const QString& symbol, const QString& title, bool goldTitle, const QString& text,
                             ToggleSwitch** toggle, PlateButton** shortcut);
    CardButton* buildDisclosure(const QString& symbol, const QString& title, ThemedLabel** chevron,
                                ThemedLabel** count = nullptr);
    QWidget* buildSyncInfoPanel();
    // A section under its disclosure, growing into place when opened.
    RevealBox* sectionBox(QWidget* section, QVBoxLayout* column);
    void toggleSection(bool& flag);
    void refresh();
    void showMessage(QMessageBox* box, std::function<void(int)> done);
    void confirmBatchSync();

    ScheduleSettingsState& m_state;
    QScrollArea* m_scroll;
    CardButton* m_packageEntry;
    ThemedLabel* m_packageChevron;
    RevealBox* m_packagesBox;
    ThemedLabel* m_dailyLimit;
    ToggleSwitch* m_weekStart;
    ToggleSwitch* m_calendarSync;
    ToggleSwitch* m_defaultSync;
    PlateButton* m_calendarShortcut;
    CardButton* m_syncInfoEntry;
    ThemedLabel* m_syncInfoChevron;
    RevealBox* m_syncInfoBox;
    CardButton* m_rulesEntry;
    ThemedLabel* m_rulesChevron;
    ThemedLabel* m_rulesCount;
    QList<ThemedLabel*> m_syncInfoLines;
    RevealBox* m_rulesBox;
    QWidget* m_notificationCard;
    ToggleSwitch* m_notification;
    PlateButton* m_notificationShortcut;
    PlateButton* m_batch;
    QPointer<QMessageBox> m_message;
    bool m_animateSections = false;
};
