#include "FtpTransferView.h"

#include "ftp/FtpAccess.h"
#include "ftp/FtpBigButton.h"
#include "ftp/FtpKeys.h"
#include "ftp/FtpServer.h"
#include "ftp/FtpServerController.h"
#include "platform/UserDefaults.h"
#include "ui/AppTheme.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/GoldButtonStyle.h"
#include "ui/RoundedPanel.h"
#include "ui/LightScrollBar.h"
#include "ui/Symbols.h"
#include "ui/SystemColors.h"
#include "ui/TextBoxColors.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const QColor kAccent = QColor::fromRgbF(0.804f, 0.357f, 0.169f);

QString stored(const char* key, const QString& whenAbsent)
{
    return UserDefaults::standard().string(QString::fromLatin1(key)).value_or(whenAbsent);
}

QColor primary(qreal opacity) { return AppTheme::withOpacity(AppTheme::textPrimary(), opacity); }

QWidget* sectionHeader(const QString& icon, const QString& title, QWidget* parent, const QString& caption = {})
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(new ThemedLabel(Symbols::glyph(icon), Symbols::font(13), [] { return kAccent; }, row));
    layout->addWidget(new ThemedLabel(title, Fonts::system(15, QFont::DemiBold), [] { return kAccent; }, row));
    if (!caption.isEmpty())
        layout->addWidget(new ThemedLabel(caption, Fonts::system(12), [] { return primary(0.45); }, row));
    layout->addStretch(1);
    return row;
}

// A plain field on a rounded search-coloured plate that writes its key at every change.
QLineEdit* preferenceField(const char* key, const QString& whenAbsent, const QString& placeholder, int width,
                           QWidget* parent)
{
    auto* field = new QLineEdit(stored(key, whenAbsent), parent);
    field->setObjectName(QString::fromLatin1(key) + QStringLiteral("Field"));
    field->setPlaceholderText(placeholder);
    field->setFont(Fonts::system(13));
    field->setFixedWidth(width);
    auto restyle = [field] {
        field->setStyleSheet(QStringLiteral("QLineEdit { background: %1; border: none; border-radius: 8px;"
                                            " padding: 7px 10px; } QLineEdit:disabled { color: %2; }")
                                 .arg(AppTheme::searchBackground().name(QColor::HexArgb), primary(0.45).name(QColor::HexArgb)));
    };
    restyle();
    QObject::connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, field, restyle);
    // Typed text and hint through the palette: a style sheet colour would
    // draw the hint in the text colour at half strength.
    paintTextBox(field, &AppTheme::textPrimary, [] { return primary(0.4); });
    QObject::connect(field, &QLineEdit::textEdited, field,
                     [key](const QString& text) { UserDefaults::standard().set(QString::fromLatin1(key), text); });
    // Writes made elsewhere (a restored backup) show at once.
    QObject::connect(&UserDefaults::standard(), &UserDefaults::changed, field, [field, key, whenAbsent](const QString& k) {
        const QString value = stored(key, whenAbsent);
        if (k == QLatin1String(key) && field->text() != value)
            field->setText(value);
    });
    return field;
}

QVBoxLayout* column(QWidget* w, int spacing)
{
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}
}

FtpTransferView::FtpTransferView(FtpServerController* controller, QWidget* parent)
    : ThemedPanel(&AppTheme::background, parent)
    , m_controller(controller)
{
    setObjectName(QStringLiteral("ftpTransferView"));
    m_chooser = [](QWidget* owner, std::function<void(QString)> done) {
        auto* dialog = new QFileDialog(owner, QStringLiteral("选择FTP服务器根目录（相机会看到这个文件夹里的内容）"),
                                       stored(FtpKeys::rootPath.name, QString()));
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        dialog->setLabelText(QFileDialog::Accept, QStringLiteral("选择"));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, done](int result) {
            done(result == QDialog::Accepted && !dialog->selectedFiles().isEmpty() ? dialog->selectedFiles().first()
                                                                                  : QString());
        });
        dialog->open();
    };

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = LightScrollBar::makeVerticalScrollArea(this);
    outer->addWidget(m_scroll);
    auto* page = new QWidget;
    QVBoxLayout* layout = column(page, 18);
    layout->setContentsMargins(0, 24, 0, 24);

    auto* title = new ThemedLabel(QStringLiteral("FTP 传输"), Fonts::system(22, QFont::Bold), [] { return kAccent; }, page);
    auto* hint = new ThemedLabel(QStringLiteral("下滑底部查看使用教程"), Fonts::system(13), [] { return primary(0.6); }, page);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addSpacing(5 - 18);
    layout->addWidget(hint, 0, Qt::AlignHCenter);
    layout->addWidget(makeSettingsCard(), 0, Qt::AlignHCenter);

    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(8);
    m_dot = new QWidget(page);
    m_dot->setFixedSize(10, 10);
    m_status = new ThemedLabel(QString(), Fonts::system(13, QFont::Medium), [] { return primary(0.9); }, page);
    m_status->setObjectName(QStringLiteral("ftpStatus"));
    statusRow->addStretch(1);
    statusRow->addWidget(m_dot);
    statusRow->addWidget(m_status);
    statusRow->addStretch(1);
    layout->addLayout(statusRow);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(14);
    m_start = new FtpBigButton(QStringLiteral("启动服务器"), &AppTheme::menuSelectedBackground, page);
    m_start->setObjectName(QStringLiteral("ftpStartButton"));
    // White on white would hide the label in the light theme: there the stop
    // button takes the dark text colour as its fill.
    m_stop = new FtpBigButton(QStringLiteral("停止服务器"),
                              [] { return AppTheme::isDark() ? QColor(255, 255, 255, 217) : primary(0.85); }, page);
    m_stop->setObjectName(QStringLiteral("ftpStopButton"));
    connect(m_start, &QAbstractButton::clicked, this, [this] {
        m_controller->startServer();
        revealNotice();
    });
    connect(m_controller, &FtpServerController::startFinished, this, &FtpTransferView::revealNotice);
    connect(m_stop, &QAbstractButton::clicked, m_controller, &FtpServerController::stopServer);
    buttons->addStretch(1);
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    m_notice = new ThemedLabel(QString(), Fonts::system(12.5), [] { return AppTheme::withOpacity(AppTheme::textGold(), 0.9); },
                               page);
    m_notice->setObjectName(QStringLiteral("ftpNotice"));
    m_notice->setAlignment(Qt::AlignHCenter);
    m_notice->setWordWrap(true);
    m_notice->setContentsMargins(30, 0, 30, 0);
    layout->addWidget(m_notice);
    auto* guideRow = new QHBoxLayout;
    guideRow->setContentsMargins(16, 0, 16, 0);
    guideRow->addWidget(makeGuideCard());
    layout->addLayout(guideRow);
    layout->addStretch(1);

    m_scroll->setWidget(page);
    page->setAutoFillBackground(false);

    connect(m_controller, &FtpServerController::stateChanged, this, &FtpTransferView::refresh);
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(FtpKeys::rootPath.name))
            refresh();
    });
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, this, &FtpTransferView::refresh);
    refresh();
}

QWidget* FtpTransferView::makeSettingsCard()
{
    auto* card = new RoundedPanel(&AppTheme::cardBackground, 12, this);
    card->setObjectName(QStringLiteral("ftpSettingsCard"));
    card->setFixedWidth(560);
    QVBoxLayout* layout = column(card, 16);
    layout->setContentsMargins(18, 18, 18, 18);

    auto* root = new QWidget(card);
    QVBoxLayout* rootColumn = column(root, 7);
    rootColumn->addWidget(sectionHeader(QStringLiteral("folder"), QStringLiteral("FTP根目录"), root,
                                        QStringLiteral("（照片存放的位置）")));
    auto* rootRow = new QHBoxLayout;
    rootRow->setSpacing(10);
    m_rootButton = new QPushButton(QStringLiteral("选择根目录"), root);
    m_rootButton->setObjectName(QStringLiteral("ftpRootButton"));
    GoldButtonStyle::apply(m_rootButton);
    connect(m_rootButton, &QPushButton::clicked, this, &FtpTransferView::chooseRootFolder);
    m_rootPath = new ElidedLabel(Fonts::system(12), [] {
        if (stored(FtpKeys::rootPath.name, QString()).isEmpty())
            return AppTheme::isDark() ? QColor(255, 255, 255, 89) : primary(0.35);
        return AppTheme::withOpacity(AppTheme::textGold(), 0.9);
    }, root);
    m_rootPath->setObjectName(QStringLiteral("ftpRootPath"));
    rootRow->addWidget(m_rootButton);
    rootRow->addWidget(m_rootPath, 1);
    rootColumn->addLayout(rootRow);
    layout->addWidget(root);

    auto* port = new QWidget(card);
    QVBoxLayout* portColumn = column(port, 7);
    portColumn->addWidget(sectionHeader(QStringLiteral("network"), QStringLiteral("端口"), port));
    m_port = preferenceField(FtpKeys::port.name, QStringLiteral("2121"), QStringLiteral("2121"), 95, port);
    portColumn->addWidget(m_port);
    layout->addWidget(port);
    m_locked << m_port;

    auto* address = new QWidget(card);
    QVBoxLayout* addressColumn = column(address, 7);
    addressColumn->addWidget(sectionHeader(QStringLiteral("wifi"), QStringLiteral("本机IP"), address));
    // The plate is a widget of its own: the label's style sheet is rewritten
    // at every theme switch and would take a padding or background with it.
    auto* plate = new RoundedPanel([] { return QColor(255, 255, 255, 20); }, 6, address);
    plate->setObjectName(QStringLiteral("ftpLocalIPPlate"));
    plate->setMaximumWidth(160);
    auto* plateLayout = new QHBoxLayout(plate);
    plateLayout->setContentsMargins(10, 7, 10, 7);
    m_localIP = new ThemedLabel(QString(), Fonts::system(13), &AppTheme::textPrimary, plate);
    m_localIP->setObjectName(QStringLiteral("ftpLocalIP"));
    plateLayout->addWidget(m_localIP);
    addressColumn->addWidget(plate, 0, Qt::AlignLeft);
    layout->addWidget(address);

    auto* accounts = new QHBoxLayout;
    accounts->setSpacing(14);
    accounts->addWidget(makeAccountBlock(QStringLiteral("person.crop.circle"), QStringLiteral("用户名"), FtpKeys::username.name,
                                         QStringLiteral("自定义FTP账号")));
    accounts->addWidget(makeAccountBlock(QStringLiteral("lock"), QStringLiteral("密码"), FtpKeys::password.name,
                                         QStringLiteral("登录密码")));
    accounts->addStretch(1);
    layout->addLayout(accounts);

    auto* permissions = new QHBoxLayout;
    permissions->setSpacing(14);
    permissions->addWidget(makePermissionBlock(QStringLiteral("用户访问权限"), FtpKeys::userPerm.name, FtpKeys::userPerm.defaultValue));
    permissions->addWidget(makePermissionBlock(QStringLiteral("匿名访问权限"), FtpKeys::anonPerm.name, FtpKeys::anonPerm.defaultValue));
    permissions->addStretch(1);
    layout->addLayout(permissions);
    return card;
}

QWidget* FtpTransferView::makeAccountBlock(const QString& icon, const QString& title, const char* key,
                                           const QString& placeholder)
{
    auto* block = new QWidget(this);
    QVBoxLayout* layout = column(block, 7);
    layout->addWidget(sectionHeader(icon, title, block));
    QLineEdit* field = preferenceField(key, FtpKeys::username.defaultValue, placeholder, 105, block);
    layout->addWidget(field);
    auto* hint = new ThemedLabel(QStringLiteral("新手不要修改"), Fonts::system(10.5), [] { return primary(0.4); }, block);
    hint->setContentsMargins(10, 0, 0, 0);
    layout->addWidget(hint);
    m_locked << field;
    return block;
}

QString FtpTransferView::permissionLabel(const QString& stored)
{
    return stored == FtpAccess::kPermReadWrite ? QStringLiteral("读与写") : stored;
}

QWidget* FtpTransferView::makePermissionBlock(const QString& title, const char* key, const QString& whenAbsent)
{
    auto* block = new QWidget(this);
    QVBoxLayout* layout = column(block, 7);
    layout->addWidget(new ThemedLabel(title, Fonts::system(13, QFont::DemiBold), [] { return primary(0.9); }, block));
    auto* chooser = new QToolButton(block);
    chooser->setObjectName(QString::fromLatin1(key) + QStringLiteral("Menu"));
    chooser->setPopupMode(QToolButton::InstantPopup);
    chooser->setToolButtonStyle(Qt::ToolButtonTextOnly);
    chooser->setAutoRaise(true);
    chooser->setFont(Fonts::system(13));
    chooser->setMinimumWidth(80);
    auto* menu = new QMenu(chooser);
    // Styled when opened, so it follows a theme switched meanwhile.
    connect(menu, &QMenu::aboutToShow, menu, [menu] { menu->setStyleSheet(AppTheme::menuStyleSheet()); });
    const QList<std::pair<QString, QString>> items{{QStringLiteral("禁用"), FtpAccess::kPermDisabled},
                                                   {QStringLiteral("只读"), FtpAccess::kPermReadOnly},
                                                   {QStringLiteral("读与写"), FtpAccess::kPermReadWrite}};
    for (const auto& [shown, word] : items) {
        QAction* action = menu->addAction(shown);
        connect(action, &QAction::triggered, chooser,
                [key, word] { UserDefaults::standard().set(QString::fromLatin1(key), word); });
    }
    chooser->setMenu(menu);
    auto show = [chooser, key, whenAbsent] {
        const QString chevron = Symbols::glyph(QStringLiteral("chevron.up.chevron.down"));
        // '&' in a stored word must not turn into a mnemonic.
        chooser->setText(QString(permissionLabel(stored(key, whenAbsent))).replace(u'&', QStringLiteral("&&")) + "  "
                         + chevron);
        // Locked while the server runs, and looking it, like the fields.
        chooser->setStyleSheet(QStringLiteral("QToolButton { color: %1; border: none; text-align: left; }"
                                              " QToolButton:disabled { color: %2; }"
                                              " QToolButton::menu-indicator { image: none; }")
                                   .arg(primary(0.9).name(QColor::HexArgb), primary(0.45).name(QColor::HexArgb)));
    };
    show();
    connect(&UserDefaults::standard(), &UserDefaults::changed, chooser, [show, key](const QString& changed) {
        if (changed == QLatin1String(key))
            show();
    });
    connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, chooser, show);
    layout->addWidget(chooser);
    m_locked << chooser;
    return block;
}

void FtpTransferView::openTutorial(const QString& address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https") && !url.host().isEmpty())
        QDesktopServices::openUrl(url);
}

QWidget* FtpTransferView::makeGuideCard()
{
    auto* card = new RoundedPanel(&AppTheme::cardBackground, 12, this);
    card->setObjectName(QStringLiteral("ftpGuideCard"));
    QVBoxLayout* layout = column(card, 8);
    layout->setContentsMargins(18, 18, 18, 18);
    auto text = [card](const QString& t) {
        auto* label = new ThemedLabel(t, Fonts::system(12), [] { return primary(0.6); }, card);
        label->setWordWrap(true);
        return label;
    };
    layout->addWidget(new ThemedLabel(QStringLiteral("使用说明"), Fonts::system(13, QFont::DemiBold), &AppTheme::textGold, card));
    // No tutorial pages are published yet: a button shows only once its page exists.
    const QList<std::pair<QString, QString>> links{{QStringLiteral("索尼相机连接教程"), QString()},
                                                   {QStringLiteral("佳能相机连接教程"), QString()}};
    auto* tutorials = new QHBoxLayout;
    tutorials->setSpacing(6);
    int shown = 0;
    for (const auto& [title, address] : links) {
        if (address.isEmpty())
            continue;
        if (shown++ == 0)
            tutorials->addWidget(text(QStringLiteral("视频使用教程：")));
        else
            tutorials->addWidget(new ThemedLabel(QStringLiteral("丨"), Fonts::system(12), [] { return primary(0.35); }, card));
        auto* link = new QPushButton(title, card);
        link->setFlat(true);
        link->setCursor(Qt::PointingHandCursor);
        link->setFont(Fonts::system(13, QFont::Medium));
        auto restyle = [link] {
            link->setStyleSheet(QStringLiteral("QPushButton { color: %1; border: none; background: transparent; padding: 0; }")
                                    .arg(AppTheme::textGold().name()));
        };
        restyle();
        connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, link, restyle);
        connect(link, &QPushButton::clicked, link, [address] { openTutorial(address); });
        tutorials->addWidget(link);
    }
    tutorials->addStretch(1);
    if (shown > 0)
        layout->addLayout(tutorials);
    else
        delete tutorials;
    for (const QString& note : {
             QStringLiteral("1. 相机与电脑连接同一个WiFi（推荐连接5GHz频段，传输速度更快）。"),
             QStringLiteral("2. 在相机FTP功能里填写电脑IP地址、端口、用户名和密码，即可连接并浏览、上传素材。"),
             QStringLiteral("3. 首次启动FTP服务时，系统可能弹出本地网络或防火墙权限提示，请选择「允许」，否则相机无法连接。"),
             QStringLiteral("4. 照片格式越小传输越快，视频文件即便很短，相机也需要完整传输全部数据，所以耗时更长。"),
             QStringLiteral("5. 传输大文件时请保持软件运行，关闭服务器前建议先断开相机连接。")})
        layout->addWidget(text(note));
    return card;
}

void FtpTransferView::chooseRootFolder()
{
    QPointer<FtpTransferView> self(this);
    m_chooser(window(), [self](const QString& path) {
        if (self && !path.isEmpty())
            self->m_controller->setRootFolder(path);
    });
}

void FtpTransferView::revealNotice()
{
    if (m_controller->noticeText().isEmpty())
        return;
    // The notice has just appeared: its place is known once the layouts ran.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    m_scroll->ensureWidgetVisible(m_notice, 0, 12);
}

void FtpTransferView::refresh()
{
    const bool running = m_controller->isRunning();
    const bool busy = running || m_controller->isStarting();
    const QString root = stored(FtpKeys::rootPath.name, QString());
    m_rootPath->setText(root.isEmpty() ? QStringLiteral("未选择文件夹") : root);
    if (auto* style = qobject_cast<GoldButtonStyle*>(m_rootButton->style()))
        style->setEnabledLook(!running);
    for (QWidget* w : std::as_const(m_locked))
        w->setEnabled(!busy);
    // Before a start, the address the start will announce.
    m_localIP->setText(running ? m_controller->server()->localIP() : FtpServer::getLocalIP());
    m_dot->setStyleSheet(QStringLiteral("background: %1; border-radius: 5px;")
                             .arg((running ? SystemColors::green() : SystemColors::red()).name()));
    m_status->setText(m_controller->statusText());
    m_start->setEnabled(!busy);
    m_stop->setEnabled(running);
    m_notice->setText(m_controller->noticeText());
    m_notice->setVisible(!m_controller->noticeText().isEmpty());
    m_start->update();
    m_stop->update();
}
