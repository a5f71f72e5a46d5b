#pragma once

#include "online/FeedbackChatModel.h"

#include <QTextLayout>
#include <QWidget>

class PlateButton;

// One message of the chat: its bubble, then a caption line with "撤回" for a
// message the user may withdraw and the time when it has one. The bubble is
// as wide as its text, up to the width the list gives it, and wraps beyond.
class FeedbackMessageRow : public QWidget
{
    Q_OBJECT
public:
    FeedbackMessageRow(const FeedbackMessage& message, QWidget* parent = nullptr);

    QUuid messageId() const { return m_id; }
    QString text() const;
    // The bubble's colours as the next paint draws them.
    QColor bubbleFill() const;
    QColor bubbleText() const;
    // Lays the bubble out for a list `width` wide.
    void setAvailableWidth(int width);

Q_SIGNALS:
    void withdrawRequested(const QUuid& id);

private:
    class Bubble;
    QUuid m_id;
    Bubble* m_bubble;
};
