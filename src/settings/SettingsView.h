#pragma once

#include "ui/ThemedPanel.h"

#include <QPointer>

#include <functional>

class QDialog;
class QLabel;
class QScrollArea;
class QVBoxLayout;
class UniformVolumeSlider;

// The settings page of the top bar's sheet: import sound and volume, the
// quick filter's missing list, launch page, theme, icon style and launcher
// sync, backups, and the support notes with the author line. Every control
// writes its preference at once and follows outside writes.
class SettingsView : public ThemedPanel
{
    Q_OBJECT
public:
    // Asks for a file; answers with the chosen path, or an empty one when
    // cancelled. Tests replace the dialogs with a script.
    struct FileChooser {
        std::function<void(QWidget* parent, const QString& suggestedName, std::function<void(QString)>)> save;
        std::function<void(QWidget* parent, std::function<void(QString)>)> open;
    };
    using PopupFactory = std::function<QDialog*(QWidget* parent)>;

    explicit SettingsView(std::function<void()> onPackageSettingsTapped = {}, QWidget* parent = nullptr);

    static constexpr int kMessageHideMs = 8000;
    static const QStringList& launchPages();

    // The stored volume as shown, clamped to 0-100 (a restored backup can hold anything).
    static int storedVolume();
    // A slider value as stored: rounded half away from zero, clamped to 0-100.
    static int volumeToStore(double value);
    // "Kelvara备份_yyyyMMdd_HHmmss.kvbak" for `now`.
    static QString suggestedBackupName(const QDateTime& now);

    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    void setAboutAuthorFactory(PopupFactory factory) { m_aboutFactory = std::move(factory); }
    void setMessageHideInterval(int ms) { m_hideMs = ms; }

    void exportBackup();
    void importBackup();
    void showBackupMessage(const QString& message);
    QString backupMessage() const { return m_message; }
    bool isBackupMessageShown() const { return m_messageShown; }
    // The four optional backup contents, in their display order.
    QList<bool> backupChoices() const;
    std::function<void()> onPackageSettingsTapped() const { return m_onPackageSettings; }

private:
    QWidget* group(const QString& title, const QString& icon, QWidget* content);
    QWidget* importGroup();
    QWidget* quickFilterGroup();
    QWidget* generalGroup();
    QWidget* backupGroup();
    QWidget* supportGroup();
    QWidget* backupChoicePanel(QWidget* parent);
    // Asks before replacing anything, naming the orders on both sides.
    void confirmImport(const QString& path, int ordersInFile);
    void importFailed(const QString& cause);
    void refreshMessage();
    // The message line sits at the foot of the backup group, often below
    // the fold, and hides again after a few seconds.
    void revealMessage();

    std::function<void()> m_onPackageSettings;
    FileChooser m_chooser;
    PopupFactory m_aboutFactory;
    int m_hideMs = kMessageHideMs;
    QString m_message;
    bool m_messageShown = false;
    QLabel* m_messageLabel = nullptr;
    QScrollArea* m_scroll = nullptr;
    bool m_choices[4] = {true, true, true, true};
    QPointer<QDialog> m_about;
};
