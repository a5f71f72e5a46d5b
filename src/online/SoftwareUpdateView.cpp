#include "SoftwareUpdateView.h"

#include "online/SectionCard.h"
#include "online/SoftwareUpdateCards.h"
#include "online/SoftwareUpdatePrefs.h"
#include "online/TextAreaStyle.h"
#include "online/UpdateChecker.h"
#include "online/PlateLook.h"
#include "platform/AppVersion.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/SystemColors.h"
#include "ui/Symbols.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kColumnWidth = 620;
const QString kProduct = QStringLiteral("Kelvara ");

ThemedLabel::ColorFn primary(qreal opacity)
{
    return [opacity] { return AppTheme::withOpacity(AppTheme::textPrimary(), opacity); };
}

ThemedLabel* text(const QString& s, qreal size, qreal opacity, QWidget* parent, QFont::Weight w = QFont::Normal)
{
    return new ThemedLabel(s, Fonts::system(size, w), primary(opacity), parent);
}

QColor updateOrange() { return QColor::fromRgbF(0.804f, 0.357f, 0.169f); }

// A small turning arc in the text colour; its timer goes with it.
class Spinner : public QWidget
{
public:
    explicit Spinner(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(16, 16);
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 30) % 360;
            update();
        });
        timer->start(80);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(AppTheme::textPrimary(), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(rect()).adjusted(2, 2, -2, -2), -m_angle * 16, 270 * 16);
    }

private:
    int m_angle = 0;
};
}

SoftwareUpdateView::SoftwareUpdateView(UpdateChecker* updateChecker, std::function<void()> onBack, QWidget* parent)
    : ThemedPanel(&AppTheme::background, parent)
    , m_checker(updateChecker)
    , m_onBack(std::move(onBack))
{
    setObjectName(QStringLiteral("softwareUpdateView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_page = new QScrollArea(this);
    m_page->setFrameShape(QFrame::NoFrame);
    m_page->setWidgetResizable(true);
    m_page->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    styleTextArea(m_page, AppTheme::textPrimary());
    outer->addWidget(m_page);

    auto* canvas = new ThemedPanel(&AppTheme::background);
    auto* centring = new QHBoxLayout(canvas);
    centring->setContentsMargins(0, 0, 0, 0);
    auto* columnWidget = new QWidget(canvas);
    columnWidget->setMaximumWidth(kColumnWidth);
    auto* column = new QVBoxLayout(columnWidget);
    column->setContentsMargins(24, 56, 24, 24);
    column->setSpacing(16);
    centring->addStretch(0);
    centring->addWidget(columnWidget, 1);
    centring->addStretch(0);

    column->addWidget(makeHeader());
    column->addSpacing(4);
    auto* versionCard = new SectionCard(QStringLiteral("当前版本"), QStringLiteral("info.circle"), &AppTheme::gold, columnWidget);
    versionCard->body()->addWidget(makeVersionRow());
    column->addWidget(versionCard);

    m_statusCard = new SectionCard(QStringLiteral("更新状态"), QString(), {}, columnWidget);
    m_statusCard->setObjectName(QStringLiteral("statusCard"));
    column->addWidget(m_statusCard);

    m_changelogCard = new SectionCard(QStringLiteral("更新日志"), QStringLiteral("doc.text"), &AppTheme::gold, columnWidget);
    m_changelogCard->setObjectName(QStringLiteral("changelogSection"));
    auto* changelog = new ChangelogCardContent(m_changelogCard);
    m_changelogCard->body()->addWidget(changelog);
    connect(changelog, &ChangelogCardContent::expanded, this, &SoftwareUpdateView::scrollToChangelog);
    column->addWidget(m_changelogCard);

    auto* prefCard = new SectionCard(QStringLiteral("更新偏好"), QStringLiteral("gearshape"), &AppTheme::gold, columnWidget);
    prefCard->body()->addWidget(new UpdatePreferenceContent(prefCard));
    column->addWidget(prefCard);

    column->addSpacing(24 - 16);
    auto* footer = text(kProduct + AppVersion::currentVersionText(), 12, 0.4, columnWidget);
    footer->setObjectName(QStringLiteral("footer"));
    footer->setAlignment(Qt::AlignHCenter);
    column->addWidget(footer);
    column->addStretch(1);
    m_page->setWidget(canvas);

    connect(m_checker, &UpdateChecker::isCheckingChanged, this, &SoftwareUpdateView::refreshStatus);
    connect(m_checker, &UpdateChecker::updateResultChanged, this, &SoftwareUpdateView::refreshStatus);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] {
        styleTextArea(m_page, AppTheme::textPrimary());
        refreshStatus();
    });
    refreshStatus();
}

QWidget* SoftwareUpdateView::makeHeader()
{
    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    auto* icon = new ThemedLabel(Symbols::glyph(QStringLiteral("arrow.down.circle.fill")), Symbols::font(18),
                                 &AppTheme::textGold, header);
    row->addWidget(icon);
    row->addWidget(new ThemedLabel(QStringLiteral("软件更新"), Fonts::system(18, QFont::Bold), &AppTheme::textGold, header));
    row->addStretch(1);
    PlateButton::Look backLook =
        plateLook(&AppTheme::cardBackground, &AppTheme::textGold, Fonts::system(13, QFont::Medium), {14, 7, 14, 7});
    backLook.symbol = QStringLiteral("chevron.left");
    backLook.symbolSize = 11;
    auto* back = new PlateButton(QStringLiteral("返回"), backLook, header);
    back->setObjectName(QStringLiteral("backButton"));
    back->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(back, &QAbstractButton::clicked, this, [this] {
        if (m_onBack)
            m_onBack();
    });
    row->addWidget(back);
    return header;
}

QWidget* SoftwareUpdateView::makeVersionRow()
{
    auto* w = new QWidget;
    auto* row = new QHBoxLayout(w);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->addWidget(text(kProduct + AppVersion::currentVersionText(), 13, 0.9, w));
    row->addStretch(1);
    // Dimmed while a check runs or none can run.
    m_checkButton = new PlateButton(
        QStringLiteral("检查更新"),
        plateLook([this] { return AppTheme::withOpacity(AppTheme::gold(), m_checkButton->isEnabled() ? 1.0 : 0.55); },
                  [this] { return AppTheme::withOpacity(AppTheme::background(), m_checkButton->isEnabled() ? 1.0 : 0.5); },
                  Fonts::system(13, QFont::Medium)),
        w);
    m_checkButton->setObjectName(QStringLiteral("checkButton"));
    m_checkButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_checkButton, &QAbstractButton::clicked, m_checker, &UpdateChecker::checkForUpdate);
    row->addWidget(m_checkButton);
    return w;
}

SoftwareUpdateView::Status SoftwareUpdateView::status() const
{
    if (!UpdateChecker::isActive())
        return Status::inactive;
    if (m_checker->isChecking())
        return Status::checking;
    const auto& result = m_checker->updateResult();
    if (!result)
        return Status::noResult;
    switch (result->kind) {
    case UpdateResult::Kind::hasUpdate:
        return Status::update;
    case UpdateResult::Kind::failed:
        return Status::failed;
    case UpdateResult::Kind::isLatest:
        return Status::latest;
    }
    return Status::latest;
}

void SoftwareUpdateView::refreshCheckButton()
{
    m_checkButton->setText(m_checker->isChecking() ? QStringLiteral("检查中…") : QStringLiteral("检查更新"));
    m_checkButton->setEnabled(!m_checker->isChecking() && UpdateChecker::isActive());
    m_checkButton->updateGeometry();
    m_checkButton->update();
}

// The card is drawn afresh from the checker's state at every change.
void SoftwareUpdateView::refreshStatus()
{
    refreshCheckButton();
    delete m_statusContent;
    m_statusContent = new QWidget(m_statusCard);
    m_statusContent->setObjectName(QStringLiteral("statusContent"));
    auto* column = new QVBoxLayout(m_statusContent);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto twoLines = [&](const QString& first, const QString& second) {
        auto* a = text(first, 13, 0.85, m_statusContent);
        a->setObjectName(QStringLiteral("statusTitle"));
        auto* b = text(second, 10, 0.4, m_statusContent);
        b->setObjectName(QStringLiteral("statusDetail"));
        column->addWidget(a);
        column->addWidget(b);
    };
    const QString done = QStringLiteral("checkmark.circle.fill");
    switch (status()) {
    case Status::inactive:
        m_statusCard->setIcon(QStringLiteral("info.circle"), &SystemColors::gray);
        twoLines(QStringLiteral("未配置更新服务器"), QStringLiteral("此版本无法在线检查更新"));
        break;
    case Status::checking: {
        m_statusCard->setIcon(QStringLiteral("arrow.triangle.2.circlepath"), &AppTheme::gold);
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 4, 0, 4);
        row->setSpacing(10);
        row->addWidget(new Spinner(m_statusContent));
        auto* label = text(QStringLiteral("正在检查更新…"), 13, 0.85, m_statusContent);
        label->setObjectName(QStringLiteral("statusTitle"));
        row->addWidget(label);
        row->addStretch(1);
        column->addLayout(row);
        break;
    }
    case Status::update: {
        const UpdateResult& r = *m_checker->updateResult();
        m_statusCard->setIcon(QStringLiteral("arrow.down.circle.fill"), &updateOrange);
        column->setSpacing(12);
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        auto* title = new ThemedLabel(QStringLiteral("发现新版本 V") + r.version, Fonts::system(14, QFont::DemiBold),
                                      &AppTheme::textGold, m_statusContent);
        title->setObjectName(QStringLiteral("statusTitle"));
        row->addWidget(title, 1);
        auto* download = new PlateButton(QStringLiteral("去下载"),
                                         plateLook(&AppTheme::gold, &AppTheme::background, Fonts::system(13, QFont::Medium)),
                                         m_statusContent);
        download->setObjectName(QStringLiteral("downloadButton"));
        download->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        connect(download, &QAbstractButton::clicked, m_checker, [checker = m_checker, url = r.url] {
            checker->openDownloadUrl(url);
        });
        row->addWidget(download);
        column->addLayout(row);
        auto* box = new ThemedPanel(&AppTheme::searchBackground, m_statusContent);
        box->setCornerRadius(8);
        box->setFixedHeight(130);
        auto* boxLayout = new QVBoxLayout(box);
        boxLayout->setContentsMargins(0, 0, 0, 0);
        auto* log = new QPlainTextEdit(box);
        log->setObjectName(QStringLiteral("logBox"));
        log->setReadOnly(true);
        log->setFont(Fonts::system(12));
        log->document()->setDocumentMargin(10);
        styleTextArea(log, AppTheme::withOpacity(AppTheme::textPrimary(), 0.7));
        log->setPlainText(r.log);
        boxLayout->addWidget(log);
        column->addWidget(box);
        break;
    }
    case Status::failed:
        m_statusCard->setIcon(QStringLiteral("exclamationmark.triangle.fill"), &SystemColors::orange);
        twoLines(QStringLiteral("检查更新失败，请稍后再试"), QStringLiteral("网络连接异常或版本文件无法读取"));
        break;
    case Status::noResult:
    case Status::latest:
        m_statusCard->setIcon(done, &SystemColors::green);
        twoLines(kProduct + QStringLiteral("已是最新版本"),
                 QStringLiteral("上次检查：") + SoftwareUpdatePrefs::lastCheckText());
        break;
    }
    m_statusCard->body()->addWidget(m_statusContent);
}

// Waits for the expanded card to be laid out, then brings its top to the
// top of the page (as far as the page can scroll).
void SoftwareUpdateView::scrollToChangelog()
{
    QTimer::singleShot(0, this, [this] {
        if (QWidget* canvas = m_page->widget()) {
            canvas->layout()->activate();
            m_page->verticalScrollBar()->setValue(m_changelogCard->mapTo(canvas, QPoint(0, 0)).y());
        }
    });
}
