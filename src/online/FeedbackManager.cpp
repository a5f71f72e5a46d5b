#include "FeedbackManager.h"

FeedbackManager& FeedbackManager::shared()
{
    static FeedbackManager* instance = new FeedbackManager;
    return *instance;
}

void FeedbackManager::checkNewReplies()
{
    // No inbox is configured yet; the poll only announces itself.
    Q_EMIT replyCheckStarted();
}
