#pragma once

#include "ui/MenuItem.h"
#include "ui/ThemedPanel.h"

#include <QList>

#include <functional>
#include <optional>

class FtpServerController;
class GlobalSearchManager;
class MenuSelection;
class QTimer;
class QVBoxLayout;
class SidebarView;
class UpdateChecker;
class UpdateNotice;

// The content of the main window: the top bar area, the sidebar (220 wide)
// and the screen of the selected menu entry. Other parts move the selection
// through the notifications "NavigateToMenu", "NavigateToScheduleView" and
// "SearchOrderInSchedule"; every change of the selection posts
// "DismissSearchFocus" and reports the usage event of the working screens.
class ContentView : public ThemedPanel
{
    Q_OBJECT
public:
    explicit ContentView(QWidget* parent = nullptr);

    static constexpr int kTopBarHeight = 68;
    static constexpr int kFeedbackPollMs = 10 * 1000;
    static constexpr int kAutoCheckMs = 3600 * 1000;
    static constexpr int kFocusReleaseMs = 800;

    const QList<MenuItem>& menuItems() const { return m_menuItems; }
    const MenuItem& softwareUpdateItem() const { return m_softwareUpdateItem; }
    MenuSelection* selection() const { return m_selection; }
    std::optional<MenuItem> selectedMenu() const;
    void setSelectedMenu(const std::optional<MenuItem>& item);
    UpdateChecker* updateChecker() const { return m_updateChecker; }

    QWidget* currentScreen() const { return m_screen; }
    QWidget* topBarArea() const { return m_topBar; }
    GlobalSearchManager* searchManager() const { return m_searchManager; }
    FtpServerController* ftpController() const { return m_ftpController; }
    SidebarView* sidebar() const { return m_sidebar; }
    QTimer* feedbackPollTimer() const { return m_feedbackTimer; }
    QTimer* autoCheckTimer() const { return m_autoCheckTimer; }

    // The back action of the software update screen.
    void returnFromSoftwareUpdate();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* makeTopBar();
    QWidget* makeScreen(const std::optional<MenuItem>& menu);
    void showScreenForSelection();
    void onSelectionChanged();
    void observeNavigation();
    // The first shown entry that matches, if any.
    std::optional<MenuItem> shownEntry(const std::function<bool(const MenuItem&)>& matches) const;
    void selectSchedule();
    void onAppear();
    void runAutoCheck();

    MenuItem m_softwareUpdateItem;
    QList<MenuItem> m_menuItems;
    MenuSelection* m_selection = nullptr;
    UpdateChecker* m_updateChecker = nullptr;
    UpdateNotice* m_updateNotice = nullptr;
    GlobalSearchManager* m_searchManager = nullptr;
    FtpServerController* m_ftpController = nullptr;
    QWidget* m_topBar = nullptr;
    SidebarView* m_sidebar = nullptr;
    QVBoxLayout* m_detailLayout = nullptr;
    QWidget* m_screen = nullptr;
    QTimer* m_feedbackTimer = nullptr;
    QTimer* m_autoCheckTimer = nullptr;
    QTimer* m_focusTimer = nullptr;
};
