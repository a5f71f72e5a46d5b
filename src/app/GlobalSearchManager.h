#pragma once

#include "app/SearchItem.h"
#include "orderbook/Order.h"
#include "orderbook/Package.h"
#include "ui/MenuItem.h"

#include <QObject>

#include <functional>
#include <memory>

class SpeechRecognizer;

// The window's search query, typed or spoken, and the search over functions,
// settings, orders and packages.
class GlobalSearchManager : public QObject
{
    Q_OBJECT
public:
    // Makes the recognizer on the first spoken search; tests pass a scripted one.
    using RecognizerFactory = std::function<SpeechRecognizer*(QObject* parent)>;

    explicit GlobalSearchManager(RecognizerFactory factory = {}, QObject* parent = nullptr);
    ~GlobalSearchManager() override;

    static constexpr int kIndexedOrders = 50;

    QString searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    bool isRecording() const { return m_isRecording; }
    bool microphonePermissionGranted() const { return m_permissionGranted; }
    // False once a spoken search found no speech engine or model on this
    // machine, or the model failed to load; the reason says which.
    bool speechAvailable() const { return m_speechAvailable; }
    QString speechUnavailableReason() const { return m_speechUnavailableReason; }
    // False while the last try found no microphone; every try looks again.
    bool microphoneFound() const { return m_microphoneFound; }
    // True when the last try found no microphone because no sound service
    // ran as the app first looked for one: none appears before a restart.
    bool soundServiceMissing() const { return m_soundServiceMissing; }

    void startRecording();
    void stopRecording();

    static QList<SearchItem> buildSearchIndex(const QList<MenuItem>& menuItems, const QList<Order>& orders,
                                              const QList<Package>& packages);
    static QList<SearchGroup> performSearch(const QString& query, const QList<SearchItem>& allItems);
    // A price as the shortest text that reads back as the same double, in
    // plain digits (whole numbers with ".0") from 0.0001 up to 2^54.
    static QString priceText(double price);

Q_SIGNALS:
    void searchTextChanged(const QString& text);
    void isRecordingChanged(bool recording);
    void microphonePermissionGrantedChanged(bool granted);
    void speechAvailableChanged(bool available);
    // microphoneFound or soundServiceMissing changed.
    void microphoneChanged();

private:
    void beginRecording();
    void setRecording(bool recording);
    void denyPermission();
    void markSpeechUnavailable();

    RecognizerFactory m_factory;
    SpeechRecognizer* m_recognizer = nullptr;
    QString m_searchText;
    bool m_isRecording = false;
    bool m_permissionGranted = true;
    bool m_speechAvailable = true;
    bool m_microphoneFound = true;
    bool m_soundServiceMissing = false;
    QString m_speechUnavailableReason;
};
