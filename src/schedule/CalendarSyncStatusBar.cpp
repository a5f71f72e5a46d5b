#include "CalendarSyncStatusBar.h"

#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QBoxLayout>
#include <QPainter>

namespace {

constexpr int outerMargin = 24;

QColor burnt()
{
    return QColor(0xCD, 0x5B, 0x2B);
}

}

CalendarSyncStatusBar::State CalendarSyncStatusBar::stateFor(bool syncEnabled, bool isAuthorized, bool hasFullAccess)
{
    if (!syncEnabled)
        return State::hidden;
    if (hasFullAccess)
        return State::synced;
    return isAuthorized ? State::writeOnly : State::notEnabled;
}

CalendarSyncStatusBar::CalendarSyncStatusBar(Source source, QWidget* parent)
    : QWidget(parent)
    , m_source(std::move(source))
{
    setObjectName(QStringLiteral("calendarSyncStatusBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(outerMargin + 16, 10, outerMargin + 16, 10);
    row->setSpacing(8);
    m_icon = new ThemedLabel(QString(), Symbols::font(14), {}, this);
    m_message = new ThemedLabel(QString(), Fonts::system(12), {}, this);
    m_message->setObjectName(QStringLiteral("syncStatusMessage"));
    m_settings = new PlateButton(QStringLiteral("去系统设置"),
                                 {burnt, AppTheme::textPrimary, {}, Fonts::system(12, QFont::Medium), {12, 6, 12, 6}, 6, {}, 12, 4},
                                 this);
    m_settings->setObjectName(QStringLiteral("openSystemSettingsButton"));
    const auto dark = [] { return ThemeObserver::shared().style() == AppThemeStyle::dark; };
    m_enable = new PlateButton(QStringLiteral("开启日历同步"),
                               {[dark] { return dark() ? burnt() : AppTheme::gold(); },
                                [dark] { return dark() ? AppTheme::textPrimary() : QColor(Qt::white); }, {},
                                Fonts::system(12, QFont::Medium), {12, 6, 12, 6}, 6, {}, 12, 4},
                               this);
    m_enable->setObjectName(QStringLiteral("enableSyncButton"));
    row->addWidget(m_icon);
    row->addWidget(m_message);
    row->addStretch(1);
    row->addWidget(m_settings);
    row->addWidget(m_enable);
    connect(m_settings, &QAbstractButton::clicked, this, &CalendarSyncStatusBar::openSystemSettingsClicked);
    connect(m_enable, &QAbstractButton::clicked, this, &CalendarSyncStatusBar::enableSyncClicked);
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, [this] { update(); });
    refresh();
}

void CalendarSyncStatusBar::setSource(Source source)
{
    m_source = std::move(source);
    refresh();
}

QString CalendarSyncStatusBar::messageFor(State state, bool reachesPhone, bool onlineAccounts)
{
    switch (state) {
    case State::hidden:
        return {};
    case State::synced:
        if (reachesPhone)
            return QStringLiteral("日历双向同步已开启，手机日历App登记档期自动同步");
        // Without the calendar service no online account can be added here.
        return onlineAccounts ? QStringLiteral("日历双向同步已开启，档期存在本机日历；在系统设置中添加在线日历账户即可同步到手机")
                              : QStringLiteral("日历双向同步已开启，档期只保存在这台电脑上，不会同步到手机");
    case State::writeOnly:
        return reachesPhone ? QStringLiteral("当前仅支持写入手机日历，无法读取日历档期，需开启完全访问权限")
                            : QStringLiteral("当前仅支持写入系统日历，无法读取日历档期，需开启完全访问权限");
    case State::notEnabled:
        return reachesPhone ? QStringLiteral("未开启手机日历同步，无法读取日历中的档期")
                            : QStringLiteral("未开启系统日历同步，无法读取日历中的档期");
    case State::pending:
        return {};
    }
    return {};
}

QString CalendarSyncStatusBar::pendingMessage(int pendingWork, const QString& lastFailure, const QString& storeNotice,
                                              const QString& serverProblem, const QString& serviceProblem,
                                              int restoreWork)
{
    const QString waiting = pendingWork > 0 ? QStringLiteral("，%1 项改动等待同步").arg(pendingWork) : QString();
    if (!serviceProblem.isEmpty())
        return serviceProblem + waiting + QStringLiteral("，服务恢复响应后自动同步");
    if (!serverProblem.isEmpty()) {
        return QStringLiteral("日历服务器无法连接") + waiting + QStringLiteral("（") + serverProblem
            + QStringLiteral("），服务器恢复后自动同步");
    }
    if (restoreWork > 0)
        return QStringLiteral("正在按恢复的备份更新日历，%1 个事件待对齐").arg(restoreWork);
    if (pendingWork <= 0)
        return storeNotice;
    QString text = QStringLiteral("有 %1 个档期尚未同步到日历").arg(pendingWork);
    if (!lastFailure.isEmpty())
        text += QStringLiteral("（") + lastFailure + QStringLiteral("）");
    return text + QStringLiteral("，日历恢复后自动重试");
}

void CalendarSyncStatusBar::refresh()
{
    const auto ask = [](const std::function<bool()>& f) { return f && f(); };
    m_state = stateFor(ask(m_source.syncEnabled), ask(m_source.isAuthorized), ask(m_source.hasFullAccess));
    const QString warning = m_state == State::synced
        ? pendingMessage(m_source.pendingWork ? m_source.pendingWork() : 0,
                         m_source.lastFailure ? m_source.lastFailure() : QString(),
                         m_source.storeNotice ? m_source.storeNotice() : QString(),
                         m_source.serverProblem ? m_source.serverProblem() : QString(),
                         m_source.serviceProblem ? m_source.serviceProblem() : QString(),
                         m_source.restoreWork ? m_source.restoreWork() : 0)
        : QString();
    if (!warning.isEmpty())
        m_state = State::pending;
    setVisible(m_state != State::hidden);
    struct Look { const char* symbol; std::function<QColor()> color; qreal opacity; };
    const Look looks[] = {
        {"", {}, 0},
        {"checkmark.circle.fill", SystemColors::green, 0.7},
        {"exclamationmark.triangle.fill", SystemColors::yellow, 0.8},
        {"calendar.badge.plus", AppTheme::gold, 0.8},
        {"exclamationmark.triangle.fill", SystemColors::yellow, 0.8},
    };
    const Look& look = looks[int(m_state)];
    m_icon->setText(Symbols::glyph(QString::fromLatin1(look.symbol)));
    m_icon->setColorFunction(look.color);
    m_message->setText(m_state == State::pending
                           ? warning
                           : messageFor(m_state, ask(m_source.reachesPhone),
                                        !m_source.onlineAccounts || m_source.onlineAccounts()));
    const qreal opacity = look.opacity;
    m_message->setColorFunction([opacity] { return AppTheme::withOpacity(AppTheme::textPrimary(), opacity); });
    m_settings->setVisible(m_state == State::writeOnly);
    m_enable->setVisible(m_state == State::notEnabled);
}

void CalendarSyncStatusBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(AppTheme::cardBackground());
    p.drawRoundedRect(rect().adjusted(outerMargin, 0, -outerMargin, 0), 8, 8);
}
