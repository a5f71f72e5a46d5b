#pragma once

#include <QString>

#include <functional>

class QBoxLayout;
class QWidget;
class ThemedLabel;
class PlateButton;

// The header row of a settings sheet: the title at 18 bold in the gold text
// colour, a flexible space, and a gold "完成" button that runs `done`.
struct SheetHeader
{
    ThemedLabel* title = nullptr;
    PlateButton* doneButton = nullptr;
    // Places title, stretch and button into `row` (a horizontal layout).
    void addTo(QBoxLayout* row) const;
};

SheetHeader makeSheetHeader(const QString& title, std::function<void()> done, QWidget* parent = nullptr);
