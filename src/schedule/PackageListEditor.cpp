#include "PackageListEditor.h"

#include "SettingsSheetParts.h"
#include "orderbook/Money.h"
#include "orders/SheetField.h"
#include "schedule/ScheduleSettingsState.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/SystemColors.h"
#include "ui/TextBoxColors.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedPanel.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QToolTip>

namespace {

PlateButton* iconButton(const QString& symbol, qreal size, std::function<QColor()> color, QWidget* parent)
{
    PlateButton::Look look;
    look.text = std::move(color);
    look.symbol = symbol;
    look.symbolSize = size;
    look.padding = QMargins(0, 0, 0, 0);
    return new PlateButton(QString(), look, parent);
}

QLineEdit* amountField(QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setPlaceholderText(QStringLiteral("0"));
    field->setFrame(false);
    field->setFont(Fonts::system(12));
    auto style = [field] {
        field->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; %1 }").arg(fieldBorder(field)));
    };
    style();
    paintTextBox(field, &formAccentColor, [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); });
    // A text that stores nothing shows it, with the reason as its tool tip.
    watchAmount(field, style);
    return field;
}

// "价格" or "定金" above its field, 55 wide.
QWidget* amountColumn(const QString& title, QLineEdit* field, QWidget* parent)
{
    auto* column = new QWidget(parent);
    column->setFixedWidth(55);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(new ThemedLabel(title, Fonts::system(9),
                                      [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); }, column));
    field->setParent(column);
    layout->addWidget(field);
    return column;
}

QHBoxLayout* rowLayout(QWidget* row)
{
    return SettingsSheetParts::rowLayout(row, 6);
}

// A package name that starts its rename when clicked; drawn leading-aligned
// on one line.
class NameButton : public QAbstractButton
{
public:
    NameButton(const QString& text, QWidget* parent)
        : QAbstractButton(parent)
    {
        setText(text);
        setFont(Fonts::system(13, QFont::Medium));
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override { return {60, fontMetrics().height()}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(AppTheme::textPrimary());
        p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(text(), Qt::ElideRight, width()));
    }
};

// A name is typed in the text colour of the theme, on the row's own colour.
void paintNameField(QLineEdit* field)
{
    field->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; }"));
    paintTextBox(field, &AppTheme::textPrimary, [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); });
}

QColor fixedGreen()
{
    return SystemColors::green();
}

}

PackageListEditor::PackageListEditor(ScheduleSettingsState& state, QWidget* parent)
    : RoundedPanel(&AppTheme::cardBackground, 10, parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("packageListEditor"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);

    auto* hint = new ThemedLabel(QStringLiteral("左侧箭头调整上下顺序丨点击套系名称可修改丨定金价格输入框可重新编辑"),
                                 Fonts::system(10), [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); },
                                 this);
    hint->setWordWrap(true);
    hint->setContentsMargins(4, 0, 4, 8);
    column->addWidget(hint);

    auto* listPanel = new RoundedPanel(&AppTheme::sidebarBackground, 8, this);
    listPanel->setFixedHeight(320);
    auto* listLayout = new QVBoxLayout(listPanel);
    listLayout->setContentsMargins(0, 0, 0, 0);
    const SettingsSheetParts::RowList list = SettingsSheetParts::rowList(listPanel, QMargins(), 0);
    m_scroll = list.scroll;
    m_scroll->setObjectName(QStringLiteral("packageListScroll"));
    m_rowsLayout = list.rows;
    m_newRow = makeNewPackageRow();
    m_newRow->setParent(m_scroll->widget());
    list.column->addWidget(m_newRow);
    list.column->addStretch(1);
    listLayout->addWidget(m_scroll);
    column->addWidget(listPanel);

    PlateButton::Look look;
    look.font = Fonts::system(12, QFont::Medium);
    look.padding = QMargins(14, 6, 14, 6);
    look.radius = 6;
    look.symbolSize = 12;
    m_addToggle = new PlateButton(QString(), look, this);
    m_addToggle->setObjectName(QStringLiteral("addPackageToggle"));
    m_deleteToggle = new PlateButton(QString(), look, this);
    m_deleteToggle->setObjectName(QStringLiteral("deleteModeToggle"));
    auto* bar = new QHBoxLayout;
    bar->setSpacing(12);
    bar->addStretch(1);
    bar->addWidget(m_addToggle);
    bar->addWidget(m_deleteToggle);
    bar->addStretch(1);
    column->addLayout(bar);
    connect(m_addToggle, &QAbstractButton::clicked, this, [this] { m_state.toggleAddPackageInput(); });
    connect(m_deleteToggle, &QAbstractButton::clicked, this, [this] { m_state.toggle(m_state.showDeleteMode); });

    connect(&m_state, &ScheduleSettingsState::changed, this, &PackageListEditor::refresh);
    connect(&m_state, &ScheduleSettingsState::addPackageInputOpened, this,
            [this] { SettingsSheetParts::scrollIntoViewSoon(this, m_newRow); });
    refresh();
}

QWidget* PackageListEditor::makeNewPackageRow()
{
    auto* row = new ThemedPanel(&AppTheme::cardBackground);
    row->setObjectName(QStringLiteral("newPackageInput"));
    auto* layout = rowLayout(row);
    layout->addSpacing(18);
    m_newName = new QLineEdit(row);
    m_newName->setObjectName(QStringLiteral("newPackageName"));
    m_newName->setPlaceholderText(QStringLiteral("新套系名称"));
    m_newName->setFrame(false);
    m_newName->setFont(Fonts::system(13));
    paintNameField(m_newName);
    layout->addWidget(m_newName, 1);
    m_newPrice = amountField(row);
    m_newPrice->setObjectName(QStringLiteral("newPackagePrice"));
    m_newDeposit = amountField(row);
    m_newDeposit->setObjectName(QStringLiteral("newPackageDeposit"));
    layout->addWidget(amountColumn(QStringLiteral("价格"), m_newPrice, row));
    layout->addWidget(amountColumn(QStringLiteral("定金"), m_newDeposit, row));
    auto* confirm = iconButton(QStringLiteral("checkmark.circle.fill"), 14, &fixedGreen, row);
    confirm->setObjectName(QStringLiteral("newPackageConfirm"));
    confirm->setFixedWidth(16);
    layout->addWidget(confirm);
    connect(m_newName, &QLineEdit::textEdited, this, [this](const QString& t) { m_state.newPackageName = t; });
    connect(m_newPrice, &QLineEdit::textEdited, this, [this](const QString& t) { m_state.newPackagePrice = t; });
    connect(m_newDeposit, &QLineEdit::textEdited, this, [this](const QString& t) { m_state.newPackageDeposit = t; });
    connect(confirm, &QAbstractButton::clicked, this, [this] { m_state.confirmNewPackage(); });
    return row;
}

void PackageListEditor::refresh()
{
    const QList<Package> packages = m_state.packages();
    if (packages != m_shownPackages || m_state.editingNamePackageId != m_shownEditing
        || m_state.showDeleteMode != m_shownDeleteMode) {
        // Only the ids and their order decide the rows; amounts typed into a
        // field that still has the focus stay as typed.
        QList<QUuid> before, after;
        for (const Package& p : m_shownPackages)
            before.append(p.id);
        for (const Package& p : packages)
            after.append(p.id);
        const bool structural = before != after || m_state.editingNamePackageId != m_shownEditing
            || m_state.showDeleteMode != m_shownDeleteMode || m_rows.isEmpty();
        const bool renameStarted = m_state.editingNamePackageId && m_state.editingNamePackageId != m_shownEditing;
        m_shownPackages = packages;
        m_shownEditing = m_state.editingNamePackageId;
        m_shownDeleteMode = m_state.showDeleteMode;
        if (structural)
            rebuildRows(renameStarted);
        else
            refreshAmounts();
    }
    m_newRow->setVisible(m_state.showAddPackageInput);
    if (m_newName->text() != m_state.newPackageName)
        m_newName->setText(m_state.newPackageName);
    if (m_newPrice->text() != m_state.newPackagePrice)
        m_newPrice->setText(m_state.newPackagePrice);
    if (m_newDeposit->text() != m_state.newPackageDeposit)
        m_newDeposit->setText(m_state.newPackageDeposit);
    refreshBottomBar();
}

void PackageListEditor::refreshAmounts()
{
    for (const Row& row : std::as_const(m_rows)) {
        for (const Package& p : std::as_const(m_shownPackages)) {
            if (p.id != row.id)
                continue;
            // setText raises no textEdited: a refill never writes back.
            if (!row.price->hasFocus())
                row.price->setText(Money::wholeYuan(p.price));
            if (!row.deposit->hasFocus())
                row.deposit->setText(Money::wholeYuan(p.deposit));
        }
    }
}

void PackageListEditor::refreshBottomBar()
{
    PlateButton::Look add = m_addToggle->look();
    add.fill = &AppTheme::gold;
    add.text = &AppTheme::background;
    add.symbol = m_state.showAddPackageInput ? QStringLiteral("minus.circle.fill") : QStringLiteral("plus.circle.fill");
    m_addToggle->setLook(add);
    m_addToggle->setText(m_state.showAddPackageInput ? QStringLiteral("取消新增") : QStringLiteral("新增套系"));

    PlateButton::Look del = m_deleteToggle->look();
    const bool on = m_state.showDeleteMode;
    del.fill = [on] { return on ? AppTheme::withOpacity(SystemColors::red(), 0.8) : colorFromHex(0x3A3A3A); };
    // Light text on the dark grey plate in both themes: the light theme's
    // text colour would not read on it.
    del.text = [on] { return on ? AppTheme::textPrimary() : QColor(Qt::white); };
    del.symbol = on ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("trash.circle.fill");
    m_deleteToggle->setLook(del);
    m_deleteToggle->setText(on ? QStringLiteral("完成删除") : QStringLiteral("删除套系"));
}

void PackageListEditor::rebuildRows(bool renameStarted)
{
    QLineEdit* nameEdit = nullptr;
    SettingsSheetParts::rebuildRowsInPlace(m_rowsLayout, [this, &nameEdit] {
        m_rows.clear();
        for (int i = 0; i < m_shownPackages.size(); ++i) {
            Row row = makeRow(m_shownPackages.at(i), i);
            m_rowsLayout->addWidget(row.widget);
            m_rows.append(row);
            if (!nameEdit)
                nameEdit = row.widget->findChild<QLineEdit*>(QStringLiteral("packageNameEdit"));
        }
    }, [renameStarted, &nameEdit]() -> QWidget* { return renameStarted ? nameEdit : nullptr; });
    // A name clicked at the edge of the list comes whole into view for typing.
    if (renameStarted && nameEdit)
        m_scroll->ensureWidgetVisible(nameEdit->parentWidget(), 0, 0);
}

PackageListEditor::Row PackageListEditor::makeRow(const Package& package, int index)
{
    const int last = int(m_shownPackages.size()) - 1;
    auto* row = new ThemedPanel(index % 2 == 0 ? &AppTheme::sidebarBackground : &AppTheme::topBarBackground);
    row->setObjectName(QStringLiteral("packageRow"));
    auto* layout = rowLayout(row);

    auto* arrows = new QWidget(row);
    arrows->setFixedWidth(18);
    auto* arrowsLayout = new QVBoxLayout(arrows);
    arrowsLayout->setContentsMargins(0, 0, 0, 0);
    arrowsLayout->setSpacing(2);
    auto* up = iconButton(QStringLiteral("chevron.up"), 10, [index] {
        if (AppTheme::isDark())
            return AppTheme::withOpacity(Qt::white, index == 0 ? 0.35 : 0.9);
        return AppTheme::withOpacity(AppTheme::textPrimary(), index == 0 ? 0.2 : 0.6);
    }, arrows);
    up->setObjectName(QStringLiteral("packageUp"));
    up->setEnabled(index > 0);
    auto* down = iconButton(QStringLiteral("chevron.down"), 10, [index, last] {
        return AppTheme::withOpacity(AppTheme::textPrimary(), index == last ? 0.2 : 0.6);
    }, arrows);
    down->setObjectName(QStringLiteral("packageDown"));
    down->setEnabled(index < last);
    arrowsLayout->addWidget(up);
    arrowsLayout->addWidget(down);
    layout->addWidget(arrows);
    connect(up, &QAbstractButton::clicked, this, [this, index] { m_state.movePackageUp(index); });
    connect(down, &QAbstractButton::clicked, this, [this, index] { m_state.movePackageDown(index); });

    const QUuid id = package.id;
    if (m_state.editingNamePackageId == id) {
        auto* edit = new QLineEdit(m_state.editingNameText, row);
        edit->setObjectName(QStringLiteral("packageNameEdit"));
        edit->setFrame(false);
        edit->setFont(Fonts::system(13, QFont::Medium));
        paintNameField(edit);
        connect(edit, &QLineEdit::textEdited, this, [this](const QString& t) { m_state.editingNameText = t; });
        layout->addWidget(edit, 1);
        auto* commit = iconButton(QStringLiteral("checkmark.circle.fill"), 14, &fixedGreen, row);
        commit->setObjectName(QStringLiteral("packageNameCommit"));
        commit->setFixedWidth(16);
        connect(commit, &QAbstractButton::clicked, this, [this] { m_state.commitRename(); });
        layout->addSpacing(4 - layout->spacing());
        layout->addWidget(commit);
    } else {
        auto* name = new NameButton(package.name, row);
        name->setObjectName(QStringLiteral("packageName"));
        connect(name, &QAbstractButton::clicked, this, [this, id] { m_state.beginRename(id); });
        layout->addWidget(name, 1);
    }

    Row r{id, row, amountField(row), amountField(row)};
    r.price->setObjectName(QStringLiteral("packagePrice"));
    r.deposit->setObjectName(QStringLiteral("packageDeposit"));
    r.price->setText(Money::wholeYuan(package.price));
    r.deposit->setText(Money::wholeYuan(package.deposit));
    // Only what the user types is stored: a field refilled from the store
    // ("12" for 12.5) must not write its rounded text back.
    connect(r.price, &QLineEdit::textEdited, this, [this, id](const QString& t) { m_state.setPackagePrice(id, t); });
    connect(r.deposit, &QLineEdit::textEdited, this, [this, id](const QString& t) { m_state.setPackageDeposit(id, t); });
    layout->addWidget(amountColumn(QStringLiteral("价格"), r.price, row));
    layout->addWidget(amountColumn(QStringLiteral("定金"), r.deposit, row));

    if (m_state.showDeleteMode) {
        auto* remove = iconButton(QStringLiteral("trash.circle.fill"), 16, [] { return SystemColors::red(); }, row);
        remove->setObjectName(QStringLiteral("packageDelete"));
        remove->setFixedWidth(20);
        if (package.isBuiltin) {
            // The store keeps built-in packages; the button says so instead of doing nothing.
            remove->setToolTip(QStringLiteral("内置套系不能删除"));
            connect(remove, &QAbstractButton::clicked, remove, [remove] {
                QToolTip::showText(remove->mapToGlobal(remove->rect().bottomLeft()), remove->toolTip(), remove);
            });
        } else {
            connect(remove, &QAbstractButton::clicked, this, [this, id] { m_state.deletePackage(id); });
        }
        layout->addWidget(remove);
    } else {
        layout->addSpacing(20);
    }
    return r;
}
