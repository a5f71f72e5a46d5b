#include "PackageSettingsView.h"

#include "orderbook/Money.h"
#include "orderbook/PackageManager.h"
#include "orders/OrderFormBlocks.h"
#include "orders/PackageRowList.h"
#include "orders/SheetField.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/LightScrollBar.h"
#include "ui/PlateButton.h"
#include "ui/SheetDialog.h"
#include "ui/SheetHeader.h"
#include "ui/ThemedLabel.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

QHBoxLayout* buttonRow(PlateButton* cancel, PlateButton* confirm)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    row->addStretch(1);
    row->addWidget(cancel);
    row->addWidget(confirm);
    row->addStretch(1);
    return row;
}

// A reason stays only until the amount it names is typed over, as in the
// order form and the payment sheet.
void clearProblemOnEdit(ThemedLabel* problem, std::initializer_list<QLineEdit*> fields)
{
    for (QLineEdit* field : fields)
        QObject::connect(field, &QLineEdit::textEdited, problem,
                         [problem] { OrderFormBlocks::showProblem(problem, QString()); });
}

}

PackageSettingsView::PackageSettingsView(QWidget* parent)
    : PackageSettingsView(PackageManager::shared(), parent)
{
}

PackageSettingsView::PackageSettingsView(PackageManager& store, QWidget* parent)
    : QDialog(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("packageSettingsView"));
    setWindowTitle(QStringLiteral("套系设定"));
    setWindowModality(Qt::WindowModal);
    resize(560, 520);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(24, 16, 24, 16);
    makeSheetHeader(QStringLiteral("套系设定"), [this] { accept(); }, this).addTo(header);
    page->addLayout(header);

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    m_rows = new PackageRowList;
    scroll->setWidget(m_rows);
    // The sheet's own colour shows between the rows, and the app's thin
    // overlay bar over them, not the platform's light one with arrows.
    LightScrollBar::style(scroll);
    page->addWidget(scroll, 1);

    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(24, 12, 24, 12);
    PlateButton::Look addLook;
    addLook.fill = &AppTheme::gold;
    addLook.text = &AppTheme::background;
    addLook.font = Fonts::system(12, QFont::Medium);
    addLook.padding = QMargins(14, 6, 14, 6);
    addLook.radius = 6;
    addLook.symbol = QStringLiteral("plus.circle.fill");
    auto* add = new PlateButton(QStringLiteral("新增套系"), addLook, this);
    add->setObjectName(QStringLiteral("addPackageButton"));
    connect(add, &QAbstractButton::clicked, this, &PackageSettingsView::openAddSheet);
    bottom->addWidget(add);
    bottom->addStretch(1);
    bottom->addWidget(new ThemedLabel(QStringLiteral("长按拖拽调整顺序，点击价格/定金可编辑"), Fonts::system(10),
                                      [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); }, this));
    page->addLayout(bottom);

    connect(m_rows, &PackageRowList::moveRequested, this,
            [this](int from, int to) { m_store.movePackage({from}, to); });
    connect(m_rows, &PackageRowList::editRequested, this, &PackageSettingsView::openEditor);
    connect(m_rows, &PackageRowList::deleteRequested, this,
            [this](const Package& p) { m_store.deletePackage(p.id); });
    // Rebuilt after the event that asked for the change has returned: a
    // delete comes from a button inside the row being replaced.
    connect(&m_store, &PackageManager::packagesChanged, this,
            [this] { m_rows->setPackages(m_store.packages()); }, Qt::QueuedConnection);
    m_rows->setPackages(m_store.packages());
}

double PackageSettingsView::readAmount(const QString& text)
{
    return Money::parseAmount(text).value_or(0);
}

void PackageSettingsView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), AppTheme::background());
}

void PackageSettingsView::openEditor(const Package& package)
{
    m_editing = package;
    m_editPrice = Money::wholeYuan(package.price);
    m_editDeposit = Money::wholeYuan(package.deposit);
    if (m_editSheet)
        m_editSheet->deleteLater();
    auto* sheet = new SheetDialog(QStringLiteral("编辑「") + package.name + QStringLiteral("」"), this,
                                  &AppTheme::sidebarBackground, 0);
    sheet->setObjectName(QStringLiteral("packageEditSheet"));
    auto* fields = new QHBoxLayout;
    fields->setSpacing(12);
    m_editPriceField = addSheetField(fields, QStringLiteral("基础价格"), m_editPrice, sheet);
    m_editPriceField->setObjectName(QStringLiteral("editPrice"));
    m_editDepositField = addSheetField(fields, QStringLiteral("定金金额"), m_editDeposit, sheet);
    m_editDepositField->setObjectName(QStringLiteral("editDeposit"));
    sheet->body()->addLayout(fields);
    watchAccentAmount(m_editPriceField);
    watchAccentAmount(m_editDepositField);
    ThemedLabel* problem = OrderFormBlocks::problemLine(QStringLiteral("editProblem"), sheet);
    sheet->body()->addWidget(problem);
    clearProblemOnEdit(problem, {m_editPriceField, m_editDepositField});
    sheet->body()->addWidget(new ThemedLabel(QStringLiteral("设置为0表示不预设金额，新建订单时手动输入"),
                                             Fonts::system(10),
                                             [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); },
                                             sheet));
    PlateButton* cancel = SheetDialog::cancelButton(QStringLiteral("取消"), sheet);
    cancel->setObjectName(QStringLiteral("editCancelButton"));
    PlateButton* save = SheetDialog::confirmButton(QStringLiteral("保存"), sheet);
    save->setObjectName(QStringLiteral("editSaveButton"));
    sheet->body()->addLayout(buttonRow(cancel, save));
    connect(cancel, &QAbstractButton::clicked, sheet, [this, sheet] {
        m_editing.reset();
        sheet->reject();
    });
    connect(save, &QAbstractButton::clicked, sheet, [this, sheet, problem] {
        OrderFormBlocks::showProblem(problem, editProblem());
        if (!problem->isHidden())
            return;
        saveEdit();
        sheet->accept();
    });
    m_editSheet = sheet;
    sheet->open();
}

QString PackageSettingsView::editProblem() const
{
    return amountsProblem({{m_editPriceField->text() == m_editPrice ? QString() : m_editPriceField->text(),
                            m_editDepositField->text() == m_editDeposit ? QString() : m_editDepositField->text()}});
}

QString PackageSettingsView::amountsProblem(const std::array<QString, 2>& priceAndDeposit)
{
    const QString names[2] = {QStringLiteral("基础价格："), QStringLiteral("定金金额：")};
    for (int i = 0; i < 2; ++i) {
        if (const Money::TypedAmount amount = Money::readTyped(priceAndDeposit[i]); !amount.ok())
            return names[i] + amount.problem;
    }
    return {};
}

void PackageSettingsView::saveEdit()
{
    if (!m_editing)
        return;
    // A field left as prefilled keeps the stored amount: the prefill shows
    // whole yuan only, and saving it back would drop the cents.
    auto amount = [](const QLineEdit* field, const QString& prefill, double stored) {
        return field->text() == prefill ? stored : readAmount(field->text());
    };
    m_store.updatePackage(m_editing->id, amount(m_editPriceField, m_editPrice, m_editing->price),
                          amount(m_editDepositField, m_editDeposit, m_editing->deposit));
    m_editing.reset();
}

void PackageSettingsView::openAddSheet()
{
    if (m_addSheet)
        m_addSheet->deleteLater();
    auto* sheet = new SheetDialog(QStringLiteral("新增套系"), this, &AppTheme::sidebarBackground, 0);
    sheet->setObjectName(QStringLiteral("packageAddSheet"));
    auto* nameRow = new QVBoxLayout;
    QLineEdit* name = addSheetField(nameRow, QStringLiteral("套系名称"), m_newName, sheet);
    name->setObjectName(QStringLiteral("newPackageName"));
    sheet->body()->addLayout(nameRow);
    auto* amounts = new QHBoxLayout;
    amounts->setSpacing(12);
    QLineEdit* price = addSheetField(amounts, QStringLiteral("基础价格"), m_newPrice, sheet);
    price->setObjectName(QStringLiteral("newPackagePrice"));
    QLineEdit* deposit = addSheetField(amounts, QStringLiteral("定金金额"), m_newDeposit, sheet);
    deposit->setObjectName(QStringLiteral("newPackageDeposit"));
    sheet->body()->addLayout(amounts);
    watchAccentAmount(price);
    watchAccentAmount(deposit);
    ThemedLabel* problem = OrderFormBlocks::problemLine(QStringLiteral("addProblem"), sheet);
    sheet->body()->addWidget(problem);
    clearProblemOnEdit(problem, {price, deposit});
    connect(name, &QLineEdit::textChanged, this, [this](const QString& t) { m_newName = t; });
    connect(price, &QLineEdit::textChanged, this, [this](const QString& t) { m_newPrice = t; });
    connect(deposit, &QLineEdit::textChanged, this, [this](const QString& t) { m_newDeposit = t; });
    PlateButton* cancel = SheetDialog::cancelButton(QStringLiteral("取消"), sheet);
    cancel->setObjectName(QStringLiteral("addCancelButton"));
    PlateButton* confirm = SheetDialog::confirmButton(QStringLiteral("确认新增"), sheet);
    confirm->setObjectName(QStringLiteral("addConfirmButton"));
    sheet->body()->addLayout(buttonRow(cancel, confirm));
    connect(cancel, &QAbstractButton::clicked, sheet, [this, sheet] {
        clearAddTexts();
        sheet->reject();
    });
    connect(confirm, &QAbstractButton::clicked, sheet, [this, sheet, problem] {
        // An empty or blank name is refused without a word; the sheet stays open.
        const QString name = m_newName.trimmed();
        if (name.isEmpty())
            return;
        OrderFormBlocks::showProblem(problem, amountsProblem({m_newPrice, m_newDeposit}));
        if (!problem->isHidden())
            return;
        m_store.addPackage(name, readAmount(m_newPrice), readAmount(m_newDeposit));
        clearAddTexts();
        sheet->accept();
    });
    m_addSheet = sheet;
    sheet->open();
}

void PackageSettingsView::clearAddTexts()
{
    m_newName.clear();
    m_newPrice.clear();
    m_newDeposit.clear();
}
