#include "FeedbackView.h"

#include "online/FeedbackChatModel.h"
#include "online/FeedbackManager.h"
#include "online/FeedbackMessageRow.h"
#include "online/PlateLook.h"
#include "platform/UserDefaults.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/LightScrollBar.h"
#include "ui/ThemeObserver.h"
#include "ui/TextBoxColors.h"
#include "ui/ThemedLabel.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kSide = 32;

QColor accent() { return QColor::fromRgbF(0.804f, 0.357f, 0.169f); }
QColor darkSurface() { return QColor::fromRgbF(0.15f, 0.15f, 0.15f); }
QColor faded(qreal opacity) { return AppTheme::withOpacity(AppTheme::textPrimary(), opacity); }

// Draws a shape behind its children with colours read at every paint.
class Painted : public QWidget
{
public:
    using Paint = std::function<void(QPainter&, const QRect&)>;
    Painted(Paint paint, QWidget* parent)
        : QWidget(parent)
        , m_paint(std::move(paint))
    {
        connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        m_paint(p, rect());
    }

private:
    Paint m_paint;
};

void fillRounded(QPainter& p, const QRectF& r, qreal radius, const QColor& color)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    p.fillPath(path, color);
}
}

FeedbackView::FeedbackView(QWidget* parent)
    : QWidget(parent)
    , m_model(new FeedbackChatModel(FeedbackManager::shared(), UserDefaults::standard(),
                                    &QDateTime::currentDateTime, this))
{
    setObjectName(QStringLiteral("feedbackView"));
    setFixedSize(520, 600);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(kSide, 28, kSide, 0);
    header->addWidget(new ThemedLabel(QStringLiteral("发送反馈"), Fonts::system(18, QFont::Bold), &AppTheme::textGold, this));
    header->addStretch(1);
    auto* back = new PlateButton(QStringLiteral("返回"), plateLook(nullptr, &AppTheme::textGold, Fonts::system(13), {}), this);
    back->setObjectName(QStringLiteral("backButton"));
    connect(back, &QAbstractButton::clicked, this, [this] {
        FeedbackManager::shared().markReplyAsRead();
        window()->close();
    });
    header->addWidget(back);
    column->addLayout(header);

    auto* subtitle = new ThemedLabel(QStringLiteral("每条反馈我都会跟进，感谢你的建议"), Fonts::system(10),
                                     [] { return faded(0.6); }, this);
    subtitle->setContentsMargins(kSide, 4, kSide, 0);
    column->addWidget(subtitle);
    column->addSpacing(16);
    auto* divider = new Painted([](QPainter& p, const QRect& r) { p.fillRect(r, QColor(255, 255, 255, 26)); }, this);
    divider->setFixedHeight(1);
    column->addWidget(divider);

    m_list = new QScrollArea(this);
    m_list->setObjectName(QStringLiteral("messageList"));
    m_list->setWidgetResizable(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    LightScrollBar::style(m_list);
    auto* canvas = new QWidget;
    canvas->setObjectName(QStringLiteral("bottom"));
    m_rows = new QVBoxLayout(canvas);
    m_rows->setContentsMargins(kSide, 20, kSide, 20);
    m_rows->setSpacing(16);
    m_rows->addStretch(1);
    m_list->setWidget(canvas);
    m_list->viewport()->installEventFilter(this);
    m_unpin = new QTimer(this);
    m_unpin->setSingleShot(true);
    m_unpin->setInterval(150);
    connect(m_list->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int max) {
        if (m_unpin->isActive())
            m_list->verticalScrollBar()->setValue(max);
    });
    column->addWidget(m_list, 1);
    column->addWidget(makeInput());

    connect(m_model, &FeedbackChatModel::messagesReset, this, &FeedbackView::rebuildRows);
    connect(m_model, &FeedbackChatModel::messageAdded, this, [this](int index) {
        m_rows->insertWidget(index, makeRow(index));
        scrollToEnd();
    });
    connect(m_model, &FeedbackChatModel::messageRemoved, this, [this](int index) {
        if (QLayoutItem* item = m_rows->takeAt(index)) {
            delete item->widget();
            delete item;
        }
        scrollToEnd();
    });
    connect(m_model, &FeedbackChatModel::sendingChanged, this, &FeedbackView::refreshInput);
    connect(m_model, &FeedbackChatModel::progressChanged, this, &FeedbackView::refreshInput);
    connect(m_model, &FeedbackChatModel::scrollToEndRequested, this, &FeedbackView::scrollToEnd);
    connect(m_model, &FeedbackChatModel::saveFailed, this, [this](const QString& cause) {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("聊天记录未保存"),
                                    QStringLiteral("聊天记录未保存：") + cause, QMessageBox::Ok, this);
        box->setTextFormat(Qt::PlainText);
        box->setWindowModality(Qt::WindowModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
    rebuildRows();
    m_model->start();
    refreshInput();
}

QWidget* FeedbackView::makeInput()
{
    auto* area = new QWidget(this);
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(kSide, 0, kSide, 24);
    column->setSpacing(8);

    m_progressBlock = new QWidget(area);
    auto* block = new QVBoxLayout(m_progressBlock);
    block->setContentsMargins(0, 0, 0, 0);
    block->setSpacing(4);
    m_progressBar = new Painted([this](QPainter& p, const QRect& r) {
        const QColor tint = AppTheme::isDark() ? accent() : AppTheme::gold();
        fillRounded(p, r, r.height() / 2.0, AppTheme::withOpacity(tint, 0.2));
        const qreal w = r.width() * std::clamp(m_model->sendProgress(), 0.0, 1.0);
        if (w > 0)
            fillRounded(p, QRectF(r.left(), r.top(), w, r.height()), r.height() / 2.0, tint);
    }, m_progressBlock);
    m_progressBar->setObjectName(QStringLiteral("sendProgressBar"));
    m_progressBar->setFixedSize(300, 4);
    block->addWidget(m_progressBar, 0, Qt::AlignHCenter);
    m_progressLabel = new ThemedLabel(progressText(0), Fonts::system(10), [] { return faded(0.6); }, m_progressBlock);
    m_progressLabel->setObjectName(QStringLiteral("sendProgressLabel"));
    block->addWidget(m_progressLabel, 0, Qt::AlignHCenter);
    column->addWidget(m_progressBlock, 0, Qt::AlignHCenter);

    m_inactive = new ThemedLabel(QStringLiteral("反馈服务未配置，暂时无法发送"), Fonts::system(10),
                                 [] { return faded(0.6); }, area);
    m_inactive->setObjectName(QStringLiteral("feedbackInactiveNote"));
    column->addWidget(m_inactive, 0, Qt::AlignHCenter);

    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    auto* box = new Painted([](QPainter& p, const QRect& r) {
        fillRounded(p, QRectF(r), 8, AppTheme::isDark() ? darkSurface() : QColor(Qt::white));
    }, area);
    auto* stack = new QGridLayout(box);
    stack->setContentsMargins(14, 10, 14, 10);
    m_input = new QPlainTextEdit(box);
    m_input->setObjectName(QStringLiteral("feedbackInput"));
    m_input->setFont(Fonts::system(13));
    m_input->setFrameShape(QFrame::NoFrame);
    m_input->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_input->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_input->document()->setDocumentMargin(0);
    QPalette palette = m_input->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    m_input->setPalette(palette);
    // Typed in the theme's orange: the fixed one reads at under 4.5:1 on
    // the input plate of either theme.
    paintTextBox(m_input, &AppTheme::accentOrange, [] { return faded(0.5); });
    m_input->viewport()->setAutoFillBackground(false);
    m_input->installEventFilter(this);
    stack->addWidget(m_input, 0, 0);
    m_placeholder = new ThemedLabel(QStringLiteral("写反馈"), Fonts::system(13), [] { return faded(0.5); }, box);
    m_placeholder->setObjectName(QStringLiteral("inputPlaceholder"));
    m_placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_placeholder->setProperty("layoutOverlay", true);
    stack->addWidget(m_placeholder, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    row->addWidget(box, 1);

    // A disabled button shows as a paler plate.
    m_send = new PlateButton(
        QStringLiteral("发送"),
        plateLook([this] { return AppTheme::withOpacity(AppTheme::gold(), m_send->isEnabled() ? 1.0 : 0.4); },
                  &AppTheme::onGoldText, Fonts::system(13, QFont::Medium), {20, 10, 20, 10}),
        area);
    m_send->setObjectName(QStringLiteral("sendButton"));
    row->addWidget(m_send, 0, Qt::AlignBottom);
    column->addLayout(row);

    connect(m_input, &QPlainTextEdit::textChanged, this, &FeedbackView::refreshInput);
    connect(m_send, &QAbstractButton::clicked, this, [this] {
        if (m_model->sendMessage(m_input->toPlainText()))
            m_input->clear();
    });
    return area;
}

QString FeedbackView::progressText(double progress)
{
    if (progress >= 1.0)
        return QStringLiteral("发送完成！");
    return QStringLiteral("正在上传... ") + QString::number(int(progress * 100)) + QLatin1Char('%');
}

FeedbackMessageRow* FeedbackView::makeRow(int index)
{
    auto* row = new FeedbackMessageRow(m_model->messages().at(index), m_rows->parentWidget());
    row->setAvailableWidth(rowWidth());
    connect(row, &FeedbackMessageRow::withdrawRequested, m_model, &FeedbackChatModel::withdraw);
    return row;
}

void FeedbackView::rebuildRows()
{
    while (m_rows->count() > 1) {
        QLayoutItem* item = m_rows->takeAt(0);
        delete item->widget();
        delete item;
    }
    for (int i = 0; i < m_model->messages().size(); ++i)
        m_rows->insertWidget(i, makeRow(i));
    scrollToEnd();
}

int FeedbackView::rowWidth() const { return m_list->viewport()->width() - 2 * kSide; }

void FeedbackView::refreshInput()
{
    const bool sending = m_model->isSending();
    const bool canSend = m_model->canSend();
    m_progressBlock->setVisible(sending && canSend);
    m_inactive->setVisible(!canSend);
    m_progressLabel->setText(progressText(m_model->sendProgress()));
    m_progressBar->update();
    m_send->setText(sending ? QStringLiteral("发送中…") : QStringLiteral("发送"));
    m_send->setEnabled(canSend && !sending && !FeedbackChatModel::trimmedInput(m_input->toPlainText()).isEmpty());
    m_send->updateGeometry();
    m_placeholder->setVisible(m_input->toPlainText().isEmpty() && !m_input->hasFocus());
    // The field grows with its text up to five lines, then scrolls.
    const QFontMetrics fm(m_input->font());
    const int lines = std::clamp(int(m_input->document()->size().height()), 1, 5);
    m_input->setFixedHeight(lines * fm.lineSpacing() + 2 * m_input->frameWidth() + 4);
}

void FeedbackView::scrollToEnd()
{
    // The new row reaches the scroll range a few layout passes later: the
    // end stays pinned until they have run.
    m_list->verticalScrollBar()->setValue(m_list->verticalScrollBar()->maximum());
    m_unpin->start();
}

bool FeedbackView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_input && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        refreshInput();
    if (watched == m_list->viewport() && event->type() == QEvent::Resize)
        for (FeedbackMessageRow* row : m_rows->parentWidget()->findChildren<FeedbackMessageRow*>(Qt::FindDirectChildrenOnly))
            row->setAvailableWidth(rowWidth());
    return QWidget::eventFilter(watched, event);
}

void FeedbackView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), AppTheme::background());
}
