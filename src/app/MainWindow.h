#pragma once

#include <QMainWindow>

// The one main window: 1100 x 700, titled as the app, painted in the theme.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

private:
    void applyTheme();
};
