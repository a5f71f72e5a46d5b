#pragma once

#include "ui/MenuItem.h"

#include <QObject>

#include <optional>

// The main window's navigation state, shared with the sidebar and the version
// bar: the selected entry and the entry to return to from the software update
// screen.
class MenuSelection : public QObject
{
    Q_OBJECT
public:
    explicit MenuSelection(QObject* parent = nullptr);

    const std::optional<MenuItem>& selected() const { return m_selected; }
    // Emits selectedChanged only when the value differs (all fields compared).
    void setSelected(const std::optional<MenuItem>& item);

    const std::optional<MenuItem>& lastBeforeUpdate() const { return m_lastBeforeUpdate; }
    void setLastBeforeUpdate(const std::optional<MenuItem>& item) { m_lastBeforeUpdate = item; }

Q_SIGNALS:
    void selectedChanged();

private:
    std::optional<MenuItem> m_selected;
    std::optional<MenuItem> m_lastBeforeUpdate;
};
