#pragma once

// The simulator's state, shared by the files of its concerns: the emulated device node
// (simulated_power_bank_node.cpp), the device model and its answers (_model.cpp), the fault
// scripting (_faults.cpp) and the recorder (_recorder.cpp). Include it first: glib names a
// member `signals`, which must be seen before Qt defines the keyword.
#include <umockdev.h>

#include "simulated_power_bank.h"

#include "protocol/frame_codec.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

namespace tessaravolt::sim {

using Clock = std::chrono::steady_clock;

inline void putLe16(QByteArray& out, uint16_t v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

inline void putLe32(QByteArray& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

inline void putLe64(QByteArray& out, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

inline uint64_t getLe(const QByteArray& in, int offset, int width)
{
    uint64_t v = 0;
    for (int i = 0; i < width; ++i)
        v |= uint64_t(uint8_t(in.at(offset + i))) << (8 * i);
    return v;
}

inline QByteArray frameBytes(const protocol::Frame& f)
{
    return QByteArray(reinterpret_cast<const char*>(f.data), qsizetype(f.size));
}

struct SimulatedPowerBank::Impl
{
    // What one ioctl handler (one plug) stands for; outlives the handler.
    struct Plug
    {
        Impl* impl = nullptr;
        int number = 0;
        UMockdevIoctlBase* handler = nullptr;
    };

    struct Outgoing
    {
        QByteArray report; // empty: an unplug step
        Clock::time_point due;
        uint8_t command = 0;
        uint8_t subCommand = 0;
        bool injected = false;
    };

    Identity identity;
    Model model;
    Clock::time_point start = Clock::now();

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::vector<Rule> rules;
    int defaultLatencyMs = 0;
    bool silent = false;
    std::function<void(const Request&, Model&)> requestHook;
    int writeFaults = 0, writeFaultErrno = 0, writesFailed = 0; // failWrites()
    int readFaults = 0, readFaultErrno = 0, readsFailed = 0;    // failReads()
    QList<Request> requests;
    QList<Answer> answers;
    std::optional<uint64_t> lastClockSet;
    std::deque<Outgoing> outgoing;
    uint8_t answerSequence = 0;
    std::mt19937 random{20240611u};
    int floodPerSecond = 0; // setFlood()
    QByteArray floodReport;
    Clock::time_point nextFloodAt{};

    UMockdevTestbed* testbed = nullptr;
    QString rootDir;
    std::vector<std::unique_ptr<Plug>> plugs; // every plug so far; the last one is current
    bool plugged = false;
    int plugNumber = -1;
    int masterFd = -1;
    int slaveFd = -1;
    std::vector<UMockdevIoctlClient*> clients; // handles the program holds on the current node
    bool inFlight = false;                     // an input report written and not yet read
    // Queued delivery: each report on the line stands there as one byte, so the program's poll()
    // sees it, and is handed over whole by the read handler. Oldest first, with its answer's
    // number (answersCleared + its index in `answers`).
    struct OnLine
    {
        QByteArray report;
        qint64 answerNumber = 0;
    };
    bool queuedDelivery = false;
    std::deque<OnLine> line;
    qint64 answersCleared = 0; // answers removed by clearRecords()
    uint64_t readCalls = 0;    // read() calls of the program on the current node
    uint64_t readCallsAtWrite = 0;
    QString nodePath;
    QByteArray usbSysPath, hidrawSysPath;
    bool unplugRequested = false;

    std::mutex plugMutex; // serialises plug and unplug; never taken while `mutex` is held
    std::atomic<bool> running{true};
    std::thread server;

    qint64 sinceStart(Clock::time_point t) const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(t - start).count();
    }

    static bool isCurrent(Plug* p) { return p->impl->plugged && p->number == p->impl->plugNumber; }

    // ---- The emulated device node (simulated_power_bank_node.cpp) ----
    // umockdev callbacks, on the testbed's worker thread.
    static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data);
    static gboolean onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data);
    static gboolean onWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data);
    // client-vanished does not come for a handle closed under the preload; its "connected"
    // property does drop, so the serving thread looks at it.
    static void onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data);
    void reapClients(); // `mutex` held
    void releaseClients();
    int pendingForHost() const;
    // `mutex` held. The whole of `bytes` on the line, or nothing when it is full.
    enum class LineWrite { Written, Full };
    LineWrite putOnLine(const char* bytes, size_t size);
    bool writeToLine(const Outgoing& item); // `mutex` held; false when the line is full
    // `mutex` held, so no read takes anything meanwhile: waits until the pty has passed `bytes` to
    // the program's side. It does so a moment after the write, and until then the program's poll
    // would find nothing waiting although the device has sent it.
    void waitUntilPassedOn(int bytes);
    void recordAnswer(const Outgoing& item);
    void serve(); // the serving thread
    QByteArray describe(int number) const;
    bool doPlug();
    void doUnplug();

    // ---- The device model and its answers (simulated_power_bank_model.cpp; `mutex` held) ----
    void handleWrite(const QByteArray& written, int plug);
    void applySideEffects(const Request& r);
    std::optional<QByteArray> modelPayload(uint8_t command, uint8_t sub, const QByteArray& request) const;

    // ---- Fault scripting (simulated_power_bank_faults.cpp; `mutex` held) ----
    static bool matches(const Rule& rule, const Request& r);
    QByteArray buildReport(uint8_t command, uint8_t sub, QByteArray payload, Action corruption);
    void answer(const Request& r);
    void queueInjected(QByteArray report);
};

} // namespace tessaravolt::sim
