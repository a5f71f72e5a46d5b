#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

#include <functional>

class AutoImportController;
class AutoImportIdleView;
class AutoImportProgressView;
class QStackedLayout;

// The memory-card import screen: the idle view until a run starts, then the
// progress container, which stays (completed or cancelled form) until the
// next run. The run itself lives in the controller, so leaving and rebuilding
// the screen never loses it.
class AutoImportView : public QWidget
{
    Q_OBJECT
public:
    explicit AutoImportView(QWidget* parent = nullptr);
    AutoImportView(AutoImportController* controller, QWidget* parent);

    static constexpr const char* kNotificationName = "AutoImportFolder";

    enum class Purpose { card, destination };
    // Opens a folder dialog; returns the chosen folder or an empty text.
    // Tests replace it.
    using FolderChooser = std::function<QString(Purpose)>;
    void setFolderChooser(FolderChooser chooser) { m_chooser = std::move(chooser); }

    void processFolder(const QString& path);
    // The first dropped item starts a run when it is a folder.
    void handleDrop(const QList<QUrl>& urls);
    void showFilePicker();
    void chooseImportRootFolder();

    bool isShowingProgress() const;
    AutoImportIdleView* idleView() const { return m_idle; }
    AutoImportProgressView* progressView();
    AutoImportController* controller() const { return m_controller; }

private:
    void followState();
    void onNotification(const QVariant& object);
    QString chooseFolder(Purpose purpose);

    AutoImportController* m_controller;
    QStackedLayout* m_stack;
    AutoImportIdleView* m_idle;
    AutoImportProgressView* m_progress = nullptr;
    FolderChooser m_chooser;
};
