#pragma once

#include "online/UpdateResult.h"

#include <QObject>

#include <optional>

// The main window's version check. It keeps the local version without its
// leading "V" and publishes the result of each check on the main thread.
class UpdateChecker : public QObject
{
    Q_OBJECT
public:
    // `localVersionText` as the window forms it, e.g. "V3.5".
    explicit UpdateChecker(const QString& localVersionText, QObject* parent = nullptr);

    QString currentVersion() const { return m_currentVersion; }
    const std::optional<UpdateResult>& updateResult() const { return m_result; }
    bool isChecking() const { return m_checking; }

    // Starts one check unless one is running; the result is cleared first.
    void checkForUpdate();

    // Publishes the outcome of a check (every value is published, repeats
    // included, so observers see each check that finds an update).
    void publishResult(const std::optional<UpdateResult>& result);

Q_SIGNALS:
    void checkStarted();
    void updateResultChanged(const std::optional<UpdateResult>& result);

private:
    QString m_currentVersion;
    std::optional<UpdateResult> m_result;
    bool m_checking = false;
};
