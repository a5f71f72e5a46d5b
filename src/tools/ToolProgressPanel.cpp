#include "ToolProgressPanel.h"

#include "FolderDropZone.h"
#include "ToolRunController.h"

#include "ui/AppTheme.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/SystemColors.h"
#include "ui/ThemeObserver.h"

#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QMimeData>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {

ThemedLabel* centred(ThemedLabel* label)
{
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QString rgba(const QColor& c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF());
}

// A widget holding `inner` with fixed margins, so hiding it hides the margins too.
QWidget* padded(QWidget* parent, QWidget* inner, int left, int top, int right, int bottom)
{
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(left, top, right, bottom);
    layout->addWidget(inner);
    return box;
}

// A centred one-line result with the failure lines' margins; `box` is what
// goes into the layout.
ElidedLabel* elidedLine(QWidget* parent, ThemedLabel::ColorFn color, QWidget** box)
{
    auto* line = new ElidedLabel(Fonts::system(13), std::move(color), parent);
    line->setAlignment(Qt::AlignCenter);
    *box = padded(parent, line, 40, 0, 40, 0);
    return line;
}

} // namespace

ThemedLabel::ColorFn ToolProgressPanel::primaryAt(qreal opacity)
{
    return [opacity] { return AppTheme::withOpacity(AppTheme::textPrimary(), opacity); };
}

ToolProgressPanel::ToolProgressPanel(ToolRunController* controller, Texts texts, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
    , m_texts(std::move(texts))
{
    setAcceptDrops(true);
    m_column = new QVBoxLayout(this);
    m_column->setSpacing(20);
    m_column->setContentsMargins(0, 40, 0, 40);

    m_column->addStretch();
    m_title = centred(new ThemedLabel(QString(), Fonts::system(32, QFont::Bold), &AppTheme::textPrimary, this));
    m_column->addWidget(m_title);
    m_subtitle = centred(new ThemedLabel(m_texts.subtitle, Fonts::system(14), primaryAt(0.6), this));
    m_column->addWidget(m_subtitle);
    m_column->addStretch();
    m_column->addLayout(buildPercentRow());
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_bar->setFixedHeight(6);
    m_column->addWidget(padded(this, m_bar, 80, 0, 80, 0));
    m_column->addWidget(buildRunningDetails());
    m_column->addWidget(buildResultDetails());
    m_belowIndex = m_column->count();
    m_column->addStretch();
    m_footer = padded(this, centred(new ThemedLabel(m_texts.footer, Fonts::system(13), primaryAt(0.4), this)), 0,
                      0, 0, 10);
    m_column->addWidget(m_footer);

    applyThemeStyles();
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, &ToolProgressPanel::applyThemeStyles);
    connect(m_controller, &ToolRunController::stateChanged, this, &ToolProgressPanel::refresh);
}

// The percentage with room for the firework to its right.
QHBoxLayout* ToolProgressPanel::buildPercentRow()
{
    auto* percentRow = new QHBoxLayout;
    percentRow->setSpacing(8);
    percentRow->addStretch();
    m_percent = new ThemedLabel(QString(), Fonts::system(72, QFont::Bold), &AppTheme::gold, this);
    percentRow->addWidget(m_percent, 0, Qt::AlignVCenter);
    m_fireworkSlot = new QWidget(this);
    m_fireworkSlot->setFixedSize(70, 70);
    m_fireworkLayout = new QHBoxLayout(m_fireworkSlot);
    m_fireworkLayout->setContentsMargins(0, 0, 0, 0);
    percentRow->addWidget(m_fireworkSlot, 0, Qt::AlignVCenter);
    percentRow->addStretch();
    return percentRow;
}

// The count and the file in hand, while running.
QWidget* ToolProgressPanel::buildRunningDetails()
{
    m_running = new QWidget(this);
    auto* running = new QVBoxLayout(m_running);
    running->setContentsMargins(0, 0, 0, 0);
    running->setSpacing(8);
    m_count = centred(new ThemedLabel(QString(), Fonts::system(14), primaryAt(0.8), m_running));
    running->addWidget(m_count);
    m_file = new ElidedLabel(Fonts::system(12), primaryAt(0.5), m_running);
    m_file->setAlignment(Qt::AlignCenter);
    running->addWidget(padded(m_running, m_file, 60, 0, 60, 0));
    return m_running;
}

// Once ended: the tool's lines, then the failures.
QWidget* ToolProgressPanel::buildResultDetails()
{
    m_result = new QWidget(this);
    m_resultLayout = new QVBoxLayout(m_result);
    m_resultLayout->setContentsMargins(0, 0, 0, 0);
    m_resultLayout->setSpacing(20);
    m_counts = new QVBoxLayout;
    m_counts->setSpacing(10);
    for (int i = 0; i < ToolRunCounts::kKeptFailures; ++i) {
        // A long path keeps its start and the cause at its end.
        QWidget* box = nullptr;
        ElidedLabel* line = elidedLine(m_result, primaryAt(0.6), &box);
        line->setObjectName(QStringLiteral("failureLine"));
        m_failureLines.append(line);
        m_counts->addWidget(box);
    }
    m_failed = centred(new ThemedLabel(QString(), Fonts::system(16), &SystemColors::red, m_result));
    m_counts->addWidget(m_failed);
    m_resultLayout->addLayout(m_counts);
    return m_result;
}

ThemedLabel* ToolProgressPanel::addResultLine(ThemedLabel::ColorFn color, QWidget* wrapper)
{
    auto* label = centred(new ThemedLabel(QString(), Fonts::system(16), std::move(color), m_result));
    // Above the failures and the failure count.
    m_counts->insertWidget(m_counts->count() - 1 - int(m_failureLines.size()), wrapper ? wrapper : label);
    return label;
}

ElidedLabel* ToolProgressPanel::addElidedResultLine(ThemedLabel::ColorFn color)
{
    QWidget* box = nullptr;
    ElidedLabel* line = elidedLine(m_result, std::move(color), &box);
    line->setElideMode(Qt::ElideRight);
    m_counts->insertWidget(m_counts->count() - 1 - int(m_failureLines.size()), box);
    return line;
}

void ToolProgressPanel::addCountLine(ThemedLabel::ColorFn color, std::function<QString()> text)
{
    m_countLines.append({addResultLine(std::move(color)), std::move(text)});
}

void ToolProgressPanel::addBelowResults(QWidget* widget, Qt::Alignment alignment)
{
    m_column->insertWidget(m_belowIndex++, widget, 0, alignment);
}

bool ToolProgressPanel::isEnded() const
{
    return m_controller->isCompleted();
}

QString ToolProgressPanel::title() const
{
    if (!isEnded())
        return m_texts.runningTitle;
    // Failed files must not read as a finished job.
    if (m_controller->failedCount() > 0 && !m_texts.unfinishedTitle.isEmpty())
        return m_texts.unfinishedTitle;
    return m_texts.completedTitle;
}

bool ToolProgressPanel::celebrates() const
{
    return m_controller->failedCount() == 0;
}

void ToolProgressPanel::applyThemeStyles()
{
    m_bar->setStyleSheet(QStringLiteral("QProgressBar { border: none; border-radius: 3px; background: %1; }"
                                        "QProgressBar::chunk { border-radius: 3px; background: %2; }")
                             .arg(rgba(AppTheme::withOpacity(AppTheme::textPrimary(), 0.12)),
                                  rgba(AppTheme::gold())));
}

void ToolProgressPanel::refresh()
{
    const bool ended = isEnded();
    const ToolRunController& c = *m_controller;

    m_title->setText(title());
    m_subtitle->setVisible(!ended);
    m_percent->setText(QString::number(c.progressPercent()) + QLatin1Char('%'));
    m_bar->setValue(c.progressPermille());

    // The firework plays once per view, so each completion gets a new one.
    const bool firework = ended && celebrates();
    if (!firework && m_firework) {
        delete m_firework;
    } else if (firework && !m_firework) {
        m_firework = new FireworkView(m_fireworkSlot);
        m_fireworkLayout->addWidget(m_firework);
    }
    m_fireworkSlot->setVisible(firework);

    m_running->setVisible(!ended);
    m_count->setText(m_texts.countPrefix + QStringLiteral("%1 / %2").arg(c.currentNumber()).arg(c.totalCount()));
    m_file->setText(c.currentFileName());

    m_result->setVisible(ended);
    m_failed->setText(QStringLiteral("失败：%1个").arg(c.failedCount()));
    m_failed->setVisible(c.failedCount() > 0);
    const auto& failures = c.failures();
    for (qsizetype i = 0; i < m_failureLines.size(); ++i) {
        ElidedLabel* line = m_failureLines[i];
        line->setText(i < failures.size() ? failures[i].first + QStringLiteral("：") + failures[i].second : QString());
        line->parentWidget()->setVisible(i < failures.size());
    }
    for (const auto& [label, text] : std::as_const(m_countLines))
        label->setText(text());
    refreshResults();
    m_footer->setVisible(ended);
}

QString ToolProgressPanel::titleText() const { return m_title->text(); }
QString ToolProgressPanel::percentText() const { return m_percent->text(); }
QString ToolProgressPanel::countText() const { return m_count->text(); }
QString ToolProgressPanel::currentFileText() const { return m_file->text(); }
int ToolProgressPanel::barValue() const { return m_bar->value(); }

QStringList ToolProgressPanel::resultLines() const
{
    QStringList lines;
    if (m_result->isHidden())
        return lines;
    for (const QWidget* w : m_result->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(m_result) || w == m_failed)
            continue;
        if (const auto* label = qobject_cast<const ThemedLabel*>(w))
            lines << label->text();
        else if (const auto* line = qobject_cast<const ElidedLabel*>(w); line && !m_failureLines.contains(const_cast<ElidedLabel*>(line)))
            lines << line->text();
    }
    for (const ElidedLabel* line : m_failureLines) {
        if (line->isVisibleTo(m_result))
            lines << line->text();
    }
    if (!m_failed->isHidden())
        lines << m_failed->text();
    return lines;
}

void ToolProgressPanel::dragEnterEvent(QDragEnterEvent* event)
{
    if (!FolderDropZone::carriesFileUrls(event->mimeData()))
        return;
    event->acceptProposedAction();
    m_targeted = true;
}

void ToolProgressPanel::dragLeaveEvent(QDragLeaveEvent*)
{
    m_targeted = false;
}

void ToolProgressPanel::dropEvent(QDropEvent* event)
{
    m_targeted = false;
    event->acceptProposedAction();
    Q_EMIT urlsDropped(event->mimeData()->urls());
}
