#pragma once

#include <QObject>

// The process-wide feedback chat manager.
class FeedbackManager : public QObject
{
    Q_OBJECT
public:
    static FeedbackManager& shared();

    // Asks the inbox for replies in the background; a new reply sets
    // "hasNewReply" for the version bar.
    void checkNewReplies();

Q_SIGNALS:
    void replyCheckStarted();

private:
    FeedbackManager() = default;
};
