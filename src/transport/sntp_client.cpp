#include "transport/sntp_client.h"

#include "common/logger_manager.h"

#include <QRandomGenerator>
#include <QUdpSocket>

#include <algorithm>

namespace tessaravolt::transport {

namespace {

constexpr int kNtpPacketSize = 48;
constexpr uint64_t kNtpToUnixSeconds = 2208988800ULL;
// Answers to a time query are taken for this long after it was sent.
constexpr int kTimeQueryTimeoutMs = 5000;
constexpr int64_t kNtpEraSeconds = int64_t(1) << 32;

common::LoggerManager& logger()
{
    return common::LoggerManager::instance();
}

uint32_t readBe32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// NTP seconds carry no era: take the one that puts them nearest the system clock.
int64_t unixSecondsNearest(uint32_t ntpSeconds, int64_t systemUnixSeconds)
{
    const int64_t systemNtp = std::max<int64_t>(systemUnixSeconds + int64_t(kNtpToUnixSeconds), 0);
    const auto distance = [systemNtp](int64_t t) { return t > systemNtp ? t - systemNtp : systemNtp - t; };
    int64_t best = systemNtp / kNtpEraSeconds * kNtpEraSeconds + ntpSeconds;
    for (const int64_t candidate : {best - kNtpEraSeconds, best + kNtpEraSeconds}) {
        if (distance(candidate) < distance(best))
            best = candidate;
    }
    return best - int64_t(kNtpToUnixSeconds);
}

} // namespace

SntpClient::SntpClient(std::function<qint64()> systemMs, QObject* parent)
    : QObject(parent)
    , m_systemMs(std::move(systemMs))
    , m_servers(defaultServers())
{
    m_socket = new QUdpSocket(this);
    if (m_socket->bind(QHostAddress::AnyIPv4, 0)) {
        logger() << "Bound to port:" << m_socket->localPort() << std::endl;
        connect(m_socket, &QUdpSocket::readyRead, this, &SntpClient::readDatagrams);
    } else {
        logger() << "ServerTime: Failed to bind:" << m_socket->errorString() << std::endl;
    }
}

SntpClient::~SntpClient()
{
    disconnect(m_socket, nullptr, this, nullptr);
}

QList<SntpClient::Server> SntpClient::defaultServers()
{
    return {
        {QHostAddress(QStringLiteral("162.159.200.1")), 123},
        {QHostAddress(QStringLiteral("216.239.35.0")), 123},
        {QHostAddress(QStringLiteral("129.6.15.28")), 123},
        {QHostAddress(QStringLiteral("132.163.96.1")), 123},
    };
}

void SntpClient::setServers(const QList<Server>& servers)
{
    m_servers = servers;
}

int64_t SntpClient::buildTime()
{
    return int64_t(TESSARAVOLT_BUILD_TIME);
}

void SntpClient::setEarliestTime(int64_t unixSeconds)
{
    m_earliest = unixSeconds;
}

QList<SntpClient::Server> SntpClient::servers() const
{
    return m_servers;
}

quint16 SntpClient::localPort() const
{
    return m_socket->localPort();
}

void SntpClient::query()
{
    // Leap indicator 0, version 3, client; the transmit time stamp is random, so that only an
    // answer to this very request can echo it.
    QByteArray request(kNtpPacketSize, '\0');
    request[0] = char(0x1B);
    quint64 stamp = 0;
    while (stamp == 0)
        stamp = QRandomGenerator::system()->generate64();
    for (int i = 0; i < 8; ++i)
        request[40 + i] = char(stamp >> (56 - 8 * i));
    m_queryOpen = false;
    for (const Server& server : std::as_const(m_servers)) {
        const qint64 sent = m_socket->writeDatagram(request, server.address, server.port);
        if (sent == -1) {
            logger() << "syncDeviceTime: Failed to send " << m_socket->errorString() << std::endl;
            continue;
        }
        m_requestAddress = server.address;
        m_requestPort = server.port;
        m_requestStamp = stamp;
        m_queryOpen = true;
        m_queryDeadline.setRemainingTime(kTimeQueryTimeoutMs);
        logger() << server.address.toString() << "syncDeviceTime: requestTime sent " << sent << " bytes" << std::endl;
        return;
    }
}

void SntpClient::readDatagrams()
{
    while (m_socket->hasPendingDatagrams()) {
        QByteArray buffer(qMax<qint64>(m_socket->pendingDatagramSize(), 0), '\0');
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 read = m_socket->readDatagram(buffer.data(), buffer.size(), &sender, &senderPort);
        if (read == -1) {
            logger() << "onUdpDataRecv: Read error:" << m_socket->errorString() << std::endl;
            // A datagram that cannot be read may stay pending; the next readyRead tries again.
            break;
        }
        buffer.truncate(read);
        logger() << "onUdpDataRecv: Received from:" << sender.toString() << ":" << senderPort << std::endl;
        if (m_queryOpen && m_queryDeadline.hasExpired())
            m_queryOpen = false;
        if (!m_queryOpen) {
            logger() << "onUdpDataRecv: Ignored reply, no time query waiting" << std::endl;
            continue;
        }
        if (senderPort != m_requestPort || !sender.isEqual(m_requestAddress, QHostAddress::TolerantConversion)) {
            logger() << "onUdpDataRecv: Ignored reply from an address the request did not go to" << std::endl;
            continue;
        }
        if (buffer.size() < kNtpPacketSize) {
            logger() << "onUdpDataRecv: Invalid packet size:" << buffer.size() << std::endl;
            continue;
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(buffer.constData());
        const int leap = bytes[0] >> 6;
        const int mode = bytes[0] & 0x07;
        const int stratum = bytes[1];
        // Only a synchronised server's answer: not a kiss-of-death (stratum 0), not unsynchronised.
        if (mode != 4 || stratum < 1 || stratum > 15 || leap == 3) {
            logger() << "onUdpDataRecv: Ignored reply, leap=" << leap << " mode=" << mode << " stratum=" << stratum
                     << std::endl;
            continue;
        }
        const quint64 origin = (quint64(readBe32(bytes + 24)) << 32) | readBe32(bytes + 28);
        if (origin != m_requestStamp) {
            logger() << "onUdpDataRecv: Ignored reply that does not answer the request" << std::endl;
            continue;
        }
        const uint32_t transmit = readBe32(bytes + 40);
        const int64_t seconds = unixSecondsNearest(transmit, m_systemMs() / 1000);
        if ((transmit == 0 && readBe32(bytes + 44) == 0) || seconds < 0) {
            logger() << "onUdpDataRecv: Ignored reply without a usable time" << std::endl;
            continue;
        }
        // A clock set back before this program existed is wrong, whatever the server says.
        if (seconds < m_earliest) {
            logger() << "onUdpDataRecv: Ignored reply with a time before this program was built: " << seconds << " < "
                     << m_earliest << std::endl;
            continue;
        }
        m_queryOpen = false;
        emit timeReceived(uint64_t(seconds));
    }
}

} // namespace tessaravolt::transport
