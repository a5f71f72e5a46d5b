#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class AutoImportDropZone;
class AutoImportElidedLabel;
class AutoImportToggleSwitch;
class QPushButton;

// What the import screen shows before the first run: destination choice,
// drop zone, choose-card button and the daily-new-folder switch. The path
// line and the switch follow the stored preferences.
class AutoImportIdleView : public QWidget
{
    Q_OBJECT
public:
    explicit AutoImportIdleView(QWidget* parent = nullptr);

    AutoImportDropZone* dropZone() const { return m_dropZone; }
    QPushButton* chooseRootButton() const { return m_chooseRoot; }
    QPushButton* chooseCardButton() const { return m_chooseCard; }
    AutoImportToggleSwitch* dailySwitch() const { return m_daily; }
    AutoImportElidedLabel* pathLine() const { return m_path; }

Q_SIGNALS:
    void chooseRootClicked();
    void chooseCardClicked();
    void urlsDropped(const QList<QUrl>& urls);

private:
    void refreshPreferences();
    void applyThemeStyles();

    AutoImportDropZone* m_dropZone;
    QPushButton* m_chooseRoot;
    QPushButton* m_chooseCard;
    AutoImportToggleSwitch* m_daily;
    AutoImportElidedLabel* m_path;
};
