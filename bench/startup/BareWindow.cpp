// A bare Qt Widgets window: what start-up costs before any app code runs.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(1100, 700);
    window.show();
    return QApplication::exec();
}
