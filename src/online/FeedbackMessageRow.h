#pragma once

#include "online/FeedbackChatModel.h"

#include <QTextLayout>
#include <QWidget>

// One message of the chat, drawn in one widget so a long conversation opens
// fast: the bubble, as wide as its text up to the list's width and wrapped
// beyond, then a caption line with "撤回" for a message the user may withdraw
// and the time when it has one.
class FeedbackMessageRow : public QWidget
{
    Q_OBJECT
public:
    FeedbackMessageRow(const FeedbackMessage& message, QWidget* parent = nullptr);

    QUuid messageId() const { return m_id; }
    QString text() const { return m_text.text(); }
    QColor bubbleFill() const;
    QColor bubbleText() const;
    QRect bubbleRect() const;
    // Empty for a message that cannot be withdrawn.
    QRect withdrawRect() const;
    // Lays the row out for a list `width` wide.
    void setAvailableWidth(int width);

Q_SIGNALS:
    void withdrawRequested(const QUuid& id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRect captionRect(int x, const QString& text) const;

    QUuid m_id;
    bool m_isUser;
    bool m_notice;
    bool m_withdrawable;
    QString m_time;
    QMargins m_padding;
    QTextLayout m_text;
    QSize m_bubble;
    int m_lineWidth = -1;
};
