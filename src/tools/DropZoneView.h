#pragma once

#include "ui/MenuItem.h"
#include "ui/ThemedPanel.h"

#include <optional>

class ComingSoonBadge;

// The placeholder page of an announced folder tool: it looks like a drop
// target with a hint for the entry and a "敬请期待" badge, but accepts no drop.
class DropZoneView : public ThemedPanel
{
    Q_OBJECT
public:
    explicit DropZoneView(const std::optional<MenuItem>& currentMenu, QWidget* parent = nullptr);

    const std::optional<MenuItem>& currentMenu() const { return m_menu; }
    static QString hintText(const std::optional<MenuItem>& menu);
    QString hintText() const { return hintText(m_menu); }
    ComingSoonBadge* badge() const { return m_badge; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeBadge();
    std::optional<MenuItem> m_menu;
    ComingSoonBadge* m_badge = nullptr;
};
