#pragma once

#include "ui/PlateButton.h"

// The plain buttons of the online screens: a label on a rounded fill (none
// when `fill` is null), in theme colours read at every paint.
inline PlateButton::Look plateLook(PlateButton::ColorFn fill, PlateButton::ColorFn text, const QFont& font,
                                   QMargins padding = {20, 8, 20, 8}, qreal radius = 8)
{
    PlateButton::Look look;
    look.fill = std::move(fill);
    look.text = std::move(text);
    look.font = font;
    look.padding = padding;
    look.radius = radius;
    return look;
}
