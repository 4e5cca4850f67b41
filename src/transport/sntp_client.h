#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>

#include <cstdint>
#include <functional>

class QUdpSocket;

namespace tessaravolt::transport {

// Asks network time servers for the time, one query at a time: the first server the request
// can be sent to is asked, and only its answer to this very request, from a synchronised
// server, within a few seconds, is taken.
class SntpClient : public QObject
{
    Q_OBJECT

public:
    struct Server
    {
        QHostAddress address;
        quint16 port = 123;
    };

    // systemMs: the system clock in ms since the epoch, which picks the era of the answer.
    SntpClient(std::function<qint64()> systemMs, QObject* parent);
    ~SntpClient() override;

    static QList<Server> defaultServers();

    // The program's build time, in seconds since the epoch: no earlier time is taken from a server.
    static int64_t buildTime();
    // Moves that limit, for tests that must not depend on when the program was built.
    void setEarliestTime(int64_t unixSeconds);

    void setServers(const QList<Server>& servers);
    QList<Server> servers() const;
    // The local port answers are read on (0 when the socket could not be bound).
    quint16 localPort() const;

    // Sends a new query; an older one still open is dropped.
    void query();

signals:
    // The time of the accepted answer, in seconds since the epoch.
    void timeReceived(uint64_t unixSeconds);

private:
    void readDatagrams();

    std::function<qint64()> m_systemMs;
    int64_t m_earliest = buildTime();
    QList<Server> m_servers;
    QUdpSocket* m_socket = nullptr;
    // The open query: where it went, the transmit time stamp it carried (which the answer must
    // echo) and until when an answer is taken. Closed by the one accepted answer.
    QHostAddress m_requestAddress;
    quint16 m_requestPort = 0;
    quint64 m_requestStamp = 0;
    bool m_queryOpen = false;
    QDeadlineTimer m_queryDeadline;
};

} // namespace tessaravolt::transport
