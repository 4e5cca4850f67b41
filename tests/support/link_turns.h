#pragma once

// The link's turns as they end, from the moment a LinkTurns is made until it goes, for tests that
// count what the link does in its own steps: how many turns read before a write, what one turn
// read, whether everything queued has gone out. Turns of later connections follow on.

#include "transport/hid_bridge.h"

#include <QList>
#include <QTest>

#include <mutex>

namespace tessaravolt::test {

class LinkTurns
{
public:
    // Long enough that only a link that stopped turning misses it: a turn takes 30 ms.
    static constexpr int kHangMs = 30000;

    LinkTurns()
    {
        transport::HidBridge::instance()->setTurnObserverForTesting([this](const transport::HidLinkTurn& turn) {
            std::lock_guard lock(m_mutex);
            m_turns << turn;
        });
    }
    ~LinkTurns() { transport::HidBridge::instance()->setTurnObserverForTesting({}); }
    LinkTurns(const LinkTurns&) = delete;
    LinkTurns& operator=(const LinkTurns&) = delete;

    QList<transport::HidLinkTurn> all() const
    {
        std::lock_guard lock(m_mutex);
        return m_turns;
    }
    int count() const
    {
        std::lock_guard lock(m_mutex);
        return int(m_turns.size());
    }

    // Waits, spinning the event loop, until `turns` whole turns begun after the call have ended (the
    // turn under way at the call does not count).
    bool waitForTurns(int turns = 1, int timeoutMs = kHangMs) const
    {
        const int seen = count();
        return QTest::qWaitFor([&] { return count() >= seen + 1 + turns; }, timeoutMs);
    }

    // Waits until a turn begun after the call ended with both queues empty: everything queued before
    // the call has been written, and the device has received it.
    bool waitUntilWritten(int timeoutMs = kHangMs) const
    {
        const int seen = count();
        return QTest::qWaitFor(
            [&] {
                std::lock_guard lock(m_mutex);
                for (qsizetype i = seen + 1; i < m_turns.size(); ++i)
                    if (m_turns[i].reportsQueued == 0)
                        return true;
                return false;
            },
            timeoutMs);
    }

private:
    mutable std::mutex m_mutex;
    QList<transport::HidLinkTurn> m_turns;
};

} // namespace tessaravolt::test
