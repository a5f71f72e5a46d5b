#include "UpdateChecker.h"

UpdateChecker::UpdateChecker(const QString& localVersionText, QObject* parent)
    : QObject(parent)
    , m_currentVersion(localVersionText.startsWith(QLatin1Char('V')) ? localVersionText.mid(1) : localVersionText)
{
}

void UpdateChecker::checkForUpdate()
{
    if (m_checking)
        return;
    m_checking = true;
    m_result.reset();
    Q_EMIT updateResultChanged(m_result);
    Q_EMIT checkStarted();
    // No version source is wired in yet: the check ends at once without a result.
    m_checking = false;
}

void UpdateChecker::publishResult(const std::optional<UpdateResult>& result)
{
    m_checking = false;
    m_result = result;
    Q_EMIT updateResultChanged(m_result);
}
