#pragma once

#include "online/UpdateResult.h"

#include <QObject>

#include <optional>

class UpdateChecker;

// The dot on the sidebar's "检查更新": shown while a found update has not
// been looked at in the running version. This is the one place that keeps
// "seenUpdateHint" in step: seeded with the running version when the window
// first appears, emptied by every check that finds an update (a repeated one
// too), set again when the user follows the button.
class UpdateNotice : public QObject
{
    Q_OBJECT
public:
    explicit UpdateNotice(UpdateChecker* checker, QObject* parent = nullptr);

    // The rule: an update is known and the hint differs from the running version.
    static bool showUpdateDot(const std::optional<UpdateResult>& result, const QString& seenUpdateHint);
    bool showUpdateDot() const;

    // The window appears: an absent hint takes the running version.
    void seedIfAbsent();
    // The user follows the button: the dot goes until the next found update.
    void markSeen();

Q_SIGNALS:
    // The dot may have changed.
    void changed();

private:
    UpdateChecker* m_checker;
};
