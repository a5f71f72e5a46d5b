#pragma once

#include <QProxyStyle>

// The application's style as it is, but for one icon before the window's
// first frame: the menu bar's overflow arrow, which only shows on a bar too
// narrow for its menus. Qt's own arrow is a PNG, and the first PNG loads the
// icon theme and every image plugin; the bar gets the arrow once the frame
// is up (`restoreDeferredIcons`).
class LaunchStyle : public QProxyStyle
{
    Q_OBJECT
public:
    // Over a new instance of the style the application uses now.
    LaunchStyle();

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;

    // Ends the deferral and gives the menu bars under `window` their arrow.
    static void restoreDeferredIcons(QWidget* window);

private:
    static bool s_deferring;
};
