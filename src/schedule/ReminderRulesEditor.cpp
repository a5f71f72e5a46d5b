#include "ReminderRulesEditor.h"

#include "SettingsSheetParts.h"
#include "schedule/ScheduleSettingsState.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/SystemColors.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QScrollArea>

namespace {

QComboBox* menu(const QStringList& items, const QList<int>& values, int current, int width, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    for (int i = 0; i < items.size(); ++i)
        box->addItem(items[i], values[i]);
    int at = box->findData(current);
    if (at < 0) {
        // A time stored off the menu's steps stays shown until one is picked.
        box->addItem(QString::asprintf("%02d", current) + items.value(0).right(1), current);
        at = box->count() - 1;
    }
    box->setCurrentIndex(at);
    box->setFixedWidth(width);
    box->setFont(Fonts::system(12));
    // The menus take the sheet's colours, in the dark theme too.
    box->setStyleSheet(QStringLiteral("QComboBox { color: %1; background: %2; border: 1px solid %3; border-radius: 5px;"
                                      " padding: 2px 6px; }"
                                      "QComboBox QAbstractItemView { color: %1; background: %4; selection-background-color: %5; }")
                           .arg(AppTheme::textPrimary().name(QColor::HexArgb), AppTheme::searchBackground().name(),
                                AppTheme::withOpacity(AppTheme::textPrimary(), 0.2).name(QColor::HexArgb),
                                AppTheme::cardBackground().name(),
                                AppTheme::withOpacity(AppTheme::gold(), 0.3).name(QColor::HexArgb)));
    return box;
}

QList<int> range(int from, int to, int step = 1)
{
    QList<int> out;
    for (int v = from; v <= to; v += step)
        out.append(v);
    return out;
}

QStringList texts(const QList<int>& values, const char* format)
{
    QStringList out;
    for (int v : values)
        out.append(QString::asprintf(format, v));
    return out;
}

}

ReminderRulesEditor::ReminderRulesEditor(ScheduleSettingsState& state, QWidget* parent)
    : RoundedPanel(&AppTheme::topBarBackground, 10, parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("reminderRulesEditor"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(16, 16, 16, 16);

    const SettingsSheetParts::RowList list = SettingsSheetParts::rowList(this, QMargins(0, 0, 0, 8), 8);
    m_scroll = list.scroll;
    m_rows = list.rows;
    QVBoxLayout* column = list.column;
    QWidget* content = m_scroll->widget();

    PlateButton::Look look;
    look.fill = &AppTheme::searchBackground;
    look.outline = [] { return AppTheme::withOpacity(AppTheme::gold(), 0.3); };
    look.text = [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.85); };
    look.font = Fonts::system(12, QFont::Medium);
    look.padding = QMargins(20, 8, 20, 8);
    look.symbol = QStringLiteral("plus.circle");
    look.spacing = 6;
    m_add = new PlateButton(QStringLiteral("添加提醒"), look, content);
    m_add->setObjectName(QStringLiteral("addReminderButton"));
    column->addSpacing(4);
    column->addWidget(m_add, 0, Qt::AlignHCenter);
    auto* hint = new ThemedLabel(QStringLiteral("无需在手机上单独设置提醒，系统会自动同步提醒时间，使用超方便。"),
                                 Fonts::system(10), [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.4); },
                                 content);
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    column->addSpacing(8);
    column->addWidget(hint);
    outer->addWidget(m_scroll);

    connect(m_add, &QAbstractButton::clicked, this, [this] { m_state.addRule(); });
    connect(&m_state, &ScheduleSettingsState::changed, this, &ReminderRulesEditor::refresh);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] {
        m_shown.clear();
        refresh();
    });
    connect(&m_state, &ScheduleSettingsState::rulesCountChanged, this,
            [this] { SettingsSheetParts::scrollIntoViewSoon(this, m_add); });
    refresh();
}

void ReminderRulesEditor::refresh()
{
    // Rows are rebuilt from the working copy after every edit, so their menus
    // show what is stored.
    if (m_shown != m_state.rules() || m_rows->isEmpty()) {
        m_shown = m_state.rules();
        rebuildRows();
    }
    SettingsSheetParts::setDimmed(m_add, m_state.rules().size() >= ScheduleSettingsState::maxRules);
    fitList();
}

void ReminderRulesEditor::fitList()
{
    QWidget* content = m_scroll->widget();
    content->ensurePolished();
    // Rows added to the inner layout leave the outer one's size cached.
    content->layout()->invalidate();
    const int width = m_scroll->viewport()->width();
    const int wanted = content->hasHeightForWidth() && width > 0 ? content->heightForWidth(width)
                                                                 : content->sizeHint().height();
    m_scroll->setFixedHeight(std::min(wanted, 240));
}

void ReminderRulesEditor::resizeEvent(QResizeEvent* event)
{
    RoundedPanel::resizeEvent(event);
    // The wrapped hint needs more lines when the sheet is narrower.
    fitList();
}

void ReminderRulesEditor::rebuildRows()
{
    SettingsSheetParts::rebuildRowsInPlace(m_rows, [this] {
        for (int i = 0; i < m_state.rules().size(); ++i)
            m_rows->addWidget(makeRow(i));
    });
}

QWidget* ReminderRulesEditor::makeRow(int index)
{
    const ReminderRule rule = m_state.rules().at(index);
    auto* row = new RoundedPanel(&AppTheme::cardBackground, 8);
    row->setObjectName(QStringLiteral("reminderRuleRow"));
    auto* layout = SettingsSheetParts::rowLayout(row, 8);

    const QList<int> amounts = range(0, ScheduleSettingsState::maxRuleValue);
    auto* value = menu(texts(amounts, "%d"), amounts, int(rule.value), 60, row);
    value->setObjectName(QStringLiteral("ruleValue"));
    auto* unit = menu({QStringLiteral("天前提醒"), QStringLiteral("小时前提醒"), QStringLiteral("分钟前提醒")},
                      {int(ReminderUnit::day), int(ReminderUnit::hour), int(ReminderUnit::minute)}, int(rule.unit), 110,
                      row);
    unit->setObjectName(QStringLiteral("ruleUnit"));
    layout->addWidget(value);
    layout->addWidget(unit);
    const QUuid id = rule.id;
    connect(value, &QComboBox::activated, this, [this, id, value] { m_state.setRuleValue(id, value->currentData().toInt()); });
    connect(unit, &QComboBox::activated, this,
            [this, id, unit] { m_state.setRuleUnit(id, ReminderUnit(unit->currentData().toInt())); });

    if (rule.unit == ReminderUnit::day) {
        const QTime t = ScheduleSettingsState::displayedTime(rule);
        const QList<int> hours = range(0, 23);
        const QList<int> minutes = range(0, 55, 5);
        auto* hour = menu(texts(hours, "%02d点"), hours, t.hour(), 70, row);
        auto* minute = menu(texts(minutes, "%02d分"), minutes, t.minute(), 70, row);
        hour->setObjectName(QStringLiteral("ruleHour"));
        minute->setObjectName(QStringLiteral("ruleMinute"));
        layout->addSpacing(-4);
        layout->addWidget(hour);
        layout->addWidget(minute);
        connect(hour, &QComboBox::activated, this,
                [this, id, hour] { m_state.setRuleTime(id, hour->currentData().toInt(), std::nullopt); });
        connect(minute, &QComboBox::activated, this,
                [this, id, minute] { m_state.setRuleTime(id, std::nullopt, minute->currentData().toInt()); });
    }
    layout->addStretch(1);

    const bool canDelete = m_state.rules().size() >= 2;
    PlateButton::Look look;
    const QColor base = canDelete ? SystemColors::red() : SystemColors::gray();
    look.fill = [base, canDelete] { return AppTheme::withOpacity(base, canDelete ? 0.1 : 0.05); };
    look.outline = [base, canDelete] { return AppTheme::withOpacity(base, canDelete ? 0.3 : 0.1); };
    look.text = [base, canDelete] { return canDelete ? base : AppTheme::withOpacity(base, 0.3); };
    look.symbol = QStringLiteral("trash");
    look.symbolSize = 14;
    look.padding = QMargins(0, 0, 0, 0);
    look.radius = 6;
    auto* remove = new PlateButton(QString(), look, row);
    remove->setObjectName(QStringLiteral("ruleDelete"));
    remove->setFixedSize(32, 32);
    remove->setEnabled(canDelete);
    connect(remove, &QAbstractButton::clicked, this, [this, id] { m_state.deleteRule(id); });
    layout->addWidget(remove);
    return row;
}
