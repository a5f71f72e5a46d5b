#pragma once

#include "online/UpdateResult.h"

#include <QObject>

#include <optional>

// The main window's version check against the remote "version.txt". State
// changes happen on the main thread, the busy flag before the result.
// Without a configured endpoint a check does nothing and publishes nothing.
class UpdateChecker : public QObject
{
    Q_OBJECT
public:
    // `localVersionText` as the window forms it ("V3.5"); one leading "V" goes.
    explicit UpdateChecker(const QString& localVersionText, QObject* parent = nullptr);

    QString localVersion() const { return m_localVersion; }
    bool isChecking() const { return m_checking; }
    const std::optional<UpdateResult>& updateResult() const { return m_result; }

    // Starts one check unless one is running; the last result is cleared.
    void checkForUpdate();
    // Opens an http or https address with a host in the browser; any other
    // text (a file, a share, a bare word) is ignored, since it comes from a
    // remote file.
    void openDownloadUrl(const QString& text);

    static int compareVersions(const QString& a, const QString& b);
    // Whether an endpoint is configured, so checks can run at all.
    static bool isActive();

Q_SIGNALS:
    void isCheckingChanged(bool checking);
    void updateResultChanged(const std::optional<UpdateResult>& result);

private:
    void finish(const UpdateResult& result, bool recordTime = true);

    QString m_localVersion;
    bool m_checking = false;
    std::optional<UpdateResult> m_result;
};
