#include "QuickFilterView.h"

#include "FolderDropZone.h"
#include "QuickFilterController.h"
#include "QuickFilterFormPieces.h"
#include "QuickFilterKeywordBox.h"
#include "QuickFilterKeywords.h"
#include "QuickFilterProgressView.h"
#include "ToolNotice.h"

#include "platform/Log.h"
#include "ui/AppTheme.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/LightScrollBar.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/ThemedLabel.h"
#include "ui/ThemedPanel.h"

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStackedLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <QVBoxLayout>

namespace {

constexpr int kMaxRowWidth = 720;

ThemedLabel::ColorFn primaryAt(qreal opacity)
{
    return [opacity] { return AppTheme::withOpacity(AppTheme::textPrimary(), opacity); };
}

ThemedLabel* label(const QString& text, const QFont& font, ThemedLabel::ColorFn color, QWidget* parent,
                   Qt::Alignment alignment = Qt::AlignCenter)
{
    auto* l = new ThemedLabel(text, font, std::move(color), parent);
    l->setAlignment(alignment);
    return l;
}

ThemedLabel* icon(const char* symbol, qreal size, QWidget* parent)
{
    return label(Symbols::glyph(symbol), Symbols::font(size), &AppTheme::gold, parent);
}

// A content over a faint hint line at its leading edge.
QWidget* withHint(QWidget* content, const QString& hint, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(content);
    column->addWidget(label(hint, Fonts::system(11), primaryAt(0.5), box, Qt::AlignLeft | Qt::AlignVCenter));
    return box;
}

// A box of the step-3 card: the card colour on a rounded rectangle.
class CardBox : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(AppTheme::cardBackground());
        p.drawRoundedRect(QRectF(rect()), 12, 12);
    }
};

} // namespace

QuickFilterView::QuickFilterView(QWidget* parent)
    : QuickFilterView(&QuickFilterController::shared(), parent)
{
}

QuickFilterView::QuickFilterView(QuickFilterController* controller, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
{
    // A new screen opens on a fresh form unless a run is still going on.
    m_controller->forgetCompleted();
    auto* backdrop = new QVBoxLayout(this);
    backdrop->setContentsMargins(0, 0, 0, 0);
    auto* panel = new ThemedPanel(&AppTheme::background, this);
    backdrop->addWidget(panel);
    m_stack = new QStackedLayout(panel);
    m_form = buildForm();
    m_progress = new QuickFilterProgressView(m_controller, panel);
    m_progress->setObjectName(QStringLiteral("quickFilterProgress"));
    m_stack->addWidget(m_form);
    m_stack->addWidget(m_progress);

    connect(m_progress, &QuickFilterProgressView::backClicked, m_controller, &QuickFilterController::backToSetting);
    // What the start notice asked for may have just been given.
    connect(m_keywordBox->editor(), &QPlainTextEdit::textChanged, m_startNotice, &ToolNotice::clear);
    connect(this, &QuickFilterView::samplesChanged, m_startNotice, &ToolNotice::clear);
    connect(m_controller, &ToolRunController::stateChanged, this, &QuickFilterView::followState);
    followState();
}

QWidget* QuickFilterView::buildForm()
{
    QScrollArea* scroll = LightScrollBar::makeVerticalScrollArea(this);
    auto* content = new QWidget(scroll);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(4, 30, 44, 30);
    column->setSpacing(28);

    // Each row grows up to 720 wide and stays centred in a wider window.
    auto centred = [column](QWidget* row) {
        row->setMaximumWidth(kMaxRowWidth);
        auto* line = new QHBoxLayout;
        line->addStretch(1);
        line->addWidget(row, 1000);
        line->addStretch(1);
        column->addLayout(line);
    };
    using QuickFilterFormPieces::stepRow;
    centred(stepRow(QStringLiteral("①"), QStringLiteral("复制照片编号或拖入照片获取文件名"), buildNamesStep(content),
                    content));
    centred(stepRow(QStringLiteral("②"), QStringLiteral("拖入原始RAW或JPG"), buildFolderStep(content), content));
    centred(stepRow(QStringLiteral("③"), QStringLiteral("选择最终要导出的方式"), buildModeStep(content), content));

    // The start button lines up with the steps' contents.
    auto* startRow = new QWidget(content);
    auto* start = new QHBoxLayout(startRow);
    start->setContentsMargins(0, 4, 0, 0);
    start->setSpacing(QuickFilterFormPieces::kRowSpacing);
    start->addSpacing(QuickFilterFormPieces::kTitleWidth);
    PlateButton* startButton = QuickFilterFormPieces::startButton(startRow);
    startButton->setObjectName(QStringLiteral("startButton"));
    auto* startColumn = new QVBoxLayout;
    startColumn->setSpacing(10);
    startColumn->addWidget(startButton, 0, Qt::AlignHCenter);
    m_startNotice = new ToolNotice(startRow);
    m_startNotice->setObjectName(QStringLiteral("startNotice"));
    startColumn->addWidget(m_startNotice);
    start->addLayout(startColumn, 1);
    connect(startButton, &PlateButton::clicked, this, &QuickFilterView::start);
    centred(startRow);
    column->addStretch();
    column->addSpacing(30);
    scroll->setWidget(content);
    return scroll;
}

QWidget* QuickFilterView::buildNamesStep(QWidget* parent)
{
    auto* step = new QWidget(parent);
    auto* row = new QHBoxLayout(step);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);

    m_keywordBox = new QuickFilterKeywordBox(step);
    row->addWidget(withHint(m_keywordBox, QStringLiteral("* 多个文件名可用逗号、顿号、句号或回车分隔。"), step), 1);

    auto* orColumn = new QVBoxLayout;
    orColumn->setContentsMargins(0, 80, 0, 0);
    orColumn->addWidget(label(QStringLiteral("或"), Fonts::system(16, QFont::Bold), &AppTheme::gold, step));
    orColumn->addStretch();
    row->addLayout(orColumn);

    m_sampleZone = new FolderDropZone(step);
    m_sampleZone->setObjectName(QStringLiteral("sampleZone"));
    m_sampleZone->setDashed(true);
    m_sampleZone->setFixedHeight(180);
    auto* zone = new QVBoxLayout(m_sampleZone);
    zone->setContentsMargins(8, 8, 8, 8);
    zone->setSpacing(8);
    zone->addStretch();
    zone->addWidget(icon("square.and.arrow.down", 26, m_sampleZone));
    auto* prompt = label(QStringLiteral("拖拽照片或文件夹到此处"), Fonts::system(13), &AppTheme::accentOrange,
                         m_sampleZone);
    prompt->setWordWrap(true);
    zone->addWidget(prompt);
    m_sampleLines = new QWidget(m_sampleZone);
    auto* lines = new QVBoxLayout(m_sampleLines);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(8);
    m_sampleCount = label(QString(), Fonts::system(11), &AppTheme::gold, m_sampleLines);
    m_sampleCount->setObjectName(QStringLiteral("sampleCount"));
    lines->addWidget(m_sampleCount);
    m_sampleNames = new ElidedLabel(Fonts::system(10), primaryAt(0.4), m_sampleLines);
    m_sampleNames->setObjectName(QStringLiteral("sampleNames"));
    m_sampleNames->setAlignment(Qt::AlignCenter);
    lines->addWidget(m_sampleNames);
    zone->addWidget(m_sampleLines);
    zone->addStretch();
    connect(m_sampleZone, &FolderDropZone::urlsDropped, this, &QuickFilterView::handleSampleDrop);
    row->addWidget(withHint(m_sampleZone, QStringLiteral("* 自动提取文件名"), step), 1);
    refreshSamples();
    return step;
}

QWidget* QuickFilterView::buildFolderStep(QWidget* parent)
{
    m_folderZone = new FolderDropZone(parent);
    m_folderZone->setObjectName(QStringLiteral("folderZone"));
    m_folderZone->setDashed(true);
    m_folderZone->setFixedHeight(120);
    auto* faces = new QStackedLayout(m_folderZone);

    m_folderEmpty = new QWidget(m_folderZone);
    auto* empty = new QVBoxLayout(m_folderEmpty);
    empty->setSpacing(10);
    empty->addStretch();
    empty->addWidget(icon("folder", 32, m_folderEmpty));
    empty->addWidget(label(QStringLiteral("拖拽目标素材文件夹到此处"), Fonts::system(14), &AppTheme::accentOrange,
                           m_folderEmpty));
    empty->addStretch();
    faces->addWidget(m_folderEmpty);

    m_folderChosen = new QWidget(m_folderZone);
    auto* chosen = new QVBoxLayout(m_folderChosen);
    chosen->setContentsMargins(20, 0, 20, 0);
    chosen->setSpacing(8);
    chosen->addStretch();
    chosen->addWidget(icon("checkmark.circle.fill", 30, m_folderChosen));
    m_folderName = label(QString(), Fonts::system(14, QFont::Medium), &AppTheme::textGold, m_folderChosen);
    chosen->addWidget(m_folderName);
    m_folderPath = new ElidedLabel(Fonts::system(11), primaryAt(0.5), m_folderChosen);
    m_folderPath->setAlignment(Qt::AlignCenter);
    chosen->addWidget(m_folderPath);
    chosen->addStretch();
    faces->addWidget(m_folderChosen);

    connect(m_folderZone, &FolderDropZone::urlsDropped, this, &QuickFilterView::handleFolderDrop);
    refreshFolder();
    QWidget* zone = ToolNotice::under(m_folderZone, &m_folderNotice, parent, 6);
    m_folderNotice->setObjectName(QStringLiteral("folderNotice"));
    return withHint(zone, QStringLiteral("* 素材文件夹 = 存放全部RAW/JPG/HEIF的总文件夹，软件自动递归查找匹配文件。"),
                    parent);
}

QWidget* QuickFilterView::buildModeStep(QWidget* parent)
{
    auto* card = new CardBox(parent);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(14);
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    row->addStretch();
    row->addWidget(label(QStringLiteral("导出的方式："), Fonts::system(14), &AppTheme::textPrimary, card));
    m_copyButton = QuickFilterFormPieces::formatButton(QStringLiteral("复制"), true, card);
    m_copyButton->setObjectName(QStringLiteral("copyModeButton"));
    m_moveButton = QuickFilterFormPieces::formatButton(QStringLiteral("移动"), false, card);
    m_moveButton->setObjectName(QStringLiteral("moveModeButton"));
    row->addWidget(m_copyButton);
    row->addWidget(m_moveButton);
    row->addStretch();
    column->addLayout(row);
    m_moveWarning = label(QStringLiteral("⚠️ 移动会改动源文件夹文件，建议先备份"), Fonts::system(12),
                          &SystemColors::orange, card);
    m_moveWarning->setObjectName(QStringLiteral("moveWarning"));
    column->addWidget(m_moveWarning);
    connect(m_copyButton, &PlateButton::clicked, this, [this] { setExportMode(QuickFilterEngine::Mode::copy); });
    connect(m_moveButton, &PlateButton::clicked, this, [this] { setExportMode(QuickFilterEngine::Mode::move); });
    setExportMode(m_mode);
    return card;
}

QString QuickFilterView::keywordsText() const
{
    return m_keywordBox->keywordsText();
}

void QuickFilterView::setExportMode(QuickFilterEngine::Mode mode)
{
    m_mode = mode;
    const bool move = mode == QuickFilterEngine::Mode::move;
    m_copyButton->setLook(QuickFilterFormPieces::formatButtonLook(!move));
    m_moveButton->setLook(QuickFilterFormPieces::formatButtonLook(move));
    m_moveWarning->setVisible(move);
}

QString QuickFilterView::startRefusal() const
{
    if (m_controller->isProcessing())
        return QStringLiteral("正在分片，请等待完成");
    const bool names = !keywordsText().trimmed().isEmpty() || !m_samples.sampleBaseNames.isEmpty();
    if (m_sourceFolder.isEmpty())
        return names ? QStringLiteral("请先拖入素材文件夹") : QStringLiteral("请先输入文件名并拖入素材文件夹");
    return names ? QString() : QStringLiteral("请先输入文件名或拖入照片");
}

bool QuickFilterView::canStart() const
{
    return startRefusal().isEmpty();
}

void QuickFilterView::start()
{
    const QString refusal = startRefusal();
    if (!refusal.isEmpty()) {
        Log::line(QStringLiteral("⚠️ [快速分片] 条件不满足：请先输入文件名并拖入素材文件夹"));
        m_startNotice->say(refusal);
        return;
    }
    const bool started = m_controller->startExport(
        m_sourceFolder,
        QuickFilterKeywords::build(keywordsText(), m_samples.sampleRawBaseNames, m_samples.sampleJpgBaseNames),
        m_mode);
    if (started)
        m_startNotice->clear();
    else
        m_startNotice->say(QStringLiteral("没有可用的文件名，请输入照片编号或文件名"));
}

void QuickFilterView::handleSampleDrop(const QList<QUrl>& urls)
{
    Log::line(QStringLiteral("📥 [快速分片] 收到样例拖拽，数量: ") + QString::number(urls.size()));
    QStringList paths;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            paths.append(QDir::cleanPath(url.toLocalFile()));
    }
    // A dropped folder may hold a whole card: it is read off the main thread.
    auto* watcher = new QFutureWatcher<QList<QuickFilterSamples::Pair>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        m_samples.merge(watcher->result());
        watcher->deleteLater();
        refreshSamples();
        Q_EMIT samplesChanged();
    });
    watcher->setFuture(QtConcurrent::run([paths] { return QuickFilterSamples::collect(paths); }));
}

void QuickFilterView::handleFolderDrop(const QList<QUrl>& urls)
{
    if (urls.isEmpty())
        return;
    const QString path = m_folderNotice->folderOf(urls.constFirst());
    if (path.isEmpty())
        return;
    m_sourceFolder = path;
    m_startNotice->clear();
    Log::line(QStringLiteral("📁 [快速分片] 素材文件夹已选择: ") + path);
    refreshFolder();
}

void QuickFilterView::refreshSamples()
{
    const QStringList& names = m_samples.sampleFileNames;
    m_sampleLines->setVisible(!names.isEmpty());
    m_sampleCount->setText(QStringLiteral("已提取 %1 个文件名").arg(names.size()));
    // Every name counted is listed; a long list loses its middle.
    m_sampleNames->setText(names.join(QStringLiteral("、")));
}

void QuickFilterView::refreshFolder()
{
    const bool chosen = !m_sourceFolder.isEmpty();
    static_cast<QStackedLayout*>(m_folderZone->layout())->setCurrentWidget(chosen ? m_folderChosen : m_folderEmpty);
    m_folderName->setText(QFileInfo(m_sourceFolder).fileName());
    m_folderPath->setText(m_sourceFolder);
}

bool QuickFilterView::isShowingProgress() const
{
    return m_stack->currentWidget() == m_progress;
}

void QuickFilterView::followState()
{
    const bool progress = m_controller->isProcessing() || m_controller->isCompleted();
    m_stack->setCurrentWidget(progress ? static_cast<QWidget*>(m_progress) : m_form);
}
