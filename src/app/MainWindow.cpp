#include "MainWindow.h"

#include "ui/AppTheme.h"
#include "ui/ThemeObserver.h"

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Kelvara"));
    resize(1100, 700);
    setCentralWidget(new QWidget(this));
    applyTheme();
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, &MainWindow::applyTheme);
}

void MainWindow::applyTheme()
{
    QPalette p = palette();
    p.setColor(QPalette::Window, AppTheme::background());
    p.setColor(QPalette::WindowText, AppTheme::textPrimary());
    setPalette(p);
    setAutoFillBackground(true);
}
