#pragma once

#include "ui/ThemedPanel.h"

// The page of the batch tools to come: a header with a "敬请期待" badge and
// three fixed cards. Nothing on it reacts to the pointer.
class BatchToolsView : public ThemedPanel
{
    Q_OBJECT
public:
    explicit BatchToolsView(QWidget* parent = nullptr);

    struct Card {
        QString symbol;
        QString title;
        QString description;
    };
    static QList<Card> cards();
    static constexpr int kCardWidth = 180;
    static constexpr int kCardHeight = 160;
    static constexpr int kCardSpacing = 24;
};
