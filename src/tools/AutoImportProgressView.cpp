#include "AutoImportProgressView.h"

#include "AutoImportController.h"
#include "AutoImportDropZone.h"
#include "AutoImportElidedLabel.h"

#include "ui/AppTheme.h"
#include "ui/FireworkView.h"
#include "ui/Fonts.h"
#include "ui/SystemColors.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemeObserver.h"

#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

ThemedLabel::ColorFn primaryAt(qreal opacity)
{
    return [opacity] { return AppTheme::withOpacity(AppTheme::textPrimary(), opacity); };
}

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

} // namespace

AutoImportProgressView::AutoImportProgressView(AutoImportController* controller, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
{
    setAcceptDrops(true);
    auto* column = new QVBoxLayout(this);
    column->setSpacing(20);
    column->setContentsMargins(0, 40, 0, 40);

    column->addStretch();
    m_title = centred(new ThemedLabel(QString(), Fonts::system(32, QFont::Bold), &AppTheme::textPrimary, this));
    column->addWidget(m_title);
    m_subtitle = centred(new ThemedLabel(QStringLiteral("正在复制素材，请保持软件运行"), Fonts::system(14),
                                         primaryAt(0.6), this));
    column->addWidget(m_subtitle);
    column->addStretch();

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
    column->addLayout(percentRow);

    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_bar->setFixedHeight(6);
    column->addWidget(padded(this, m_bar, 80, 0, 80, 0));

    // Running details.
    m_running = new QWidget(this);
    auto* running = new QVBoxLayout(m_running);
    running->setContentsMargins(0, 0, 0, 0);
    running->setSpacing(8);
    m_count = centred(new ThemedLabel(QString(), Fonts::system(14), primaryAt(0.8), m_running));
    running->addWidget(m_count);
    m_file = new AutoImportElidedLabel(Fonts::system(12), primaryAt(0.5), m_running);
    m_file->setAlignment(Qt::AlignCenter);
    running->addWidget(padded(m_running, m_file, 60, 0, 60, 0));
    column->addWidget(m_running);

    // Completed and cancelled details.
    m_result = new QWidget(this);
    auto* result = new QVBoxLayout(m_result);
    result->setContentsMargins(0, 0, 0, 0);
    result->setSpacing(20);
    m_warning = padded(m_result,
                       centred(new ThemedLabel(QStringLiteral("用户已取消导入，请勿立刻格式化存储卡"),
                                               Fonts::system(15, QFont::Medium), &AppTheme::gold, m_result)),
                       0, 4, 0, 0);
    result->addWidget(m_warning);
    auto* counts = new QVBoxLayout;
    counts->setSpacing(10);
    m_photos = centred(new ThemedLabel(QString(), Fonts::system(16), &AppTheme::textGold, m_result));
    m_videos = centred(new ThemedLabel(QString(), Fonts::system(16), &AppTheme::textGold, m_result));
    m_skipped = centred(new ThemedLabel(QString(), Fonts::system(16), primaryAt(0.6), m_result));
    m_failed = centred(new ThemedLabel(QString(), Fonts::system(16), &SystemColors::red, m_result));
    counts->addWidget(m_photos);
    counts->addWidget(m_videos);
    counts->addWidget(m_skipped);
    counts->addWidget(m_failed);
    result->addLayout(counts);
    column->addWidget(m_result);

    m_cancel = new QPushButton(QStringLiteral("取消导入"), this);
    m_cancel->setFont(Fonts::system(14, QFont::Medium));
    m_cancel->setCursor(Qt::PointingHandCursor);
    m_cancel->setFlat(true);
    column->addWidget(m_cancel, 0, Qt::AlignHCenter);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_controller->requestCancel(); });

    column->addStretch();
    m_footer = padded(this,
                      centred(new ThemedLabel(QStringLiteral("可以继续选择下一张存储卡进行导片"),
                                              Fonts::system(13), primaryAt(0.4), this)),
                      0, 0, 0, 10);
    column->addWidget(m_footer);

    applyThemeStyles();
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this,
            &AutoImportProgressView::applyThemeStyles);
    connect(m_controller, &AutoImportController::stateChanged, this, &AutoImportProgressView::refresh);
    refresh();
}

AutoImportProgressView::Form AutoImportProgressView::form() const
{
    if (!m_controller->isCompleted())
        return Form::running;
    return m_controller->isCancelled() ? Form::cancelled : Form::completed;
}

void AutoImportProgressView::applyThemeStyles()
{
    m_bar->setStyleSheet(QStringLiteral("QProgressBar { border: none; border-radius: 3px; background: %1; }"
                                        "QProgressBar::chunk { border-radius: 3px; background: %2; }")
                             .arg(rgba(AppTheme::withOpacity(AppTheme::textPrimary(), 0.12)),
                                  rgba(AppTheme::gold())));
    m_cancel->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: %2; border: none;"
                                           " border-radius: 8px; padding: 8px 28px; }")
                                .arg(rgba(AppTheme::textPrimary()),
                                     rgba(AppTheme::withOpacity(SystemColors::red(), 0.75))));
}

void AutoImportProgressView::refresh()
{
    const Form f = form();
    const bool running = f == Form::running;
    const AutoImportController& c = *m_controller;

    m_title->setText(f == Form::running     ? QStringLiteral("正在导片")
                     : f == Form::cancelled ? QStringLiteral("已取消导入")
                                            : completedTitle());
    m_subtitle->setVisible(running);
    m_percent->setText(QString::number(c.progressPercent()) + QLatin1Char('%'));
    m_bar->setValue(c.progressPermille());

    // The firework plays once per view, so each completion gets a new one.
    if (running && m_firework) {
        delete m_firework;
    } else if (!running && !m_firework) {
        m_firework = new FireworkView(m_fireworkSlot);
        m_fireworkLayout->addWidget(m_firework);
    }
    m_fireworkSlot->setVisible(!running);

    m_running->setVisible(running);
    m_count->setText(QStringLiteral("当前复制：%1 / %2").arg(c.processedCount()).arg(c.totalCount()));
    m_file->setText(c.currentFileName());

    m_result->setVisible(!running);
    m_warning->setVisible(f == Form::cancelled);
    m_photos->setText(QStringLiteral("照片：%1张").arg(c.photoCount()));
    m_videos->setText(QStringLiteral("视频：%1个").arg(c.videoCount()));
    m_skipped->setText(QStringLiteral("跳过重复：%1个").arg(c.skipCount()));
    m_failed->setText(QStringLiteral("失败：%1个").arg(c.failedCount()));
    m_failed->setVisible(c.failedCount() > 0);

    m_cancel->setVisible(running);
    m_footer->setVisible(!running);
}

QString AutoImportProgressView::titleText() const { return m_title->text(); }
QString AutoImportProgressView::percentText() const { return m_percent->text(); }
QString AutoImportProgressView::countText() const { return m_count->text(); }
QString AutoImportProgressView::currentFileText() const { return m_file->text(); }
int AutoImportProgressView::barValue() const { return m_bar->value(); }

QStringList AutoImportProgressView::resultLines() const
{
    QStringList lines;
    if (m_result->isHidden())
        return lines;
    if (!m_warning->isHidden())
        lines << QStringLiteral("用户已取消导入，请勿立刻格式化存储卡");
    for (ThemedLabel* label : {m_photos, m_videos, m_skipped, m_failed}) {
        if (!label->isHidden())
            lines << label->text();
    }
    return lines;
}

void AutoImportProgressView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!AutoImportDropZone::carriesFileUrls(event->mimeData()))
        return;
    event->acceptProposedAction();
    m_targeted = true;
}

void AutoImportProgressView::dragLeaveEvent(QDragLeaveEvent*)
{
    m_targeted = false;
}

void AutoImportProgressView::dropEvent(QDropEvent* event)
{
    m_targeted = false;
    event->acceptProposedAction();
    Q_EMIT urlsDropped(event->mimeData()->urls());
}
