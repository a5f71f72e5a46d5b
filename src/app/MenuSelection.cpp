#include "MenuSelection.h"

MenuSelection::MenuSelection(QObject* parent)
    : QObject(parent)
{
}

void MenuSelection::setSelected(const std::optional<MenuItem>& item)
{
    if (item == m_selected)
        return;
    m_selected = item;
    Q_EMIT selectedChanged();
}
