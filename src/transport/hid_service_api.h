#pragma once

#include "transport/sntp_client.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>

class QQmlEngine;
class QJSEngine;

namespace tessaravolt::transport {

enum class HidRequestPriority : uint8_t;

// One event-log record as cached.
struct CacheEvtInfo
{
    uint16_t seq = 0;
    uint64_t ts = 0;
    uint8_t status = 0;
    uint8_t info = 0;
    int16_t code = 0;

    friend bool operator==(const CacheEvtInfo&, const CacheEvtInfo&) = default;
};

// Identity of one battery cell; each text stays empty until its answer arrives, and a cell is
// complete once both answers have arrived, even with an empty text.
struct CellItemInfo
{
    QString sn;
    QString activateTs;
    bool haveSn = false;
    bool haveActivateTs = false;
    bool complete() const { return haveSn && haveActivateTs; }
};

// Caches, sync states, statistics flags, revisions and snapshot of the two event logs.
struct EventLogStore;
struct EventSyncState;
struct EventLogTestAccess;
struct EventLogStoreDeleter
{
    void operator()(EventLogStore* store) const noexcept;
};

class HidServiceApi : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    friend struct EventLogTestAccess;

public:
    struct AbnormalLogSnapshotRecord
    {
        uint16_t seq = 0;
        uint64_t ts = 0;
        uint8_t status = 0;
        uint8_t info = 0;
        int16_t code = 0;
    };

    struct CacheCellRealtimeInfo
    {
        QByteArray frame; // header and payload, without the CRC
        int64_t ttlMs = 0;
        int64_t storedAtMs = 0;
    };

    // An NTP server the device clock is taken from.
    using TimeServer = SntpClient::Server;

    enum class SendResult { BuildFailed, Refused, Queued };

    // No default argument: a default-constructible type would be built by QML itself instead of
    // being obtained through create(). Tests construct their own with nullptr.
    explicit HidServiceApi(QObject* parent);
    ~HidServiceApi() override;

    static HidServiceApi* instance();
    static HidServiceApi* create(QQmlEngine* qmlEngine, QJSEngine* jsEngine);

    // Milliseconds since the epoch, as the caches and the event-log sync see them.
    qint64 nowMs() const;

    // Test seams: a clock of the test's own, the servers asked for the time (any port), and
    // a decoded plaintext frame fed straight into the dispatch.
    void setClock(std::function<qint64()> clock);
    void setTimeServers(const QList<TimeServer>& servers);
    QList<TimeServer> timeServers() const;
    quint16 timeSocketPort() const;
    void dispatchDecodedFrame(const QByteArray& plaintextFrame);

signals:
    void brand(const QString& text) const;
    void factory(const QString& text) const;
    void batteryManufacturer(const QString& text) const;
    void batteryManufacturerCn(const QString& text) const;
    void productSn(const QString& text) const;
    void batteryType(const QString& text) const;
    void productionDate(const QString& text) const;
    void model(const QString& text) const;
    void cellItemInfo(int16_t index, const QString& sn, const QString& activateTs) const;
    void productName(const QString& text) const;
    void hardwareVersion(const QString& text) const;
    void softwareVersion(const QString& text) const;
    void originManufacturer(const QString& text) const;
    void batteryModel(const QString& text) const;
    void appTitle(const QString& text) const;
    void batteryInfo(uint16_t cellCount, uint32_t capacityMah, uint32_t voltageMv, uint16_t powerW, uint16_t cycleRated,
                     uint16_t fullVoltageMv) const;
    void portCount(uint16_t portCount) const;
    void supportProtocol(uint32_t protocol) const;
    void soc(uint16_t percent) const;
    void soh(uint16_t percent) const;
    void cycleCount(uint16_t count) const;
    void currentEvent(uint8_t type, uint8_t info) const;
    void cellDetailInfo(uint16_t index, uint16_t voltageMv, uint16_t currentMa, int16_t tempC) const;
    // Spelt "statics": the QML contract name, kept as it is.
    void staticsEvent(uint8_t abnormalNo, uint8_t activityNo, uint16_t abnormalCount, uint16_t activityCount,
                      int16_t maxTemp, int16_t minTemp, uint16_t maxVoltage, uint16_t minVoltage, uint16_t maxCharge,
                      uint16_t maxDischarge) const;
    void activityEvent(uint16_t seq, uint64_t ts, uint8_t status, uint8_t info, int16_t code) const;
    void abnormalEvent(uint16_t seq, uint64_t ts, uint8_t status, uint8_t info, int16_t code) const;
    void eventCacheReset(uint8_t eventType) const;
    void portInfo(uint16_t index, uint8_t status, uint8_t type, uint16_t voltageMv, uint16_t currentMa, int16_t tempC,
                  uint8_t protocol, uint16_t powerW) const;
    void currentTime(uint64_t ts) const;
    void brightness(uint16_t brightness) const;
    void screenTimeout(uint16_t timeout) const;
    void currentTimeResult(bool support, bool success) const;
    void brightnessResult(bool support, bool success) const;
    void screenTimeoutResult(bool support, bool success) const;

public:
    Q_INVOKABLE void requestStaticInfo();
    Q_INVOKABLE void requestAppTitle();
    Q_INVOKABLE void requestStaticCellInfo();
    Q_INVOKABLE void requestPortCount();
    Q_INVOKABLE void requestCellRealtimeStatus();
    Q_INVOKABLE void requestCellDetailInfo();
    Q_INVOKABLE void requestCellCurrentEvent();
    Q_INVOKABLE void requestInputOutputInfo(uint8_t position, uint8_t amount);
    Q_INVOKABLE void requestDeviceSettings();
    Q_INVOKABLE void requestStatisticEvents();
    Q_INVOKABLE void requestActivityEvents(uint8_t no, int amount);
    Q_INVOKABLE void probeActivityEvents(uint8_t no, int amount);
    Q_INVOKABLE void requestAbnormalEvents(uint8_t no, int amount);
    Q_INVOKABLE void probeAbnormalEvents(uint8_t no, int amount);
    // Spelt "Brighteness": the QML contract name, kept as it is.
    Q_INVOKABLE void setBrighteness(uint8_t brightness);
    Q_INVOKABLE void setScreenTimeout(uint16_t timeout);
    Q_INVOKABLE QVariantList getCachedActivityLogs();
    Q_INVOKABLE QVariantList getCachedAbnormalLogs();
    Q_INVOKABLE QVariantMap abnormalLogCacheMeta() const;
    Q_INVOKABLE QVariantMap beginAbnormalLogSnapshot();
    Q_INVOKABLE QVariantList readAbnormalLogSnapshot(int offset, int limit) const;

private:
    void handlePacketReceived(const QByteArray& data);
    void onDeviceConnectionChanged(bool connected);
    void dispatchFrame(const uint8_t* frame, int size);

    // Builds, logs and queues one request; a frame that cannot be built is logged as tag ":" error.
    // A non-empty noteOnceBuilt is logged between building the frame and logging it. A queued
    // request's ticket on the link goes to *ticket when one is given.
    SendResult sendRequest(const char* tag, uint8_t command, uint8_t subCommand, const uint8_t* payload, size_t length,
                           HidRequestPriority priority, const QString& noteOnceBuilt = QString(),
                           uint64_t* ticket = nullptr);
    SendResult sendRequest(const QString& tag, uint8_t command, uint8_t subCommand, const uint8_t* payload,
                           size_t length, HidRequestPriority priority);

    bool sendStaticInfoStep(uint8_t subCommand, const char* requestTag, const QString& replayTag);

    // ---- Answers (implemented in hid_service_api_answers.cpp) ----
    void handleStaticInfo(const uint8_t* frame, int len);
    void handleCellItemStep(uint16_t cellCount);
    void emitCellItemIfComplete(uint8_t index);
    void handleDeviceSettings(const uint8_t* frame);
    void handleCellRealtimeStatus(const uint8_t* frame, bool fromDevice);
    void handleCellDetailInfo(const uint8_t* frame);
    void handleInputOutputInfo(const uint8_t* frame);
    void handleSendConfig(const uint8_t* frame);
    // ---- end of the answers ----

    void syncDeviceTime();
    void setDeviceTime(uint64_t secs);

    // ---- Event-log synchronisation and readers (implemented in hid_service_api_event_log.cpp) ----
    void initEventLogs();       // constructor, after pollTimer is set up
    void destroyEventLogs();    // destructor
    void resetEventLogs();      // loss of the device: caches, sync states, statistics flags, revisions, snapshot
    void startStatisticsPoll(); // connection: start pollTimer and poll once
    void stopStatisticsPoll();  // loss: stop pollTimer
    void pollStatisticEvents();
    bool requestStatisticEvents(HidRequestPriority priority);
    void handleDeviceEvents(const uint8_t* frame);
    void requestEvents(uint8_t type, uint8_t no, int amount, bool probe);
    void saveEventRequest(uint8_t type, uint8_t no, int amount, bool probe);
    void forgetEmptyLoadedCache(uint8_t type);
    int chooseEventSyncAction(uint8_t type, uint8_t no, int amount);
    void useLoadedSnapshot(uint8_t type, uint8_t no, int amount, bool probe);
    void beginEventLoad(uint8_t type, uint8_t no, int amount, int action);
    void startFullLoad(uint8_t type, uint8_t no, int amount);
    void startIncrementalWalk(uint8_t type, uint8_t no, int amount);
    bool enqueueEventRequests(uint8_t type, uint16_t start, uint16_t count);
    bool acceptEventRecord(uint8_t type, const CacheEvtInfo& record);
    void finishEventResponse(uint8_t type);
    bool recoverEventSyncTimeout(uint8_t type, int64_t now);
    void noteReportTaken(quint64 ticket);
    void replayEventCache(uint8_t type);
    EventSyncState& eventSyncState(uint8_t type);
    QList<CacheEvtInfo>& eventCache(uint8_t type);
    std::shared_mutex& eventCacheMutex(uint8_t type);
    std::unique_ptr<EventLogStore, EventLogStoreDeleter> m_eventLogs;
    // ---- end of the event-log section ----

    std::function<qint64()> m_clock;
    SntpClient* m_timeClient = nullptr;
    uint32_t m_activeReplays = 0; // requests whose cache replays are being emitted

    std::shared_mutex staticInfoCacheMutex;
    QMap<uint8_t, QByteArray> staticInfoCache;
    std::shared_mutex realtimeCacheMutex;
    QMap<uint8_t, CacheCellRealtimeInfo> realtimeCache;
    QTimer pollTimer;
    QMap<uint8_t, CellItemInfo> cellItemCache;
    std::shared_mutex cellItemCacheMutex;
};

} // namespace tessaravolt::transport
