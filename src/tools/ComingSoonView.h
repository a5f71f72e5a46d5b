#pragma once

#include "ui/MenuItem.h"
#include "ui/ThemedPanel.h"

#include <optional>

class ThemedLabel;

// The placeholder page of a tool still to come: the entry's title and
// subtitle in a dashed card with the notice "开发中，敬请期待". Display only.
class ComingSoonView : public ThemedPanel
{
    Q_OBJECT
public:
    explicit ComingSoonView(const std::optional<MenuItem>& currentMenu, QWidget* parent = nullptr);

    const std::optional<MenuItem>& currentMenu() const { return m_menu; }
    static QString noticeText() { return QStringLiteral("开发中，敬请期待"); }

private:
    std::optional<MenuItem> m_menu;
};
