#include "AboutAuthorPopupView.h"

#include "online/PopupFit.h"
#include "online/PopupTexts.h"
#include "online/RemoteContentLoader.h"
#include "online/TextAreaStyle.h"
#include "online/PlateLook.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kWidth = 460;
constexpr int kInset = 26;
// As tall as its text up to this; only a longer text scrolls.
constexpr int kMaxTextHeight = 500;
// The paragraphs' column: the text region less the canvas's right margin and
// the scroll bar that may show.
constexpr int kColumnWidth = kWidth - 2 * kInset - 8 - 6;
}

AboutAuthorPopupView::AboutAuthorPopupView(QWidget* parent)
    : QDialog(parent)
    , m_paragraphs(builtInParagraphs())
    , m_contactId(builtInContactId())
{
    setObjectName(QStringLiteral("aboutAuthorSheet"));
    setWindowTitle(QStringLiteral("关于我"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kInset, kInset, kInset, kInset);
    column->setSpacing(14);
    auto* title = new ThemedLabel(QStringLiteral("关于我"), Fonts::system(17, QFont::Bold), &AppTheme::textGold, this);
    title->setAlignment(Qt::AlignHCenter);
    column->addWidget(title);

    auto* canvas = new QWidget;
    m_text = new QVBoxLayout(canvas);
    m_text->setContentsMargins(0, 0, 8, 0);
    m_text->setSpacing(14);
    auto* area = new FittingScrollArea(canvas, kWidth - 2 * kInset, this, kMaxTextHeight);
    area->setObjectName(QStringLiteral("aboutText"));
    column->addWidget(area);

    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    const QFont font = Fonts::system(13, QFont::Medium);
    auto* copy = new PlateButton(QStringLiteral("复制微信号"),
                                 plateLook(&AppTheme::searchBackground, &AppTheme::textGold, font, {22, 6, 22, 6}), this);
    copy->setObjectName(QStringLiteral("copyButton"));
    connect(copy, &QAbstractButton::clicked, this, &AboutAuthorPopupView::copyContactId);
    auto* close = new PlateButton(
        QStringLiteral("关闭"),
        plateLook(&AppTheme::cardBackground, [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); }, font,
                  {22, 6, 22, 6}),
        this);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    row->addStretch(1);
    row->addWidget(copy);
    row->addWidget(close);
    row->addStretch(1);
    column->addLayout(row);

    // Floats over the button row and takes no room of its own.
    m_toast = new ThemedLabel(QStringLiteral("微信号已复制"), Fonts::system(11),
                              [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.9); }, this);
    m_toast->setObjectName(QStringLiteral("copiedToast"));
    m_toast->setProperty("layoutOverlay", true);
    m_toast->setContentsMargins(10, 5, 10, 5);
    m_toast->hide();
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this, area] {
        styleTextArea(area, AppTheme::textPrimary());
        update();
    });
    showParagraphs();
    PopupFit::keepInRoom(this);

    RemoteContentLoader::fetchAsync(QStringLiteral("about.txt"), this, [this](const std::optional<QString>& text) {
        if (!text)
            return;
        const PopupTexts::About about = PopupTexts::parseAbout(*text);
        if (!about.paragraphs.isEmpty()) {
            m_paragraphs = about.paragraphs;
            showParagraphs();
        }
        if (!about.contactId.isEmpty())
            m_contactId = about.contactId;
    });
}

QStringList AboutAuthorPopupView::builtInParagraphs()
{
    return {QStringLiteral("你好，我是这款工具的作者，一名摄影师，也是一名摄影老师。\n"
                           "做这款工具，是想把摄影师每天重复又繁琐的活交给电脑。\n"
                           "导卡、分离原片、按客户的选片挑文件、相机无线传图、记录档期和收入，\n"
                           "都是我们每天都要做的事。\n"
                           "很多功能一键就能完成，\n"
                           "省下的时间和心思，\n"
                           "可以留给拍摄本身。"),
            QStringLiteral("这些年我拍过很多客片，也一直在线下教摄影。\n"
                           "带零基础的同学，我习惯一步一步耐心地讲，\n"
                           "从相机设置到构图用光，\n"
                           "再到课程里的效率方法：\n"
                           "快速出片的拍摄思路，\n"
                           "以及批量修图的流程。"),
            QStringLiteral("如果你对摄影课程感兴趣，欢迎来聊。\n"
                           "欢迎咨询我微信：") + builtInContactId() + QStringLiteral("（记得备注来意）")};
}

QString AboutAuthorPopupView::builtInContactId() { return QStringLiteral("kelv01"); }

bool AboutAuthorPopupView::isToastShown() const { return m_toast->isVisible(); }

void AboutAuthorPopupView::copyContactId()
{
    QGuiApplication::clipboard()->setText(m_contactId);
    const QSize hint = m_toast->sizeHint();
    const QWidget* copy = findChild<QWidget*>(QStringLiteral("copyButton"));
    const int rowTop = copy ? copy->y() : height() - 60;
    m_toast->setGeometry((width() - hint.width()) / 2, rowTop - 10 - hint.height() / 2, hint.width(), hint.height());
    m_toast->show();
    m_toast->raise();
    // Each press hides the toast two seconds after itself.
    QTimer::singleShot(kToastMs, m_toast, &QWidget::hide);
}

void AboutAuthorPopupView::showParagraphs()
{
    while (QLayoutItem* item = m_text->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const QString& paragraph : m_paragraphs) {
        auto* label = new ThemedLabel(QString(), Fonts::system(13),
                                      [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.85); });
        label->setObjectName(QStringLiteral("paragraph"));
        label->setWordWrap(true);
        PopupFit::setWrappedText(label, paragraph, kColumnWidth);
        m_text->addWidget(label);
    }
    m_text->addStretch(1);
}

void AboutAuthorPopupView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), AppTheme::background());
    if (m_toast->isVisible()) {
        const QRectF r = QRectF(m_toast->geometry()).adjusted(0.5, 0.5, -0.5, -0.5);
        p.setBrush(AppTheme::searchBackground());
        p.setPen(QPen(AppTheme::withOpacity(AppTheme::gold(), 0.5), 1));
        p.drawRoundedRect(r, 6, 6);
    }
}
