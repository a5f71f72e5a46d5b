#pragma once

#include "ui/ThemedPanel.h"

#include <functional>

class ElidedLabel;
class FtpBigButton;
class FtpServerController;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QToolButton;

// The FTP page: root folder, port, local address, account and permissions,
// start and stop with their status and notice, and the usage guide. The
// server and its state belong to the window's controller, so this page can
// be rebuilt at any time while a camera uploads.
class FtpTransferView : public ThemedPanel
{
    Q_OBJECT
public:
    // Asks for a folder; answers with its path, or an empty one when cancelled.
    using FolderChooser = std::function<void(QWidget* parent, std::function<void(QString)> done)>;

    explicit FtpTransferView(FtpServerController* controller, QWidget* parent = nullptr);

    void setFolderChooser(FolderChooser chooser) { m_chooser = std::move(chooser); }
    // The label a permission menu shows for a stored word.
    static QString permissionLabel(const QString& stored);
    // The camera tutorial addresses; empty ones open nothing.
    static void openTutorial(const QString& address);

private:
    QWidget* makeSettingsCard();
    QWidget* makeAccountBlock(const QString& icon, const QString& title, const char* key, const QString& placeholder);
    QWidget* makePermissionBlock(const QString& title, const char* key, const QString& whenAbsent);
    QWidget* makeGuideCard();
    void refresh();
    void chooseRootFolder();
    // Scrolls the notice into view: a refusal below the fold looks like a
    // button that does nothing.
    void revealNotice();

    FtpServerController* m_controller;
    FolderChooser m_chooser;
    QScrollArea* m_scroll = nullptr;
    QPushButton* m_rootButton = nullptr;
    ElidedLabel* m_rootPath = nullptr;
    QLineEdit* m_port = nullptr;
    QLabel* m_localIP = nullptr;
    QList<QWidget*> m_locked;
    QWidget* m_dot = nullptr;
    QLabel* m_status = nullptr;
    FtpBigButton* m_start = nullptr;
    FtpBigButton* m_stop = nullptr;
    QLabel* m_notice = nullptr;
};
