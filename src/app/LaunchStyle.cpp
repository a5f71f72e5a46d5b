#include "LaunchStyle.h"

#include <QApplication>
#include <QMenuBar>
#include <QStyleFactory>
#include <QToolButton>

bool LaunchStyle::s_deferring = true;

LaunchStyle::LaunchStyle()
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
{
}

QIcon LaunchStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const
{
    if (s_deferring && icon == SP_ToolBarHorizontalExtensionButton)
        return {};
    return QProxyStyle::standardIcon(icon, option, widget);
}

void LaunchStyle::restoreDeferredIcons(QWidget* window)
{
    s_deferring = false;
    for (QMenuBar* bar : window->findChildren<QMenuBar*>()) {
        // Qt's name for the bar's overflow button.
        if (auto* overflow = bar->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button")))
            overflow->setIcon(bar->style()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, nullptr, bar));
    }
}
