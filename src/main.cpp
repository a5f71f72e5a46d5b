#include "app/LaunchStyle.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "app/TessaryApp.h"
#include "platform/Product.h"
#include "platform/QuitSignals.h"
#include "ui/Fonts.h"
#include "ui/WheelGuard.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(Product::kDisplayName));
    QApplication::setApplicationVersion(QStringLiteral(TESSARY_VERSION));
    // Docks match the window to the launcher entry by this name.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(Product::kSystemName));

    SingleInstance instance;
    if (!instance.claim())
        return 0;

    QApplication::setStyle(new LaunchStyle);
    TessaryApp::installQtTranslations();
    Fonts::installApplicationFont();
    WheelGuard::install();
    QuitSignals::install();

    TessaryApp tessary;
    QObject::connect(&instance, &SingleInstance::activationRequested, &tessary.window(), &MainWindow::bringToFront);
    return tessary.run();
}
