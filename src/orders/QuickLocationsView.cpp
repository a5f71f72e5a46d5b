#include "QuickLocationsView.h"

#include "orders/OrderFormBlocks.h"
#include "orders/OrderFormModel.h"
#include "orders/SheetField.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/SystemColors.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

QuickLocationsView::QuickLocationsView(OrderFormModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    header->addWidget(OrderFormBlocks::fieldLabel(QStringLiteral("快捷选择"), this));
    m_editButton = new PlateButton(QString(), PlateButton::Look{}, this);
    m_editButton->setObjectName(QStringLiteral("quickLocationEditButton"));
    connect(m_editButton, &QAbstractButton::clicked, this, [this] { m_model.toggleQuickLocationEditing(); });
    header->addWidget(m_editButton);
    header->addStretch(1);
    column->addLayout(header);
    m_grid = new QGridLayout;
    m_grid->setSpacing(4);
    column->addLayout(m_grid);
    connect(&m_model, &OrderFormModel::quickLocationEditingChanged, this, [this](bool editing) {
        rebuildChips();
        if (editing) {
            // The first chip takes the keyboard once it is on screen.
            QPointer<QWidget> first = m_chips.value(0);
            QTimer::singleShot(100, this, [first] {
                if (first)
                    first->setFocus();
            });
        }
    });
    rebuildChips();
}

void QuickLocationsView::rebuildChips()
{
    const bool editing = m_model.isEditingQuickLocations();
    PlateButton::Look edit;
    edit.symbol = editing ? QStringLiteral("checkmark") : QStringLiteral("pencil");
    edit.symbolSize = 14;
    edit.padding = QMargins(2, 0, 2, 0);
    edit.text = editing ? &SystemColors::green : &SystemColors::yellow;
    m_editButton->setLook(edit);
    m_editButton->setToolTip(editing ? QStringLiteral("点击保存修改") : QStringLiteral("点击文字可修改"));
    qDeleteAll(m_chips);
    m_chips.clear();
    const QStringList locations = m_model.quickLocations();
    for (int i = 0; i < locations.size(); ++i) {
        QWidget* chip = nullptr;
        if (editing) {
            auto* field = new QLineEdit(locations[i], this);
            field->setAlignment(Qt::AlignCenter);
            field->setFont(Fonts::system(10));
            const QColor text = AppTheme::textPrimary();
            field->setStyleSheet(QStringLiteral("QLineEdit { color: %1; background: rgba(255,255,255,38); border: none;"
                                                " border-radius: 4px; padding: 4px 0; }")
                                     .arg(text.name()));
            connect(field, &QLineEdit::textEdited, this, [this, i](const QString& t) { m_model.setQuickLocation(i, t); });
            chip = field;
        } else {
            auto* button = new PlateButton(locations[i], PlateButton::Look{}, this);
            connect(button, &QAbstractButton::clicked, this, [this, i] { m_model.chooseQuickLocation(i); });
            chip = button;
        }
        chip->setObjectName(QStringLiteral("quickLocation%1").arg(i));
        chip->setMinimumWidth(10);
        chip->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        m_grid->addWidget(chip, i / 4, i % 4);
        m_chips.append(chip);
    }
    for (int c = 0; c < 4; ++c)
        m_grid->setColumnStretch(c, 1);
    m_builtEditing = editing;
    refresh();
}

void QuickLocationsView::refresh()
{
    if (m_builtEditing != m_model.isEditingQuickLocations() || m_builtEditing)
        return;
    const QStringList locations = m_model.quickLocations();
    for (int i = 0; i < m_chips.size(); ++i) {
        auto* button = static_cast<PlateButton*>(m_chips[i]);
        const bool selected = locations.value(i) == m_model.shootLocation();
        PlateButton::Look look;
        // The fixed orange under black text, which reads on it at 5:1.
        look.fill = selected ? std::function<QColor()>([] { return colorFromHex(0xCD5B2B); })
                             : [] { return AppTheme::withOpacity(QColor(Qt::white), 0.1); };
        look.text = selected ? std::function<QColor()>([] { return QColor(Qt::black); })
                             : [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.7); };
        look.font = Fonts::system(10);
        look.padding = QMargins(2, 4, 2, 4);
        look.radius = 4;
        button->setLook(look);
        button->setProperty("selected", selected);
    }
}
