#include "app/TessaryApp.h"
#include "platform/QuitSignals.h"
#include "ui/Fonts.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvara"));
    QApplication::setApplicationVersion(QStringLiteral(TESSARY_VERSION));
    // Docks match the window to the launcher entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("tessary"));
    Fonts::installApplicationFont();
    QuitSignals::install();

    TessaryApp tessary;
    return tessary.run();
}
