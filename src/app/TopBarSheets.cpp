#include "TopBarSheets.h"

#include "online/AboutAuthorPopupView.h"
#include "online/ChangelogPopupView.h"
#include "online/TutorialPopupView.h"
#include "orders/PackageSettingsView.h"
#include "ui/SheetDialog.h"
#include "settings/SettingsView.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedPanel.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {
// A popup of its own as a window-modal sheet, gone when closed.
QDialog* asSheet(QDialog* d)
{
    d->setWindowModality(Qt::WindowModal);
    d->setAttribute(Qt::WA_DeleteOnClose);
    return d;
}

QDialog* dialog(QWidget* parent, const QString& objectName, QSize size)
{
    auto* d = new QDialog(parent);
    d->setObjectName(objectName);
    d->setWindowModality(Qt::WindowModal);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->setFixedSize(size);
    auto* layout = new QVBoxLayout(d);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return d;
}

PlateButton* backButton(QWidget* parent)
{
    PlateButton::Look look;
    look.symbol = QStringLiteral("chevron.left");
    look.symbolSize = 11;
    look.font = Fonts::system(13, QFont::Medium);
    look.padding = QMargins(14, 7, 14, 7);
    look.spacing = 4;
    look.fill = &AppTheme::cardBackground;
    look.text = &AppTheme::textGold;
    auto* back = new PlateButton(QStringLiteral("返回"), look, parent);
    back->setObjectName(QStringLiteral("sheetBackButton"));
    return back;
}

QDialog* settingsSheet(QWidget* parent, std::function<void()> onPackageSettings)
{
    QDialog* d = dialog(parent, QStringLiteral("settingsSheet"), QSize(560, 640));
    // The sheet's own colour under its parts: the divider's thin gold is
    // mixed over it, not over the platform's light dialog grey.
    auto* plate = new ThemedPanel(&AppTheme::background, d);
    auto* column = new QVBoxLayout(plate);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    d->layout()->addWidget(plate);
    auto* header = new ThemedPanel(&AppTheme::topBarBackground, plate);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(20, 12, 20, 12);
    row->addWidget(new ThemedLabel(QStringLiteral("设置"), Fonts::system(15, QFont::Bold), &AppTheme::textGold, header));
    row->addStretch(1);
    PlateButton* back = backButton(header);
    QObject::connect(back, &QAbstractButton::clicked, d, &QDialog::close);
    row->addWidget(back);
    column->addWidget(header);
    auto* divider = new ThemedPanel([] { return AppTheme::withOpacity(AppTheme::gold(), 0.2); }, plate);
    divider->setObjectName(QStringLiteral("settingsSheetDivider"));
    divider->setFixedHeight(1);
    column->addWidget(divider);
    auto* body = new SettingsView(std::move(onPackageSettings), plate);
    body->setAboutAuthorFactory([](QWidget* owner) { return asSheet(new AboutAuthorPopupView(owner)); });
    body->setFixedSize(560, 580);
    column->addWidget(body);
    return d;
}
}

namespace TopBarSheets {
QDialog* make(TopBarView::Sheet sheet, QWidget* parent, std::function<void()> onPackageSettings)
{
    switch (sheet) {
    case TopBarView::Sheet::settings:
        return settingsSheet(parent, std::move(onPackageSettings));
    case TopBarView::Sheet::tutorial:
        return asSheet(new TutorialPopupView(parent));
    case TopBarView::Sheet::packageSettings: {
        auto* d = new PackageSettingsView(parent);
        d->setObjectName(QStringLiteral("packageSettingsSheet"));
        d->setWindowModality(Qt::WindowModal);
        d->setAttribute(Qt::WA_DeleteOnClose);
        return d;
    }
    case TopBarView::Sheet::changelog:
        return ChangelogPopupView::create(parent);
    }
    return nullptr;
}
}
