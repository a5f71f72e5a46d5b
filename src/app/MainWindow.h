#pragma once

#include <QMainWindow>

class ContentView;

// The one main window: the content view under a menu bar holding the
// application menu "Kelvara" (About and Quit).
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    ContentView* contentView() const { return m_content; }
    QAction* aboutAction() const { return m_about; }
    QAction* quitAction() const { return m_quit; }

Q_SIGNALS:
    void aboutRequested();

private:
    void applyTheme();

    ContentView* m_content = nullptr;
    QAction* m_about = nullptr;
    QAction* m_quit = nullptr;
};
