#include "VersionBarView.h"

#include "app/MenuSelection.h"
#include "app/UpdateNotice.h"
#include "app/VersionLinkButton.h"
#include "online/FeedbackView.h"
#include "online/OnlineKeys.h"
#include "platform/UserDefaults.h"
#include "ui/AppTheme.h"
#include "ui/Fonts.h"
#include "ui/SystemColors.h"
#include "ui/ThemedLabel.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QVBoxLayout>

VersionBarView::VersionBarView(UpdateNotice* updateNotice, MenuSelection* selection,
                               const MenuItem& softwareUpdateItem, QWidget* parent)
    : QWidget(parent)
    , m_notice(updateNotice)
    , m_selection(selection)
    , m_softwareUpdateItem(softwareUpdateItem)
{
    setObjectName(QStringLiteral("versionBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 20);
    row->setSpacing(0);
    row->addStretch(1);
    m_updateButton = new VersionLinkButton(QStringLiteral("检查更新"), this);
    auto* separator = new ThemedLabel(QStringLiteral("丨"), Fonts::system(12), [] {
        return AppTheme::isDark() ? AppTheme::withOpacity(AppTheme::textGold(), 0.7) : QColor(0, 0, 0, 166);
    }, this);
    m_feedbackButton = new VersionLinkButton(QStringLiteral("发送反馈"), this);
    m_newVersionNote = new ThemedLabel(QStringLiteral("有新版本"), Fonts::system(10), &SystemColors::orange, this);
    m_newVersionNote->setContentsMargins(4, 0, 0, 0);
    row->addWidget(m_updateButton, 0, Qt::AlignVCenter);
    row->addWidget(separator, 0, Qt::AlignVCenter);
    row->addWidget(m_feedbackButton, 0, Qt::AlignVCenter);
    row->addWidget(m_newVersionNote, 0, Qt::AlignVCenter);
    row->addStretch(1);

    connect(m_updateButton, &QAbstractButton::clicked, this, &VersionBarView::openSoftwareUpdate);
    connect(m_feedbackButton, &QAbstractButton::clicked, this, &VersionBarView::openFeedback);
    connect(m_notice, &UpdateNotice::changed, this, &VersionBarView::refresh);
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this](const QString& key) {
        if (key != QLatin1String(OnlineKeys::hasNewReply.name))
            return;
        // A reply that arrives while the chat is open is read there: the
        // chat's own merge must not leave the dot for after it closes.
        if (m_feedbackSheet && UserDefaults::standard().value(OnlineKeys::hasNewReply))
            UserDefaults::standard().set(OnlineKeys::hasNewReply, false);
        else
            refresh();
    });
    refresh();
}

void VersionBarView::refresh()
{
    const bool dot = m_notice->showUpdateDot();
    m_updateButton->setShowDot(dot);
    m_newVersionNote->setVisible(dot);
    m_feedbackButton->setShowDot(UserDefaults::standard().value(OnlineKeys::hasNewReply));
}

void VersionBarView::openSoftwareUpdate()
{
    m_notice->markSeen();
    m_selection->setLastBeforeUpdate(m_selection->selected());
    m_selection->setSelected(m_softwareUpdateItem);
}

QWidget* VersionBarView::makeFeedbackView(QWidget* parent)
{
    return new FeedbackView(parent);
}

void VersionBarView::openFeedback()
{
    if (!m_feedbackSheet) {
        auto* sheet = new QDialog(window());
        sheet->setWindowTitle(QStringLiteral("发送反馈"));
        sheet->setWindowModality(Qt::WindowModal);
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        sheet->setFixedSize(520, 600);
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(makeFeedbackView(sheet));
        m_feedbackSheet = sheet;
        connect(sheet, &QObject::destroyed, this, [this] { m_feedbackSheet = nullptr; });
        sheet->open();
    }
    UserDefaults::standard().set(OnlineKeys::hasNewReply, false);
}
