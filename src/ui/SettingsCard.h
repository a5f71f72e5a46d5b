#pragma once

#include <QString>

class PlateButton;
class QHBoxLayout;
class QWidget;
class RoundedPanel;

// A settings section: its content in one row, vertically centred, padded 16
// on every side on the card colour with corners of 10. Returns the card; its
// layout is the row.
RoundedPanel* settingsCard(QWidget* parent = nullptr);
QHBoxLayout* settingsCardRow(RoundedPanel* card);

// A bordered button label: symbol and text 6 apart, centred in the full
// width, padded 8 above and below, on the search colour with a gold outline.
PlateButton* borderedFieldContainer(const QString& symbol, const QString& text, QWidget* parent = nullptr);
