#pragma once

#include "schedule/CalendarMark.h"

#include <QColor>
#include <QRectF>

class QPainter;
struct DayFigures;

// The colour of a mark in the current theme.
QColor markColor(CalendarMark mark);

// Draws one day cell of the month grid into `rect`: day number, lunar label,
// status dot, count badge and revenue on the day's background, with its
// border, the rest-day hatch and the dimming of a full day.
namespace DayCellPainter {

constexpr int cellHeight = 90;

void paint(QPainter& painter, const QRectF& rect, const DayFigures& day, bool emphasised);
// Where the count badge sits (empty when the day has no items).
QRectF badgeRect(const QRectF& rect, const DayFigures& day);

}
