#pragma once

#include "ui/MenuItem.h"
#include "ui/ThemedPanel.h"

#include <QList>

class MenuItemView;
class MenuSelection;
class QScrollArea;
class UpdateNotice;
class VersionBarView;

// The left column of the main window: one row per menu entry, the selected
// one marked, and the version bar at the foot. It shows the selection and
// writes it; it keeps no navigation state of its own.
class SidebarView : public ThemedPanel
{
    Q_OBJECT
public:
    static constexpr int kWidth = 220;

    SidebarView(const QList<MenuItem>& menuItems, MenuSelection* selection, UpdateNotice* updateNotice,
                const MenuItem& softwareUpdateItem, QWidget* parent = nullptr);

    const QList<MenuItemView*>& rows() const { return m_rows; }
    MenuItemView* rowForTitle(const QString& title) const;
    VersionBarView* versionBar() const { return m_versionBar; }
    // "ftpFeatureEnabled", true when absent.
    static bool ftpEnabled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int kTopPadding = 16;

    void refreshRows();
    void scrollToTopIfAllFit();

    MenuSelection* m_selection;
    QScrollArea* m_rowsArea = nullptr;
    QList<MenuItemView*> m_rows;
    VersionBarView* m_versionBar = nullptr;
};
