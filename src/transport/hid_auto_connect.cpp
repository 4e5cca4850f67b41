#include "transport/hid_auto_connect.h"

#include "common/logger_manager.h"
#include "transport/hid_bridge.h"

#include <algorithm>

namespace tessaravolt::transport {

namespace {

void logLine(const QString& line)
{
    common::LoggerManager::instance().addLog(line);
}

} // namespace

HidAutoConnect::HidAutoConnect(QObject* parent)
    : QObject(parent)
{
    HidBridge* bridge = HidBridge::instance();

    m_reconnectTimer.setSingleShot(true);
    // The intervals are part of the behaviour; a coarse timer could fire up to 5 % early.
    m_reconnectTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &HidAutoConnect::reconnectNow);

    QTimer::singleShot(0, this, &HidAutoConnect::scheduleReconnect);

    m_connectedConnection =
        connect(bridge, &HidBridge::connectedChanged, this, &HidAutoConnect::handleBridgeConnectedChanged);
    m_errorConnection = connect(bridge, &HidBridge::errorOccurred, this, [this](const QString& message) {
        if (m_destroying)
            return;
        emit errorOccurred(message);
        logLine(QStringLiteral("onErrorMsgRecv:") + message);
    });
}

HidAutoConnect::~HidAutoConnect()
{
    m_destroying = true;
    stopAutoReconnect();
    disconnect(m_connectedConnection);
    disconnect(m_errorConnection);
    HidBridge::instance()->disconnect(this);
    closeDevice();
    if (m_testTimer)
        m_testTimer->timeout = nullptr;
}

bool HidAutoConnect::connected() const
{
    return HidBridge::instance()->connected();
}

void HidAutoConnect::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    emit activeChanged();
    if (active) {
        logLine(QStringLiteral("setActive: schedule reconnect"));
        scheduleReconnect();
    } else {
        closeDevice();
    }
}

void HidAutoConnect::setRetryTimer(RetryTimer* timer)
{
    const bool wasActive = retryTimerActive();
    stopRetryTimer();
    if (m_testTimer)
        m_testTimer->timeout = nullptr;
    m_testTimer = timer;
    if (m_testTimer)
        m_testTimer->timeout = [this] { reconnectNow(); };
    if (wasActive)
        startRetryTimer();
}

void HidAutoConnect::startRetryTimer()
{
    if (m_testTimer)
        m_testTimer->start(m_retryInterval);
    else
        m_reconnectTimer.start(m_retryInterval);
}

void HidAutoConnect::stopRetryTimer()
{
    if (m_testTimer)
        m_testTimer->stop();
    else
        m_reconnectTimer.stop();
}

bool HidAutoConnect::retryTimerActive() const
{
    return m_testTimer ? m_testTimer->isActive() : m_reconnectTimer.isActive();
}

void HidAutoConnect::scheduleReconnect()
{
    if (m_destroying || m_closing || !m_active || HidBridge::instance()->connected()) {
        stopRetryTimer();
        return;
    }
    if (m_reconnecting || retryTimerActive())
        return;
    startRetryTimer();
}

void HidAutoConnect::reconnectNow()
{
    HidBridge* bridge = HidBridge::instance();
    if (m_destroying || m_closing || !m_active || bridge->connected())
        return;
    m_reconnecting = true;
    const bool ok = bridge->openSupportedPowerBank();
    m_reconnecting = false;
    if (!ok) {
        decreaseRetryInterval();
        scheduleReconnect();
        return;
    }
    stopRetryTimer();
    resetRetryInterval();
    logLine(QStringLiteral("reconnectNow: connected to device"));
}

void HidAutoConnect::handleBridgeConnectedChanged(bool connected)
{
    if (m_destroying)
        return;
    emit connectedChanged();
    if (!connected) {
        logLine(QStringLiteral("handleBridgeConnectedChanged: schedule reconnect"));
        scheduleReconnect();
    } else {
        stopRetryTimer();
        resetRetryInterval();
    }
}

void HidAutoConnect::decreaseRetryInterval()
{
    const int32_t next = std::max(m_retryInterval - kRetryStepMs, kMinRetryIntervalMs);
    if (next == m_retryInterval)
        return;
    m_retryInterval = next;
    logLine(QStringLiteral("decreaseRetryInterval:%1MS").arg(next));
    if (!m_destroying)
        emit retryIntervalChanged();
}

void HidAutoConnect::resetRetryInterval()
{
    if (m_retryInterval == kDefaultRetryIntervalMs)
        return;
    m_retryInterval = kDefaultRetryIntervalMs;
    if (!m_destroying)
        emit retryIntervalChanged();
}

void HidAutoConnect::stopAutoReconnect()
{
    stopRetryTimer();
    resetRetryInterval();
}

void HidAutoConnect::closeDevice()
{
    if (m_closing)
        return;
    m_closing = true;
    stopAutoReconnect();
    HidBridge::instance()->closeDevice();
    m_closing = false;
}

} // namespace tessaravolt::transport
