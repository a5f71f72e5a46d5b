#pragma once

#include "ui/FireworkView.h"
#include "ui/ThemedLabel.h"

#include <QList>
#include <QPair>

#include <functional>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class ElidedLabel;
class QHBoxLayout;
class QProgressBar;
class QVBoxLayout;
class ToolRunController;

// The progress panel of the file tools: title, percentage (with the firework
// once done), bar, and either the running count with the file in hand or the
// result lines a tool adds, then the first failures with their causes and
// the failure count. Folders dropped on it are handed to the owner.
class ToolProgressPanel : public QWidget
{
    Q_OBJECT
public:
    struct Texts
    {
        Texts(QString running, QString completed, QString whileRunning, QString prefix, QString ended,
              QString unfinished = QString())
            : runningTitle(std::move(running))
            , completedTitle(std::move(completed))
            , unfinishedTitle(std::move(unfinished))
            , subtitle(std::move(whileRunning))
            , countPrefix(std::move(prefix))
            , footer(std::move(ended))
        {
        }
        QString runningTitle;
        QString completedTitle;
        QString unfinishedTitle; // ended with failed files
        QString subtitle;    // while running
        QString countPrefix; // "当前处理：" before "12 / 340"
        QString footer;      // once completed
    };

    ToolProgressPanel(ToolRunController* controller, Texts texts, QWidget* parent = nullptr);
    // A result line whose text is read again at every refresh.
    void addCountLine(ThemedLabel::ColorFn color, std::function<QString()> text);
    // Owners call it once their lines are in place.
    void refresh();

    // For tests: what the panel shows right now.
    QString titleText() const;
    QString percentText() const;
    QString countText() const;
    QString currentFileText() const;
    QStringList resultLines() const; // the visible result lines, top to bottom
    int barValue() const;            // thousandths
    FireworkView* firework() const { return m_firework; }
    bool isTargeted() const { return m_targeted; }

    static ThemedLabel::ColorFn primaryAt(qreal opacity);

Q_SIGNALS:
    void urlsDropped(const QList<QUrl>& urls);

protected:
    // Whether the run has ended as far as this panel is concerned.
    virtual bool isEnded() const;
    virtual QString title() const;
    // A run that ended without doing all its work shows no firework.
    virtual bool celebrates() const;
    // Tools refresh their own lines here.
    virtual void refreshResults() {}

    ThemedLabel* addResultLine(ThemedLabel::ColorFn color, QWidget* wrapper = nullptr);
    // A result line that keeps one line, losing its end when too wide.
    ElidedLabel* addElidedResultLine(ThemedLabel::ColorFn color);

    // A widget between the result lines and the lower space (the import's
    // cancel button).
    void addBelowResults(QWidget* widget, Qt::Alignment alignment = Qt::AlignHCenter);

    ToolRunController* controller() const { return m_controller; }
    const Texts& texts() const { return m_texts; }
    QWidget* resultBlock() const { return m_result; }
    QVBoxLayout* resultLayout() const { return m_resultLayout; }

    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QHBoxLayout* buildPercentRow();
    QWidget* buildRunningDetails();
    QWidget* buildResultDetails();
    void applyThemeStyles();

    ToolRunController* m_controller;
    Texts m_texts;
    bool m_targeted = false;

    QVBoxLayout* m_column;
    ThemedLabel* m_title;
    ThemedLabel* m_subtitle;
    ThemedLabel* m_percent;
    QWidget* m_fireworkSlot;
    QHBoxLayout* m_fireworkLayout;
    QPointer<FireworkView> m_firework;
    QProgressBar* m_bar;
    QWidget* m_running;
    ThemedLabel* m_count;
    ElidedLabel* m_file;
    QWidget* m_result;
    QVBoxLayout* m_resultLayout;
    QVBoxLayout* m_counts;
    QList<ElidedLabel*> m_failureLines;
    ThemedLabel* m_failed;
    QList<QPair<ThemedLabel*, std::function<QString()>>> m_countLines;
    int m_belowIndex;
    QWidget* m_footer;
};
