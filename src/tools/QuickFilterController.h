#pragma once

#include "QuickFilterEngine.h"
#include "ToolRunController.h"

#include <QDate>
#include <QList>

#include <functional>

// The run state of the quick filter. "返回" lets go of the run in hand: it
// goes on to its end (files and missing list) without touching the screen,
// and a new start from the form gets a screen of its own.
class QuickFilterController : public ToolRunController
{
    Q_OBJECT
public:
    static QuickFilterController& shared();

    explicit QuickFilterController(QObject* parent = nullptr);

    static bool missingRawList();

    // Refused (false, with its log line) without a source or a keyword.
    bool startExport(const QString& source, const QSet<QString>& keywords, QuickFilterEngine::Mode mode);
    void backToSetting();
    // The form comes back empty of the last run's counts too.
    void forgetCompleted() override;

    int matchCount() const { return m_matchCount; }
    bool outputFailed() const { return m_outputFailed; }
    QString outputPath() const { return m_outputPath; }
    // Names of the list that matched no file in the last run, ascending.
    const QStringList& missing() const { return m_missing; }

    void setDateProvider(std::function<QDate()> today) { m_today = std::move(today); }

private:
    void apply(const QuickFilterCounts& counts);
    void finish(const QuickFilterOutcome& outcome);
    void resetRun();

    int m_matchCount = 0;
    bool m_outputFailed = false;
    QString m_outputPath;
    QStringList m_missing;
    std::function<QDate()> m_today;
};
