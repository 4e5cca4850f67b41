#pragma once

// A power bank that exists only in user space, for tests and demos.
//
// It creates a umockdev testbed with one hidraw device (hidraw node, hid parent, usb interface,
// usb device) and answers every request the program writes with the payloads the real power
// bank sends, so the program's real hidapi-hidraw path runs unchanged: hid_enumerate,
// hid_open_path, hid_write, hid_read_timeout and the loss of the device.
//
// Writing a test (the program's code runs in the same process as the simulator):
//
//     #include "sim/simulated_power_bank.h"
//     using tessaravolt::sim::SimulatedPowerBank;
//
//     void init() { QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper"); }
//     void answersSoc() {
//         SimulatedPowerBank::Identity id;            // vendor id: kSupportedVendorIds[0]
//         id.productId = 0x0101;
//         SimulatedPowerBank bank(id);                 // plugged at once, serving on its own thread
//         bank.update([](auto& m) { m.soc = 57; });
//         ... let the program connect and ask ...
//         QVERIFY(bank.waitForRequest(0x20, 0x01));    // spins the Qt event loop while it waits
//         QCOMPARE(bank.requestsFor(0x20, 0x01).first().payload.size(), 0);
//         bank.addRule(SimulatedPowerBank::Rule::on(0x20, 0x01, SimulatedPowerBank::Action::Drop, 1));
//                                                       // the next answer is lost
//         bank.unplug();                                // the program sees "device disconnected"
//         bank.plug();                                  // back as /dev/hidraw1
//     }
//
// In CMake (tests/sim/SimTesting.cmake, available to every test folder after tests/sim):
//
//     tessaravolt_add_sim_test(tst_something SOURCES tst_something.cpp [LIBS ...] [LABELS ...]
//                              [QML] [TIMEOUT s] [ENV ...])
//
// which links tessaravolt_sim and runs the test under umockdev-wrapper (LD_PRELOAD of
// libumockdev-preload.so.0). Run: `ctest -R tst_something` in the build folder, or by hand
// `umockdev-wrapper build/tests/<area>/tst_something`.
//
// One simulated power bank may exist at a time in a process (the testbed owns $UMOCKDEV_DIR).
// Every public member is thread-safe; the device is served on a thread of its own. Answers go
// out one at a time: the next input report is written only after the program has read the
// previous one (a pty is a byte stream and would run two together), unless setQueuedDelivery()
// lets them wait on the line side by side; answers still queued when the program closes its last
// handle are discarded, as hidraw keeps a buffer per open handle. A child process started while
// the device is plugged must not inherit descriptors beyond 0-2 (the launcher closes them), or
// an unplug cannot hang up the line.
//
// The standalone launcher `tessaravolt-sim --run PROGRAM [ARGS...]` (scripts/run --simulated;
// simulator flags through TESSARAVOLT_SIM_FLAGS) serves a plausible four-port power bank
// (demoModel(), with slowly drifting values) to a child program started under the preload.

#include "transport/hid_bridge.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace tessaravolt::sim {

class SimulatedPowerBank
{
public:
    // USB identity of the simulated device, as hidapi lists it. The default vendor id is the
    // first one the program looks for (transport::kSupportedVendorIds[0]).
    static constexpr uint16_t kDefaultVendorId = transport::kSupportedVendorIds[0];
    struct Identity
    {
        uint16_t vendorId = kDefaultVendorId;
        uint16_t productId = 0x3C4D;
        uint16_t release = 0x0108; // bcdDevice
        QString manufacturer = QStringLiteral("Tessaravolt");
        QString product = QStringLiteral("Power Bank");
        QString serial = QStringLiteral("TV0000000001");
        uint8_t interfaceNumber = 0;
    };

    // Battery information, answer 0x10/0x06 (15 bytes).
    struct BatteryInfo
    {
        uint8_t cellCount = 4;
        uint32_t capacityMah = 25600;
        uint32_t voltageMv = 14800;
        uint16_t powerW = 140;
        uint16_t cycleRated = 1000;
        uint16_t fullVoltageMv = 16800;
    };

    // One 8-byte record of answer 0x30/0x00.
    struct CellDetail
    {
        uint8_t index = 0;
        uint16_t voltageMv = 0;
        uint16_t currentMa = 0;
        int16_t tempC = 0;
    };

    // One 12-byte record of answer 0x31/0x00. status 0 idle, 1 input, 2 output;
    // type 1 C, 2 A, 3 W, 4 AC (4 bits each on the wire).
    struct Port
    {
        uint8_t index = 0;
        uint8_t status = 0;
        uint8_t type = 1;
        uint16_t voltageMv = 0;
        uint16_t currentMa = 0;
        int16_t tempC = 0;
        uint8_t protocol = 0;
        uint16_t powerW = 0;
    };

    // One 16-byte event record (also the layout of the current event 0x20/0x04).
    // type: 0 activity, 1 abnormal (bits 4-5 of the flags byte); status: bits 0-3.
    struct EventRecord
    {
        uint16_t seq = 0;
        uint64_t ts = 0;
        uint8_t status = 0;
        uint8_t type = 0;
        uint8_t info = 0;
        int16_t code = 0;
        bool operator==(const EventRecord&) const = default;
    };

    // One of the two logs. records[0] is the newest (index 0 on the wire).
    // capacity 0: unlimited (the wire count stops at 65535); otherwise prepending to a full log
    // drops the oldest record.
    struct EventLog
    {
        uint8_t no = 1;
        QList<EventRecord> records;
        uint16_t capacity = 0;
        uint16_t nextSeq = 1; // seq given to records prepended without one
    };

    // Everything the device answers from. Tests change it through update().
    struct Model
    {
        // Payloads of the text sub-commands of 0x10 (UTF-8, at most 48 bytes each), keyed by
        // sub-command: 0x01..0x05, 0x08, 0x09, 0x0B..0x0D, 0x10 and the two-part texts'
        // halves 0x0F/0x2F, 0x11/0x21, 0x12/0x22. A missing sub-command answers an empty payload.
        QMap<uint8_t, QByteArray> texts;
        BatteryInfo battery;
        uint8_t portCount = 4;
        uint32_t supportedProtocols = 0x000001FF;
        QMap<uint8_t, QString> cellSerials;     // 0x10/0x0A by cell index (answer: index, text)
        QMap<uint8_t, QString> cellActivations; // 0x20/0x05 by cell index (answer: index, text)
        uint8_t soc = 80;                       // raw byte: values above 100 are sent as they are
        uint8_t soh = 97;
        uint16_t cycles = 42;
        EventRecord currentEvent;
        QList<CellDetail> cellDetails; // 0x30: at most 6 records fit a frame; extra ones are cut
        QList<Port> ports;             // 0x31: records whose index is in [position, position+amount), at most 4
        // The device clock, 0x12/0x01: clockSeconds when clockSetAt, advancing in real time.
        uint64_t clockSeconds = 1700000000;
        std::chrono::steady_clock::time_point clockSetAt = std::chrono::steady_clock::now();
        uint8_t brightness = 80;     // 0x12/0x02
        uint16_t screenTimeout = 60; // 0x12/0x03
        // Results of 0xA1/0x01..0x03: 0 success (the value is applied), 2 not supported, other: failed.
        uint8_t setClockResult = 0;
        uint8_t setBrightnessResult = 0;
        uint8_t setScreenTimeoutResult = 0;
        EventLog activityLog;
        EventLog abnormalLog;
        // Statistics 0x11/0x01 besides the logs' numbers and counts.
        int16_t maxTemp = 452;
        int16_t minTemp = -53;
        uint16_t maxVoltage = 16750;
        uint16_t minVoltage = 12010;
        uint16_t maxCharge = 6500;
        uint16_t maxDischarge = 9800;
        // Sub-commands with no branch in the device: silence (false) or an empty answer (true).
        bool answerUnknownSubCommands = false;

        void setText(uint8_t subCommand, const QString& text);
        // Splits the UTF-8 bytes after splitAt bytes (default 48, or the middle when shorter than
        // 2 x 48 and splitAt < 0) into firstSub and its second part (0x0F->0x2F, 0x11->0x21, 0x12->0x22).
        void setTwoPartText(uint8_t firstSub, const QString& text, int splitAt = -1);
        EventLog& log(uint8_t type) { return type == 1 ? abnormalLog : activityLog; }
        const EventLog& log(uint8_t type) const { return type == 1 ? abnormalLog : activityLog; }
        // Prepends as the newest record (seq 0 takes nextSeq); a full ring drops the oldest.
        void prependEvent(uint8_t type, EventRecord record);
        // Empties the log; a new snapshot number unless keepNo.
        void clearEventLog(uint8_t type, bool keepNo = false);
        uint64_t clockNow() const;
    };

    // A plausible device: texts, 4 cells (cell-detail entry 0 the pack, 1..4 the cells), ports
    // A out, C1 in, C2 out, W idle, 36 activity and 12 abnormal records.
    static Model demoModel();

    // What a fault rule does to the answers of the requests it matches.
    enum class Action {
        Latency,         // delay the answer by latencyMs (adds up with the default latency)
        Drop,            // no answer
        ReplacePayload,  // answer with payload instead of the model's
        TruncatePayload, // cut the model's payload to length bytes (the length byte says so)
        BadOuterCrc,     // envelope CRC wrong
        BadInnerCrc,     // plaintext frame CRC wrong
        BadOuterHeader,  // first byte not 0xAA
        BadInnerHeader,  // plaintext does not start with 0xAA (both CRCs right)
        Garbage,         // 64 random bytes instead of the answer
        UnplugAfter,     // answer (or not, with other rules), then unplug at once
        UnplugBefore,    // unplug instead of answering (the write itself succeeded)
        AnswerAs,        // answer with command/subcommand answerCommand/answerSubCommand
    };

    // Applies to requests of command/subCommand; latencyMs delays the answer with any action.
    struct Rule
    {
        int command = -1;    // -1: any
        int subCommand = -1; // -1: any
        int remaining = -1;  // answers it still applies to; -1: for ever
        Action action = Action::Drop;
        int latencyMs = 0;
        QByteArray payload; // ReplacePayload
        int length = 0;     // TruncatePayload
        uint8_t answerCommand = 0;
        uint8_t answerSubCommand = 0;

        static Rule on(int command, int subCommand, Action action, int remaining = -1)
        {
            Rule r;
            r.command = command;
            r.subCommand = subCommand;
            r.action = action;
            r.remaining = remaining;
            return r;
        }
        Rule& withLatency(int ms)
        {
            latencyMs = ms;
            return *this;
        }
        Rule& withPayload(const QByteArray& bytes)
        {
            payload = bytes;
            return *this;
        }
        Rule& withLength(int bytes)
        {
            length = bytes;
            return *this;
        }
        Rule& answeringAs(uint8_t command_, uint8_t subCommand_)
        {
            answerCommand = command_;
            answerSubCommand = subCommand_;
            return *this;
        }
    };

    // One report the program wrote, as the device received it.
    struct Request
    {
        std::chrono::steady_clock::time_point at;
        qint64 msSinceStart = 0; // since the simulator was created
        int writeLength = 0;     // bytes of the write() call, report id included
        QByteArray report;       // the written bytes without the leading report id
        uint8_t sequence = 0;    // envelope byte 2 (after the report id)
        bool decoded = false;
        QString error; // decoding failure text
        uint8_t command = 0;
        uint8_t subCommand = 0;
        QByteArray payload;
        int plugNumber = 0; // which plug (0 first) it arrived on
    };

    // One input report the device handed to the program (written once the previous one was read).
    struct Answer
    {
        std::chrono::steady_clock::time_point at;
        qint64 msSinceStart = 0;
        QByteArray report; // 64 bytes as delivered
        uint8_t command = 0;
        uint8_t subCommand = 0;
        bool injected = false;        // from injectReport / injectGarbage / sendAnswer
        qint64 readMsSinceStart = -1; // when the program's read() took it; -1 not yet
    };

    SimulatedPowerBank(); // default identity and model, plugged
    explicit SimulatedPowerBank(const Identity& identity, bool plugNow = true);
    SimulatedPowerBank(const Model& model, const Identity& identity, bool plugNow = true);
    ~SimulatedPowerBank();
    SimulatedPowerBank(const SimulatedPowerBank&) = delete;
    SimulatedPowerBank& operator=(const SimulatedPowerBank&) = delete;

    // True when libumockdev-preload is loaded into this process (needed when the program's
    // hidapi runs in the same process).
    static bool inMockEnvironment();
    // The testbed's root ($UMOCKDEV_DIR), for a child program started under the preload.
    QString umockdevDir() const;

    // Device presence. plug() adds the device (hidraw0 first, then hidraw1, ...); false when
    // already plugged or the testbed refused it. unplug() sends "remove", removes the nodes and
    // hangs up the line: reads fail with "device disconnected", writes with ENODEV.
    bool plug();
    void unplug();
    bool isPlugged() const;
    int plugCount() const;      // successful plugs so far
    QString devicePath() const; // "/dev/hidrawN" of the current or last plug
    int openHandles() const;    // handles the program holds on the node now

    // The model.
    void update(const std::function<void(Model&)>& change);
    Model model() const;

    // Faults.
    void addRule(const Rule& rule);
    void clearRules();
    void setDefaultLatencyMs(int ms); // every answer
    void setSilent(bool silent);      // answer nothing at all while set
    // Runs for every decoded request as it arrives, before its answer is built from the model it
    // is given, so a test can change the device at an exact point of the exchange (a log that
    // grows between the statistics and the record requests, say). It runs on the simulator's
    // side with its lock held and must not call the simulator. An empty function removes it.
    void setRequestHook(std::function<void(const Request&, Model&)> hook);
    // The program's next `count` write() calls on the node fail with errorNumber (or, when it is
    // 0, return 0 bytes written); nothing reaches the device. Likewise the next `count` read()
    // calls that find a report waiting; the report stays for the next read.
    void failWrites(int count, int errorNumber);
    void failReads(int count, int errorNumber);
    int failedWrites() const; // write() calls failed so far
    int failedReads() const;

    // Reports the device sends by itself (queued behind pending answers, one in flight).
    void injectReport(const QByteArray& report); // as given, padded/cut to 64 bytes
    void injectGarbage(int count = 1);
    void sendAnswer(uint8_t command, uint8_t subCommand, const QByteArray& payload);
    // Unasked reports at up to reportsPerSecond (0 stops) for as long as it is set: `report`
    // (padded/cut to 64 bytes), or fresh garbage each time when empty. They fill the line between
    // the device's answers, which still go out as soon as they are due, so the program finds a
    // report waiting at every read. Recorded as injected answers.
    void setFlood(int reportsPerSecond, const QByteArray& report = QByteArray());
    // Queued delivery: every report goes out as soon as it is due and waits behind the ones not
    // yet read, however fast the device sends and however slowly the program reads, as a device
    // that floods a hidraw node fills its buffer; each read() takes exactly one whole report.
    // Off (the default): one report in flight.
    void setQueuedDelivery(bool queued);
    int reportsWaiting() const; // queued delivery: sent and not yet read
    // Nothing due or waiting to be sent (a flood sends on), and every report sent has been read.
    bool deliveredAll() const;

    // What happened.
    QList<Request> requests() const;
    QList<Request> requestsFor(int command, int subCommand = -1) const;
    int requestCount() const;
    QList<Answer> answers() const;
    void clearRecords();
    std::optional<uint64_t> lastClockSet() const; // seconds of the last 0xA1/0x01 received

    // Waits until the predicate holds, spinning the Qt event loop (when there is an application
    // object) so the program under test keeps running. False on time-out.
    bool waitFor(const std::function<bool(const QList<Request>&)>& predicate, int timeoutMs = 5000) const;
    bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) const;
    bool waitForRequest(int command, int subCommand = -1, int count = 1, int timeoutMs = 5000) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tessaravolt::sim
