#include "ChangelogPopupView.h"

#include "online/OnlineConfig.h"
#include "online/OnlineKeys.h"
#include "online/PopupFit.h"
#include "online/RemoteFetch.h"
#include "online/TextAreaStyle.h"
#include "online/TextLines.h"
#include "online/VersionFile.h"
#include "online/PlateLook.h"
#include "platform/UserDefaults.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {
constexpr int kRowSpacing = 11;

enum class Row { gap, version, section, item };

Row kindOf(const QString& line)
{
    if (line.isEmpty())
        return Row::gap;
    if (line.startsWith(QLatin1Char('V')))
        return Row::version;
    if (line.startsWith(QChar(0x3010))) // 【
        return Row::section;
    return Row::item;
}

// The look of each kind of row, made once per rendering: a long history
// repeats three looks thousands of times.
struct RowLooks {
    QTextCharFormat chars[4];
    QTextBlockFormat blocks[4];

    RowLooks()
    {
        const struct {
            qreal size;
            QFont::Weight weight;
            QColor color;
            int paddingAbove;
        } looks[] = {{14, QFont::Normal, QColor(), 0},
                     {17, QFont::Bold, AppTheme::textGold(), 6},
                     {14, QFont::Bold, AppTheme::withOpacity(AppTheme::textGold(), 0.9), 4},
                     {14, QFont::Normal, AppTheme::withOpacity(AppTheme::textPrimary(), 0.85), 0}};
        for (int i = 0; i < 4; ++i) {
            chars[i].setFont(Fonts::system(looks[i].size, looks[i].weight));
            if (looks[i].color.isValid())
                chars[i].setForeground(looks[i].color);
            blocks[i].setTopMargin(kRowSpacing + looks[i].paddingAbove);
        }
        blocks[int(Row::gap)].setLineHeight(10, QTextBlockFormat::FixedHeight);
        blocks[int(Row::item)].setLineHeight(3, QTextBlockFormat::LineDistanceHeight);
    }
};
}

ChangelogPopupView::ChangelogPopupView(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("changelogPopup"));
    setWindowTitle(QStringLiteral("更新日志"));
    setAutoFillBackground(false);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(28, 28, 28, 28);
    column->setSpacing(16);
    auto* title = new ThemedLabel(QStringLiteral("更新日志"), Fonts::system(17, QFont::Bold), &AppTheme::textGold, this);
    title->setAlignment(Qt::AlignHCenter);
    column->addWidget(title);

    // One document for all rows: a long history lays out in one pass and
    // scrolls as a whole; every line is inserted as plain text.
    m_rows = new QTextEdit(this);
    m_rows->setObjectName(QStringLiteral("changelogRows"));
    m_rows->setReadOnly(true);
    m_rows->setAcceptRichText(false);
    m_rows->setTextInteractionFlags(Qt::TextSelectableByMouse);
    styleTextArea(m_rows, AppTheme::textPrimary());
    column->addWidget(m_rows, 1);

    auto* done = new PlateButton(
        QStringLiteral("完成"),
        plateLook(&AppTheme::gold, &AppTheme::cardBackground, Fonts::system(14, QFont::Medium), {32, 10, 32, 10}), this);
    done->setObjectName(QStringLiteral("doneButton"));
    connect(done, &QAbstractButton::clicked, this, &QDialog::accept);
    column->addWidget(done, 0, Qt::AlignHCenter);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] {
        styleTextArea(m_rows, AppTheme::textPrimary());
        render();
        update();
    });

    const QString cached = UserDefaults::standard().string(OnlineKeys::changelogCache).value_or(QString());
    if (!cached.isEmpty()) {
        m_text = cached;
        m_loading = false;
    }
    render();
    PopupFit::keepInRoom(this);
    loadChangelog();
}

QSize ChangelogPopupView::sizeHint() const { return {480, 560}; }

ChangelogPopupView* ChangelogPopupView::create(QWidget* parent)
{
    auto* popup = new ChangelogPopupView(parent ? parent->window() : nullptr);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setWindowModality(Qt::WindowModal);
    return popup;
}

void ChangelogPopupView::loadChangelog()
{
    const std::optional<QString> address = OnlineConfig::remoteAddress(QStringLiteral("version.txt"));
    if (!address) {
        if (m_text.isEmpty())
            m_text = QStringLiteral("未配置更新服务器");
        m_loading = false;
        render();
        return;
    }
    RemoteFetch::getText(*address, RemoteFetch::timeouts().standardMs, this, [this](const std::optional<QString>& body) {
        m_loading = false;
        if (!body || !VersionFile::isVersionFile(*body)) {
            if (m_text.isEmpty())
                m_text = QStringLiteral("加载失败，请检查网络");
        } else if (const std::optional<QString> log = VersionFile::changelog(*body)) {
            m_text = *log;
            UserDefaults::standard().set(OnlineKeys::changelogCache, m_text);
        } else if (m_text.isEmpty()) {
            m_text = QStringLiteral("暂无更新内容");
        }
        render();
    });
}

void ChangelogPopupView::render()
{
    // Filled apart from the view and swapped in, so it is laid out once.
    auto* doc = new QTextDocument(m_rows);
    doc->setDocumentMargin(0);
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    const QStringList lines = m_loading && m_text.isEmpty() ? QStringList{} : TextLines::split(m_text);
    if (lines.isEmpty()) {
        QTextCharFormat f;
        f.setFont(Fonts::system(12.5));
        f.setForeground(AppTheme::withOpacity(AppTheme::textPrimary(), 0.5));
        cursor.setCharFormat(f);
        cursor.insertText(QStringLiteral("加载中..."));
    }
    const RowLooks looks;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        const int kind = int(kindOf(line));
        QTextBlockFormat block = looks.blocks[kind];
        if (i == 0) {
            block.setTopMargin(block.topMargin() - kRowSpacing);
            cursor.setBlockFormat(block);
            cursor.setCharFormat(looks.chars[kind]);
        } else {
            cursor.insertBlock(block, looks.chars[kind]);
        }
        cursor.insertText(line);
    }
    cursor.endEditBlock();
    // The first document belongs to the editor, which drops it itself.
    QTextDocument* old = m_rows->document();
    const bool ours = old->parent() == m_rows;
    m_rows->setDocument(doc);
    if (ours)
        delete old;
}

void ChangelogPopupView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), AppTheme::cardBackground());
}
