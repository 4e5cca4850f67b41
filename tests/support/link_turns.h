#pragma once

// The link's turns as they end, from the moment a LinkTurns is made until it goes, for tests that
// count what the link does in its own steps: how many turns read before a write, what one turn
// read, whether everything queued has gone out, whether a turn left reports waiting. Turns of
// later connections follow on.

#include "transport/hid_bridge.h"

#include <QList>
#include <QString>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <utility>

namespace tessaravolt::test {

class LinkTurns
{
public:
    // Long enough that only a link that stopped turning misses it: a turn takes 30 ms.
    static constexpr int kHangMs = 30000;

    struct Turn : transport::HidLinkTurn
    {
        int waitingAfter = 0; // reports waiting for the link when the turn ended, if asked
    };

    // `reportsWaiting`, when given, tells at the end of every turn how many reports wait on the
    // device's side (the simulator's reportsWaiting()); it runs on the link's worker.
    explicit LinkTurns(std::function<int()> reportsWaiting = {})
        : m_reportsWaiting(std::move(reportsWaiting))
    {
        // The link has one observer: a second LinkTurns would silently end the first one's record.
        if (live().fetch_add(1) != 0)
            qFatal("LinkTurns: one at a time");
        transport::HidBridge::instance()->setTurnObserverForTesting([this](const transport::HidLinkTurn& link) {
            Turn turn;
            static_cast<transport::HidLinkTurn&>(turn) = link;
            if (m_reportsWaiting)
                turn.waitingAfter = m_reportsWaiting();
            std::lock_guard lock(m_mutex);
            m_turns << turn;
        });
    }
    ~LinkTurns()
    {
        transport::HidBridge::instance()->setTurnObserverForTesting({});
        live().fetch_sub(1);
    }
    LinkTurns(const LinkTurns&) = delete;
    LinkTurns& operator=(const LinkTurns&) = delete;

    QList<Turn> all() const
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

    // A turn reads every report that waits, up to kMaxReportsPerTurn: what waited when one turn
    // ended is still there when the next begins, and only the link takes it. Empty when every turn
    // did so, else the first turn that did not. Needs `reportsWaiting`.
    QString turnThatLeftReportsWaiting() const
    {
        const QList<Turn> turns = all();
        for (qsizetype i = 1; i < turns.size(); ++i) {
            const int due = std::min(turns[i - 1].waitingAfter, transport::kMaxReportsPerTurn);
            if (turns[i].reportsRead < due && !turns[i].readFailed)
                return QStringLiteral("turn %1 read %2 of the %3 waiting")
                    .arg(i)
                    .arg(turns[i].reportsRead)
                    .arg(turns[i - 1].waitingAfter);
        }
        return {};
    }

private:
    static std::atomic<int>& live()
    {
        static std::atomic<int> count{0};
        return count;
    }

    std::function<int()> m_reportsWaiting;
    mutable std::mutex m_mutex;
    QList<Turn> m_turns;
};

} // namespace tessaravolt::test
