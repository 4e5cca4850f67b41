#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

#include <cstdint>
#include <functional>

namespace tessaravolt::transport {

// Keeps the power bank connected: while none is, one connection attempt every retry interval
// (2000 ms, shortened by 400 ms after each failure down to 1000 ms); after a loss it starts again.
class HidAutoConnect : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(bool connected READ connected NOTIFY connectedChanged)
    Q_PROPERTY(int retryInterval READ retryInterval NOTIFY retryIntervalChanged)

public:
    static constexpr int32_t kDefaultRetryIntervalMs = 2000;
    static constexpr int32_t kMinRetryIntervalMs = 1000;
    static constexpr int32_t kRetryStepMs = 400;

    explicit HidAutoConnect(QObject* parent = nullptr);
    ~HidAutoConnect() override;

    bool active() const { return m_active; }
    bool connected() const;
    int retryInterval() const { return m_retryInterval; }

    Q_INVOKABLE void setActive(bool active);

    // Test seam: a retry timer that only the test moves. While one is set (not owned; nullptr gives
    // the object its own timer back), the object starts, stops and asks it where it would its own
    // timer, and an attempt runs when the test calls its `timeout`.
    struct RetryTimer
    {
        virtual ~RetryTimer() = default;
        virtual void start(int ms) = 0;
        virtual void stop() = 0;
        virtual bool isActive() const = 0;
        std::function<void()> timeout;
    };
    void setRetryTimer(RetryTimer* timer);

signals:
    void activeChanged();
    void connectedChanged();
    void retryIntervalChanged();
    void errorOccurred(QString message);

private:
    void scheduleReconnect();
    void reconnectNow();
    void handleBridgeConnectedChanged(bool connected);
    void decreaseRetryInterval();
    void resetRetryInterval();
    void stopAutoReconnect();
    void closeDevice();
    void startRetryTimer();
    void stopRetryTimer();
    bool retryTimerActive() const;

    bool m_active = true;
    bool m_destroying = false;
    bool m_closing = false;
    bool m_reconnecting = false;
    int32_t m_retryInterval = kDefaultRetryIntervalMs;
    QTimer m_reconnectTimer;
    QMetaObject::Connection m_connectedConnection;
    QMetaObject::Connection m_errorConnection;
    RetryTimer* m_testTimer = nullptr;
};

} // namespace tessaravolt::transport
