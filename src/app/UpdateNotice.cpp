#include "UpdateNotice.h"

#include "online/OnlineKeys.h"
#include "online/UpdateChecker.h"
#include "platform/AppVersion.h"
#include "platform/UserDefaults.h"

UpdateNotice::UpdateNotice(UpdateChecker* checker, QObject* parent)
    : QObject(parent)
    , m_checker(checker)
{
    connect(m_checker, &UpdateChecker::updateResultChanged, this, [this](const std::optional<UpdateResult>& result) {
        if (result && result->kind == UpdateResult::Kind::hasUpdate)
            UserDefaults::standard().set(OnlineKeys::seenUpdateHint, QString());
        Q_EMIT changed();
    });
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(OnlineKeys::seenUpdateHint.name))
            Q_EMIT changed();
    });
}

bool UpdateNotice::showUpdateDot(const std::optional<UpdateResult>& result, const QString& seenUpdateHint)
{
    if (!result || result->kind != UpdateResult::Kind::hasUpdate)
        return false;
    return seenUpdateHint != AppVersion::currentVersionText();
}

bool UpdateNotice::showUpdateDot() const
{
    return showUpdateDot(m_checker->updateResult(),
                         UserDefaults::standard().string(OnlineKeys::seenUpdateHint).value_or(QString()));
}

void UpdateNotice::seedIfAbsent()
{
    UserDefaults& defaults = UserDefaults::standard();
    if (!defaults.string(OnlineKeys::seenUpdateHint))
        defaults.set(OnlineKeys::seenUpdateHint, AppVersion::currentVersionText());
}

void UpdateNotice::markSeen() { UserDefaults::standard().set(OnlineKeys::seenUpdateHint, AppVersion::currentVersionText()); }
