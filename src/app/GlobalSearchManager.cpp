#include "GlobalSearchManager.h"

#include "platform/Log.h"
#include "platform/SpeechRecognizer.h"

#include <QLocale>

#include <cmath>

namespace {
// One short label shared by every function entry.
const QString kFunctionSubtitle = QStringLiteral("功能");

SearchItem item(const QString& title, const QString& subtitle, SearchItemCategory category, const QString& icon,
                SearchAction action)
{
    return SearchItem{title, subtitle, category, icon, std::move(action)};
}
}

GlobalSearchManager::GlobalSearchManager(RecognizerFactory factory, QObject* parent)
    : QObject(parent)
    , m_factory(std::move(factory))
{
    if (!m_factory) {
        m_factory = [](QObject* owner) {
            return new SpeechRecognizer(QStringLiteral("zh_CN"), SpeechEngine::createDefault(),
                                        AudioCapture::createDefault(), owner);
        };
    }
}

GlobalSearchManager::~GlobalSearchManager() { stopRecording(); }

void GlobalSearchManager::setSearchText(const QString& text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    Q_EMIT searchTextChanged(text);
}

void GlobalSearchManager::setRecording(bool recording)
{
    if (recording == m_isRecording)
        return;
    m_isRecording = recording;
    Q_EMIT isRecordingChanged(recording);
}

void GlobalSearchManager::denyPermission()
{
    if (!m_permissionGranted)
        return;
    m_permissionGranted = false;
    Q_EMIT microphonePermissionGrantedChanged(false);
}

void GlobalSearchManager::markSpeechUnavailable()
{
    if (m_speechAvailable) {
        m_speechAvailable = false;
        m_speechUnavailableReason = m_recognizer->unavailableReason();
        if (m_speechUnavailableReason.isEmpty())
            m_speechUnavailableReason = QStringLiteral("本机未安装语音识别引擎");
        Log::line(QStringLiteral("语音输入不可用：") + m_speechUnavailableReason);
        Q_EMIT speechAvailableChanged(false);
    }
    // Nothing sets it back: a model put in place is used from the next launch.
    denyPermission();
}

void GlobalSearchManager::startRecording()
{
    if (!m_recognizer) {
        m_recognizer = m_factory(this);
        connect(m_recognizer, &SpeechRecognizer::recognized, this, [this](const QString& text, bool isFinal) {
            setSearchText(text);
            if (isFinal)
                stopRecording();
        });
        connect(m_recognizer, &SpeechRecognizer::failed, this, [this](const QString&) {
            stopRecording();
            // A model that fails to load is found on the first recognition.
            if (!m_recognizer->isAvailable())
                markSpeechUnavailable();
        });
    }
    if (!m_recognizer->isAvailable()) {
        stopRecording();
        markSpeechUnavailable();
        return;
    }
    switch (m_recognizer->authorization()) {
    case SpeechAuthorization::authorized:
        beginRecording();
        break;
    case SpeechAuthorization::denied:
    case SpeechAuthorization::restricted:
        denyPermission();
        Log::line(QStringLiteral("语音识别权限被拒绝，请在系统设置中开启"));
        break;
    case SpeechAuthorization::notDetermined:
        m_recognizer->requestAuthorization([this](SpeechAuthorization answer) {
            if (answer == SpeechAuthorization::authorized)
                beginRecording();
            else
                denyPermission();
        });
        break;
    }
}

void GlobalSearchManager::beginRecording()
{
    stopRecording();
    QString error;
    // A failed start leaves neither the microphone nor the request behind,
    // so a retry begins clean.
    const SpeechRecognizer::Start started = m_recognizer->start(&error);
    const bool serviceMissing = started == SpeechRecognizer::Start::noSoundService;
    const bool found = started != SpeechRecognizer::Start::noMicrophone && !serviceMissing;
    if (found != m_microphoneFound || serviceMissing != m_soundServiceMissing) {
        m_microphoneFound = found;
        m_soundServiceMissing = serviceMissing;
        Q_EMIT microphoneChanged();
    }
    if (started != SpeechRecognizer::Start::started) {
        Log::line(QStringLiteral("语音识别启动失败: ") + error);
        return;
    }
    setRecording(true);
}

void GlobalSearchManager::stopRecording()
{
    if (m_recognizer)
        m_recognizer->stop();
    setRecording(false);
}

QString GlobalSearchManager::priceText(double price)
{
    // Plain digits from 0.0001 up to 2^54, as a double prints by default;
    // only beyond that does the exponent form read better.
    const double size = std::fabs(price);
    if (!std::isfinite(price) || (size != 0 && (size < 1e-4 || size > 0x1p54)))
        return QString::number(price, 'g', QLocale::FloatingPointShortest);
    QString text = QString::number(price, 'f', QLocale::FloatingPointShortest);
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

QList<SearchItem> GlobalSearchManager::buildSearchIndex(const QList<MenuItem>& menuItems, const QList<Order>& orders,
                                                        const QList<Package>& packages)
{
    using C = SearchItemCategory;
    using K = SearchAction::Kind;
    QList<SearchItem> index;
    index.reserve(menuItems.size() + 11 + qMin<qsizetype>(orders.size(), kIndexedOrders) + packages.size());
    for (const MenuItem& menu : menuItems)
        index.append(item(menu.title, kFunctionSubtitle, C::function, menu.icon, SearchAction::navigateToMenu(menu.title)));

    index.append(item("软件设置", "通用设置", C::setting, "gearshape.fill", SearchAction::of(K::openSettings)));
    index.append(item("自动导片设置", "设置 / 自动导片", C::setting, "tray.and.arrow.down", SearchAction::of(K::openSettings)));
    index.append(item("快速分片设置", "设置 / 快速分片", C::setting, "line.3.horizontal.decrease.circle",
                      SearchAction::of(K::openSettings)));
    index.append(item("启动默认页面", "设置 / 通用", C::setting, "house.fill", SearchAction::of(K::openSettings)));
    index.append(item("套系设置", "档期收入 / 设置", C::setting, "square.grid.2x2", SearchAction::of(K::openPackageSettings)));
    index.append(item("日历同步设置", "档期收入 / 设置", C::setting, "calendar.badge.clock", SearchAction::of(K::openSettings)));
    index.append(item("拍摄提醒设置", "档期收入 / 设置", C::setting, "bell.fill", SearchAction::of(K::openSettings)));

    const qsizetype orderCount = qMin<qsizetype>(orders.size(), kIndexedOrders);
    for (qsizetype i = 0; i < orderCount; ++i) {
        const Order& order = orders.at(i);
        index.append(item(order.customerName, order.phone + QStringLiteral(" / ") + rawValue(order.status),
                          C::businessData, "person.fill", SearchAction::searchOrder(order.customerName)));
    }
    for (const Package& package : packages)
        index.append(item(package.name, QStringLiteral("套系 / ¥") + priceText(package.price), C::businessData,
                          "square.grid.2x2", SearchAction::of(K::openPackageSettings)));

    index.append(item("日历视图", "档期收入 / 日历", C::viewSwitch, "calendar", SearchAction::navigateToScheduleView(true)));
    index.append(item("收入统计视图", "档期收入 / 收入统计", C::viewSwitch, "chart.bar.fill",
                      SearchAction::navigateToScheduleView(false)));
    index.append(item("使用教程", "帮助 / 教程", C::help, "play.fill", SearchAction::of(K::openTutorial)));
    index.append(item("更新日志", "帮助 / 更新日志", C::help, "clock.arrow.circlepath", SearchAction::of(K::openChangelog)));
    return index;
}

QList<SearchGroup> GlobalSearchManager::performSearch(const QString& query, const QList<SearchItem>& allItems)
{
    const QString q = query.trimmed().toLower();
    if (q.isEmpty())
        return {};
    std::array<QList<SearchItem>, kSearchItemCategories.size()> groups;
    for (const SearchItem& candidate : allItems) {
        // Case-insensitive containment without lower-casing copies per item.
        if (candidate.title.contains(q, Qt::CaseInsensitive) || candidate.subtitle.contains(q, Qt::CaseInsensitive))
            groups[size_t(candidate.category)].append(candidate);
    }
    QList<SearchGroup> result;
    for (SearchItemCategory category : kSearchItemCategories) {
        if (!groups[size_t(category)].isEmpty())
            result.append(SearchGroup{category, groups[size_t(category)]});
    }
    return result;
}
