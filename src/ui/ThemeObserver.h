#pragma once

#include "ui/AppThemeStyle.h"

#include <QObject>

// The process-wide holder of the current theme, stored under "appThemeStyle".
class ThemeObserver : public QObject
{
    Q_OBJECT
public:
    static ThemeObserver& shared();

    AppThemeStyle style() const { return m_style; }
    // Every write notifies and stores the raw value, even when unchanged.
    void setStyle(AppThemeStyle style);

Q_SIGNALS:
    void styleAboutToChange(AppThemeStyle newStyle);
    void styleChanged(AppThemeStyle style);

private:
    ThemeObserver();
    AppThemeStyle m_style = AppThemeStyle::dark;
};
