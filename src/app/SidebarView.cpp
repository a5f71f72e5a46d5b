#include "SidebarView.h"

#include "app/AppKeys.h"
#include "app/MenuItemView.h"
#include "app/MenuSelection.h"
#include "app/VersionBarView.h"
#include "platform/UserDefaults.h"
#include "ui/AppTheme.h"
#include "ui/LightScrollBar.h"

#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

SidebarView::SidebarView(const QList<MenuItem>& menuItems, MenuSelection* selection, UpdateNotice* updateNotice,
                         const MenuItem& softwareUpdateItem, QWidget* parent)
    : ThemedPanel(&AppTheme::sidebarBackground, parent)
    , m_selection(selection)
{
    setObjectName(QStringLiteral("sidebar"));
    setFixedWidth(kWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    // The rows scroll when a short window cannot hold them all, so the
    // version bar at the foot is never covered.
    QScrollArea* scroll = LightScrollBar::makeVerticalScrollArea(this);
    scroll->setObjectName(QStringLiteral("sidebarRows"));
    auto* content = new QWidget(scroll);
    content->setAutoFillBackground(false);
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(12, kTopPadding, 12, 0);
    stack->setSpacing(8);
    for (const MenuItem& item : menuItems) {
        auto* row = new MenuItemView(item, content);
        connect(row, &QAbstractButton::clicked, this, [this, item] { m_selection->setSelected(item); });
        stack->addWidget(row);
        m_rows.append(row);
    }
    stack->addStretch(1);
    scroll->setWidget(content);
    column->addWidget(scroll, 1);
    m_rowsArea = scroll;
    scroll->viewport()->installEventFilter(this);

    m_versionBar = new VersionBarView(updateNotice, selection, softwareUpdateItem, this);
    column->addWidget(m_versionBar);

    connect(m_selection, &MenuSelection::selectedChanged, this, &SidebarView::refreshRows);
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(AppKeys::ftpFeatureEnabled.name))
            refreshRows();
    });
    refreshRows();
}

bool SidebarView::eventFilter(QObject* watched, QEvent* event)
{
    // Rows scrolled down in a short window stay cut off at the top after the
    // window grows (maximised) unless brought back: once they all fit, the
    // list starts at its first row again. Checked after the new layout.
    if (event->type() == QEvent::Resize && watched == m_rowsArea->viewport())
        QTimer::singleShot(0, this, &SidebarView::scrollToTopIfAllFit);
    return ThemedPanel::eventFilter(watched, event);
}

void SidebarView::scrollToTopIfAllFit()
{
    if (m_rows.isEmpty())
        return;
    const int rowsHeight = m_rows.last()->geometry().bottom() - m_rows.first()->geometry().top();
    if (rowsHeight + kTopPadding <= m_rowsArea->viewport()->height())
        m_rowsArea->verticalScrollBar()->setValue(0);
}

bool SidebarView::ftpEnabled()
{
    return UserDefaults::standard().value(AppKeys::ftpFeatureEnabled);
}

MenuItemView* SidebarView::rowForTitle(const QString& title) const
{
    for (MenuItemView* row : m_rows) {
        if (row->item().title == title)
            return row;
    }
    return nullptr;
}

void SidebarView::refreshRows()
{
    const std::optional<MenuItem>& selected = m_selection->selected();
    const bool ftp = ftpEnabled();
    for (MenuItemView* row : m_rows) {
        // Titles decide, not ids: the software update entry marks no row.
        row->setSelected(selected && selected->title == row->item().title);
        row->setEnabled(row->item().screen != ScreenId::ftp || ftp);
    }
}
