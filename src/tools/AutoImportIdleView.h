#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class FolderDropZone;
class ElidedLabel;
class ToggleSwitch;
class QPushButton;
class ToolNotice;

// What the import screen shows before the first run: destination choice,
// drop zone, choose-card button and the daily-new-folder switch. The path
// line and the switch follow the stored preferences.
class AutoImportIdleView : public QWidget
{
    Q_OBJECT
public:
    explicit AutoImportIdleView(QWidget* parent = nullptr);

    FolderDropZone* dropZone() const { return m_dropZone; }
    QPushButton* chooseRootButton() const { return m_chooseRoot; }
    QPushButton* chooseCardButton() const { return m_chooseCard; }
    ToggleSwitch* dailySwitch() const { return m_daily; }
    ElidedLabel* pathLine() const { return m_path; }
    // Says why a drop on the zone started nothing.
    ToolNotice* notice() const { return m_notice; }

Q_SIGNALS:
    void chooseRootClicked();
    void chooseCardClicked();
    void urlsDropped(const QList<QUrl>& urls);

private:
    // The rows, top to bottom.
    QWidget* buildDestination();
    QWidget* buildDropZone();
    QWidget* buildChooseCard();
    QWidget* buildDailyRow();
    void refreshPreferences();
    void applyThemeStyles();

    FolderDropZone* m_dropZone;
    QPushButton* m_chooseRoot;
    QPushButton* m_chooseCard;
    ToggleSwitch* m_daily;
    ElidedLabel* m_path;
    ToolNotice* m_notice;
};
