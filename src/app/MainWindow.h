#pragma once

#include <QMainWindow>

#include <functional>

class ContentView;
class QScreen;

// The one main window: the content view under the menu bar "文件" (Quit)
// and "帮助" (About). Its size and place are kept for the next start.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    ContentView* contentView() const { return m_content; }
    QAction* aboutAction() const { return m_about; }
    QAction* quitAction() const { return m_quit; }

    // Whether the app may go now; while a card is copying or a camera's file
    // is arriving it asks first and, on yes, cancels the copy and waits for
    // its worker.
    bool confirmQuit();
    // Shown, restored from the dock and in front: a second launch asks for it.
    void bringToFront();
    // Stores the size and place for the next start.
    void storeGeometry();

    // Tests answer the question in place of the dialog.
    void setQuitQuestion(std::function<bool()> ask) { m_ask = std::move(ask); }

    // How long launch work waits for a first frame that does not come (a
    // window opened minimised or on a hidden desktop).
    static constexpr int kFirstFrameWaitMs = 2000;

Q_SIGNALS:
    void aboutRequested();
    // Once, after the window's first paint is on screen (or after
    // kFirstFrameWaitMs from the first show without one).
    void firstFrameShown();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Strip of the title bar that must lie on a screen for a stored place to be used.
    static constexpr int kReachableStrip = 40;

    void applyTheme();
    void restoreStoredGeometry();
    // Shrinks a restored window to the free area of its screen (not below
    // its minimum) and moves it inside, as often as its frame becomes known,
    // up to the first frame.
    void fitStoredPlace();
    // The screen whose free area holds the most of the title bar of a window
    // at `frame`, or null when none holds enough to reach it.
    static const QScreen* screenOfTitleBar(const QRect& frame);
    void announceFirstFrame();
    std::function<bool()> m_ask;

    ContentView* m_content = nullptr;
    QAction* m_about = nullptr;
    QAction* m_quit = nullptr;
    bool m_fitStoredPlace = false;
    bool m_watchingFirstFrame = false;
    bool m_firstFrameShown = false;
};
