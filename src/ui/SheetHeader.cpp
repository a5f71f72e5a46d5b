#include "SheetHeader.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/ThemedLabel.h"

#include <QBoxLayout>

SheetHeader makeSheetHeader(const QString& title, std::function<void()> done, QWidget* parent)
{
    SheetHeader h;
    h.title = new ThemedLabel(title, Fonts::system(18, QFont::Bold), &AppTheme::textGold, parent);
    h.title->setObjectName(QStringLiteral("sheetTitle"));
    PlateButton::Look look;
    look.fill = &AppTheme::gold;
    look.text = &AppTheme::background;
    look.font = Fonts::system(13, QFont::Medium);
    look.padding = QMargins(16, 6, 16, 6);
    look.radius = 8;
    h.doneButton = new PlateButton(QStringLiteral("完成"), look, parent);
    h.doneButton->setObjectName(QStringLiteral("sheetDoneButton"));
    QObject::connect(h.doneButton, &QAbstractButton::clicked, h.doneButton, [done = std::move(done)] {
        if (done)
            done();
    });
    return h;
}

void SheetHeader::addTo(QBoxLayout* row) const
{
    row->addWidget(title, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(doneButton, 0, Qt::AlignVCenter);
}
