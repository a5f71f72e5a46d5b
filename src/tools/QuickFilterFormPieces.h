#pragma once

#include "ui/PlateButton.h"

#include <QString>

class QWidget;

// Small building blocks of the quick filter form.
namespace QuickFilterFormPieces {

// A numbered step: "① title" in a gold column 170 wide beside `content`.
QWidget* stepRow(const QString& number, const QString& title, QWidget* content, QWidget* parent);
// The look of an export-mode chip, selected or not.
PlateButton::Look formatButtonLook(bool selected);
PlateButton* formatButton(const QString& title, bool selected, QWidget* parent);
// "开始导出": it looks ready always; readiness is tested on each click.
PlateButton* startButton(QWidget* parent);

constexpr int kTitleWidth = 170;
constexpr int kRowSpacing = 24;

}
