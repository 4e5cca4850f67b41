// glib names a member `signals`: it must be seen before Qt defines the keyword.
#include <umockdev.h>

#include "simulated_power_bank.h"

#include "common/checksum_util.h"
#include "protocol/commands.h"
#include "protocol/frame_codec.h"
#include "protocol/payload.h"
#include "sim/device_codec.h"
#include "transport/hid_bridge.h"

#include <QCoreApplication>
#include <QThread>

#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

namespace tessaravolt::sim {

namespace {

namespace command = protocol::command;
namespace static_info = protocol::static_info;
namespace events = protocol::events;
namespace settings = protocol::settings;
namespace cell_status = protocol::cell_status;
using Clock = std::chrono::steady_clock;

std::atomic<bool> sInstanceAlive{false};

static_assert(SimulatedPowerBank::kDefaultVendorId == transport::kSupportedVendorIds[0],
              "the simulated power bank answers to the program's first vendor id by default");

// Vendor-defined page 0xFF00, usage 1: one 64-byte input and one 64-byte output report, no id.
const uint8_t kReportDescriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00,
                                     0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01,
                                     0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0};

// The preload reroutes ioctl() for the program; the simulator's own pty calls bypass it.
int rawIoctl(int fd, unsigned long request, void* arg)
{
    return static_cast<int>(syscall(SYS_ioctl, fd, request, arg));
}

void putLe16(QByteArray& out, uint16_t v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void putLe32(QByteArray& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

void putLe64(QByteArray& out, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

uint64_t getLe(const QByteArray& in, int offset, int width)
{
    uint64_t v = 0;
    for (int i = 0; i < width; ++i)
        v |= uint64_t(uint8_t(in.at(offset + i))) << (8 * i);
    return v;
}

QByteArray encodeRecord(const SimulatedPowerBank::EventRecord& r)
{
    QByteArray out;
    putLe16(out, r.seq);
    putLe64(out, r.ts);
    out.append(char(((r.type & 0x03) << 4) | (r.status & 0x0F)));
    out.append('\0');
    out.append(char(r.info));
    out.append('\0');
    putLe16(out, uint16_t(r.code));
    return out;
}

QByteArray textPayload(const QString& text, int room)
{
    return text.toUtf8().left(room);
}

uint8_t secondPartOf(uint8_t firstSub)
{
    switch (firstSub) {
    case static_info::kOriginManufacturer1: return static_info::kOriginManufacturer2;
    case static_info::kAppTitle1: return static_info::kAppTitle2;
    case static_info::kBatteryManufacturerCn1: return static_info::kBatteryManufacturerCn2;
    default: return 0;
    }
}

bool isTextSubCommand(uint8_t sub)
{
    switch (sub) {
    case static_info::kBrand: case static_info::kFactory: case static_info::kBatteryManufacturer:
    case static_info::kProductSn: case static_info::kBatteryType: case static_info::kProductionDate:
    case static_info::kModel: case static_info::kProductName: case static_info::kHardwareVersion:
    case static_info::kSoftwareVersion: case static_info::kBatteryModel:
    case static_info::kOriginManufacturer1: case static_info::kOriginManufacturer2:
    case static_info::kAppTitle1: case static_info::kAppTitle2:
    case static_info::kBatteryManufacturerCn1: case static_info::kBatteryManufacturerCn2:
        return true;
    default:
        return false;
    }
}

QByteArray frameBytes(const protocol::Frame& f)
{
    return QByteArray(reinterpret_cast<const char*>(f.data), qsizetype(f.size));
}

} // namespace

// ---- Model helpers ----

void SimulatedPowerBank::Model::setText(uint8_t subCommand, const QString& text)
{
    texts[subCommand] = textPayload(text, int(protocol::kMaxPayloadLength));
}

void SimulatedPowerBank::Model::setTwoPartText(uint8_t firstSub, const QString& text, int splitAt)
{
    const QByteArray bytes = text.toUtf8();
    const int max = int(protocol::kMaxPayloadLength);
    int split = splitAt;
    if (split < 0)
        split = bytes.size() > max ? max : bytes.size() / 2;
    split = std::clamp(split, 0, max);
    texts[firstSub] = bytes.left(split);
    texts[secondPartOf(firstSub)] = bytes.mid(split).left(max);
}

void SimulatedPowerBank::Model::prependEvent(uint8_t type, EventRecord record)
{
    EventLog& l = log(type);
    record.type = type;
    if (record.seq == 0)
        record.seq = l.nextSeq++;
    else
        l.nextSeq = uint16_t(record.seq + 1);
    if (l.nextSeq == 0)
        l.nextSeq = 1;
    l.records.prepend(record);
    const int cap = l.capacity ? int(l.capacity) : 65535;
    while (l.records.size() > cap)
        l.records.removeLast();
}

void SimulatedPowerBank::Model::clearEventLog(uint8_t type, bool keepNo)
{
    EventLog& l = log(type);
    l.records.clear();
    if (!keepNo)
        ++l.no;
}

uint64_t SimulatedPowerBank::Model::clockNow() const
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - clockSetAt).count();
    return clockSeconds + uint64_t(std::max<int64_t>(0, elapsed));
}

SimulatedPowerBank::Model SimulatedPowerBank::demoModel()
{
    Model m;
    m.setText(static_info::kBrand, QStringLiteral("Tessaravolt"));
    m.setText(static_info::kFactory, QStringLiteral("Tessaravolt Works Shenzhen"));
    m.setText(static_info::kBatteryManufacturer, QStringLiteral("Cellforge Energy"));
    m.setText(static_info::kProductSn, QStringLiteral("TV25K140-0001234"));
    m.setText(static_info::kBatteryType, QStringLiteral("Li-ion NMC 21700"));
    m.setText(static_info::kProductionDate, QStringLiteral("2025-06-18"));
    m.setText(static_info::kModel, QStringLiteral("TV-25K140"));
    m.setText(static_info::kProductName, QStringLiteral("Tessaravolt 25K 140W"));
    m.setText(static_info::kHardwareVersion, QStringLiteral("HW 1.2"));
    m.setText(static_info::kSoftwareVersion, QStringLiteral("FW 1.0.8"));
    m.setText(static_info::kBatteryModel, QStringLiteral("CF-21700-50E"));
    m.setTwoPartText(static_info::kOriginManufacturer1, QStringLiteral("Cellforge Energy Technology Co., Ltd., Battery Division, Dongguan"));
    m.setTwoPartText(static_info::kAppTitle1, QStringLiteral("Tessaravolt 25000 mAh 140 W Power Bank"));
    m.setTwoPartText(static_info::kBatteryManufacturerCn1, QString::fromUtf8("\xe8\x8a\xaf\xe9\x94\xbb\xe8\x83\xbd\xe6\xba\x90\xe7\xa7\x91\xe6\x8a\x80"
                                             "\xe6\x9c\x89\xe9\x99\x90\xe5\x85\xac\xe5\x8f\xb8"));
    m.battery = BatteryInfo{};
    m.portCount = 4;
    for (uint8_t i = 0; i < m.battery.cellCount; ++i) {
        m.cellSerials[i] = QStringLiteral("CF50E%1").arg(240601 + i);
        m.cellActivations[i] = QStringLiteral("2025-06-%1 09:30:00").arg(20 + i);
    }
    m.soc = 76;
    m.soh = 98;
    m.cycles = 37;
    m.currentEvent = EventRecord{120, 1760000000, 0, 0, 3, 0};
    // Entry 0 is the pack (its temperature is what the health page shows), entries 1.. the cells.
    m.cellDetails.append(CellDetail{0, 15590, 1200, 291});
    for (uint8_t i = 1; i <= m.battery.cellCount; ++i)
        m.cellDetails.append(CellDetail{i, uint16_t(3890 + 5 * i), 1200, int16_t(288 + i)});
    // APPLE2.4, QC2.0-QC4.0, AFC, FCP, SCP, UFCS, PD2.0-PD3.1, BC1.2, PD, QC, BPP, QI.
    m.supportedProtocols = 0x08273AEFu;
    // Type 2 A, 1 C, 3 W; status 0 idle, 1 input, 2 output; protocols QC3.0, PD3.0, PD3.0;
    // ratings in tenths of a watt.
    m.ports = {
        Port{0, 2, 2, 5000, 2100, 305, 7, 120},
        Port{1, 1, 1, 20000, 3000, 318, 33, 1000},
        Port{2, 2, 1, 9000, 2200, 312, 33, 300},
        Port{3, 0, 3, 0, 0, 296, 0, 150},
    };
    m.clockSeconds = uint64_t(std::time(nullptr));
    m.clockSetAt = Clock::now();
    m.activityLog.no = 3;
    m.abnormalLog.no = 1;
    const uint64_t base = 1760000000;
    // Activity: a port connects, charging starts and ends, the port disconnects; the events of
    // each port in turn (A 6/7, C1 8/9, C2 11/10, W 12/13), input and output alike.
    struct Episode { uint8_t connect, disconnect, start, end, status; };
    const Episode episodes[] = {{6, 7, 2, 3, 1}, {8, 9, 0, 1, 2}, {11, 10, 2, 3, 1}, {12, 13, 2, 3, 1},
                                {8, 9, 4, 5, 3}, {11, 10, 0, 1, 2}};
    for (int i = 0; i < 36; ++i) {
        const Episode& e = episodes[(i / 4) % 6];
        const uint8_t info[] = {e.connect, e.start, e.end, e.disconnect};
        const int16_t minutes[] = {0, 0, int16_t(20 + 7 * (i % 5)), 0};
        m.prependEvent(0, EventRecord{0, base + uint64_t(i) * 1500, uint8_t(i % 4 == 0 || i % 4 == 3 ? 0 : e.status),
                                      0, info[i % 4], minutes[i % 4]});
    }
    // Abnormal: each protection once or twice, with the value it was raised for (temperatures in
    // tenths of a degree, voltages in mV, currents in mA).
    const std::pair<uint8_t, int16_t> faults[] = {{0, 612}, {4, 9850}, {1, -105}, {2, 17250}, {3, 11020},
                                                  {5, 410},  {0, 587}, {4, 10120}, {1, -52}, {0, 604},
                                                  {2, 17100}, {3, 11300}};
    for (int i = 0; i < 12; ++i)
        m.prependEvent(1, EventRecord{0, base + 1800 + uint64_t(i) * 7200, uint8_t(i % 3), 1, faults[i].first,
                                      faults[i].second});
    return m;
}

// ---- The simulator ----

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
    bool inFlight = false;      // an input report written and not yet read
    uint64_t readCalls = 0;     // read() calls of the program on the current node
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

    // ---- umockdev callbacks (the testbed's worker thread) ----

    static bool isCurrent(Plug* p) { return p->impl->plugged && p->number == p->impl->plugNumber; }

    static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
    {
        auto* p = static_cast<Plug*>(data);
        Impl* self = p->impl;
        bool current;
        Identity id;
        {
            std::lock_guard lock(self->mutex);
            current = isCurrent(p);
            id = self->identity;
        }
        if (!current) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return TRUE;
        }
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        GError* error = nullptr;
        if (request == HIDIOCGRDESCSIZE) {
            UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), &error);
            if (!out) {
                g_clear_error(&error);
                umockdev_ioctl_client_complete(client, -1, EFAULT);
                return TRUE;
            }
            const int size = int(sizeof kReportDescriptor);
            std::memcpy(out->data, &size, sizeof size);
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        if (request == HIDIOCGRDESC) {
            UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_report_descriptor), &error);
            if (!out) {
                g_clear_error(&error);
                umockdev_ioctl_client_complete(client, -1, EFAULT);
                return TRUE;
            }
            hidraw_report_descriptor desc{};
            desc.size = sizeof kReportDescriptor;
            std::memcpy(desc.value, kReportDescriptor, sizeof kReportDescriptor);
            std::memcpy(out->data, &desc, sizeof desc);
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        if (request == HIDIOCGRAWINFO) {
            UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_devinfo), &error);
            if (!out) {
                g_clear_error(&error);
                umockdev_ioctl_client_complete(client, -1, EFAULT);
                return TRUE;
            }
            hidraw_devinfo info{};
            info.bustype = 3;
            info.vendor = int16_t(id.vendorId);
            info.product = int16_t(id.productId);
            std::memcpy(out->data, &info, sizeof info);
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return TRUE;
    }

    static gboolean onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
    {
        auto* p = static_cast<Plug*>(data);
        bool current;
        {
            std::lock_guard lock(p->impl->mutex);
            current = isCurrent(p);
        }
        if (current) {
            std::lock_guard lock(p->impl->mutex);
            Impl* self = p->impl;
            if (self->readFaults > 0) {
                --self->readFaults;
                ++self->readsFailed;
                umockdev_ioctl_client_complete(client, -1, self->readFaultErrno);
                return TRUE;
            }
            ++self->readCalls;
            return FALSE; // the pty delivers it
        }
        umockdev_ioctl_client_complete(client, -1, EIO);
        return TRUE;
    }

    static gboolean onWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
    {
        auto* p = static_cast<Plug*>(data);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        const QByteArray written(reinterpret_cast<const char*>(arg->data), arg->data_len);
        Impl* self = p->impl;
        {
            std::lock_guard lock(self->mutex);
            if (!isCurrent(p)) {
                umockdev_ioctl_client_complete(client, -1, ENODEV);
                return TRUE;
            }
            if (self->writeFaults > 0) {
                --self->writeFaults;
                ++self->writesFailed;
                if (self->writeFaultErrno == 0)
                    umockdev_ioctl_client_complete(client, 0, 0);
                else
                    umockdev_ioctl_client_complete(client, -1, self->writeFaultErrno);
                return TRUE;
            }
            self->handleWrite(written, p->number);
        }
        self->wake.notify_all();
        umockdev_ioctl_client_complete(client, arg->data_len, 0);
        return TRUE;
    }

    // client-vanished does not come for a handle closed under the preload; its "connected"
    // property does drop, so the serving thread looks at it.
    static void onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
    {
        auto* p = static_cast<Plug*>(data);
        std::lock_guard lock(p->impl->mutex);
        if (isCurrent(p))
            p->impl->clients.push_back(static_cast<UMockdevIoctlClient*>(g_object_ref(client)));
    }

    // Called with `mutex` held.
    void reapClients()
    {
        const size_t before = clients.size();
        clients.erase(std::remove_if(clients.begin(), clients.end(),
                                     [](UMockdevIoctlClient* c) {
                                         if (umockdev_ioctl_client_get_connected(c))
                                             return false;
                                         g_object_unref(c);
                                         return true;
                                     }),
                      clients.end());
        if (before > 0 && clients.empty()) {
            // hidraw keeps a buffer per open handle: nothing waits for the next opener.
            outgoing.erase(std::remove_if(outgoing.begin(), outgoing.end(),
                                          [](const Outgoing& o) { return !o.report.isEmpty(); }),
                           outgoing.end());
            if (slaveFd >= 0)
                rawIoctl(slaveFd, TCFLSH, reinterpret_cast<void*>(TCIFLUSH));
            inFlight = false;
        }
    }

    void releaseClients()
    {
        for (UMockdevIoctlClient* c : clients)
            g_object_unref(c);
        clients.clear();
    }

    // ---- Requests and answers (called with `mutex` held) ----

    void handleWrite(const QByteArray& written, int plug)
    {
        Request r;
        r.at = Clock::now();
        r.msSinceStart = sinceStart(r.at);
        r.writeLength = int(written.size());
        r.plugNumber = plug;
        // hidraw drops the report id; the pty passes it through.
        r.report = written.mid(1);
        if (r.report.size() > 2)
            r.sequence = uint8_t(r.report.at(2));
        auto frame = sim::decodeRequestFrame(reinterpret_cast<const uint8_t*>(r.report.constData()),
                                                   size_t(r.report.size()));
        if (frame->size == 0) {
            r.error = frame->error;
            requests.append(r);
            return;
        }
        r.decoded = true;
        r.command = frame->data[1];
        r.subCommand = frame->data[2];
        r.payload = QByteArray(reinterpret_cast<const char*>(frame->data + 4), frame->data[3]);
        requests.append(r);
        applySideEffects(r);
        if (requestHook)
            requestHook(r, model);
        if (silent)
            return;
        answer(r);
    }

    void applySideEffects(const Request& r)
    {
        if (r.command != command::kConfig)
            return;
        if (r.subCommand == settings::kClock && r.payload.size() >= 8) {
            const uint64_t secs = getLe(r.payload, 0, 8);
            lastClockSet = secs;
            if (model.setClockResult == 0) {
                model.clockSeconds = secs;
                model.clockSetAt = Clock::now();
            }
        } else if (r.subCommand == settings::kBrightness && r.payload.size() >= 1) {
            if (model.setBrightnessResult == 0)
                model.brightness = uint8_t(r.payload.at(0));
        } else if (r.subCommand == settings::kScreenTimeout && r.payload.size() >= 2) {
            if (model.setScreenTimeoutResult == 0)
                model.screenTimeout = uint16_t(getLe(r.payload, 0, 2));
        }
    }

    std::optional<QByteArray> modelPayload(uint8_t command, uint8_t sub, const QByteArray& request) const
    {
        QByteArray out;
        switch (command) {
        case command::kStaticInfo:
            if (isTextSubCommand(sub))
                return model.texts.value(sub).left(int(protocol::kMaxPayloadLength));
            if (sub == static_info::kBatteryInfo) {
                out.append(char(model.battery.cellCount));
                putLe32(out, model.battery.capacityMah);
                putLe32(out, model.battery.voltageMv);
                putLe16(out, model.battery.powerW);
                putLe16(out, model.battery.cycleRated);
                putLe16(out, model.battery.fullVoltageMv);
                return out;
            }
            if (sub == static_info::kPortCount) {
                out.append(char(model.portCount));
                return out;
            }
            if (sub == static_info::kSupportedProtocols) {
                putLe32(out, model.supportedProtocols);
                return out;
            }
            if (sub == static_info::kCellSn) {
                const uint8_t index = request.isEmpty() ? 0 : uint8_t(request.at(0));
                out.append(char(index));
                out.append(textPayload(model.cellSerials.value(index), int(protocol::kMaxPayloadLength) - 1));
                return out;
            }
            break;
        case command::kEvents:
            if (sub == events::kStatistics) {
                out.append(char(model.abnormalLog.no));
                out.append(char(model.activityLog.no));
                putLe16(out, uint16_t(std::min<qsizetype>(model.abnormalLog.records.size(), 65535)));
                putLe16(out, uint16_t(std::min<qsizetype>(model.activityLog.records.size(), 65535)));
                putLe16(out, uint16_t(model.maxTemp));
                putLe16(out, uint16_t(model.minTemp));
                putLe16(out, model.maxVoltage);
                putLe16(out, model.minVoltage);
                putLe16(out, model.maxCharge);
                putLe16(out, model.maxDischarge);
                return out;
            }
            if (sub == events::kRecords) {
                if (request.size() < 4)
                    return out;
                const uint8_t type = uint8_t(request.at(0));
                if (type > events::kAbnormalLog)
                    return out;
                const int first = int(getLe(request, 1, 2));
                const int count = std::min(int(uint8_t(request.at(3))), protocol::kMaxEventRecordsPerAnswer);
                const EventLog& l = model.log(type);
                for (int i = first; i < first + count && i < l.records.size(); ++i)
                    out.append(encodeRecord(l.records.at(i)));
                return out;
            }
            break;
        case command::kDeviceSettings:
            if (sub == settings::kClock) {
                putLe64(out, model.clockNow());
                return out;
            }
            if (sub == settings::kBrightness) {
                out.append(char(model.brightness));
                return out;
            }
            if (sub == settings::kScreenTimeout) {
                putLe16(out, model.screenTimeout);
                return out;
            }
            break;
        case command::kCellStatus:
            switch (sub) {
            case cell_status::kSoc: out.append(char(model.soc)); return out;
            case cell_status::kSoh: out.append(char(model.soh)); return out;
            case cell_status::kCycleCount: putLe16(out, model.cycles); return out;
            case cell_status::kCurrentEvent: return encodeRecord(model.currentEvent);
            case cell_status::kActivation: {
                const uint8_t index = request.isEmpty() ? 0 : uint8_t(request.at(0));
                out.append(char(index));
                out.append(textPayload(model.cellActivations.value(index), int(protocol::kMaxPayloadLength) - 1));
                return out;
            }
            default: break;
            }
            break;
        case command::kCellDetail:
            if (sub == protocol::kNoSubCommand) {
                for (const CellDetail& c : model.cellDetails) {
                    if (out.size() + protocol::kCellDetailRecordLength > int(protocol::kMaxPayloadLength))
                        break;
                    out.append(char(c.index));
                    putLe16(out, c.voltageMv);
                    putLe16(out, c.currentMa);
                    putLe16(out, uint16_t(c.tempC));
                    out.append('\0');
                }
                return out;
            }
            break;
        case command::kPortInfo:
            if (sub == protocol::kNoSubCommand) {
                const int position = request.size() >= 1 ? uint8_t(request.at(0)) : 0;
                const int amount = request.size() >= 2 ? uint8_t(request.at(1)) : 4;
                for (const Port& p : model.ports) {
                    if (p.index < position || p.index >= position + amount)
                        continue;
                    if (out.size() + protocol::kPortRecordLength > int(protocol::kMaxPayloadLength))
                        break;
                    out.append(char(p.index));
                    out.append(char(((p.status & 0x0F) << 4) | (p.type & 0x0F)));
                    putLe16(out, p.voltageMv);
                    putLe16(out, p.currentMa);
                    putLe16(out, uint16_t(p.tempC));
                    out.append(char(p.protocol));
                    putLe16(out, p.powerW);
                    out.append('\0');
                }
                return out;
            }
            break;
        case command::kConfig:
            if (sub == settings::kClock) { out.append(char(model.setClockResult)); return out; }
            if (sub == settings::kBrightness) { out.append(char(model.setBrightnessResult)); return out; }
            if (sub == settings::kScreenTimeout) { out.append(char(model.setScreenTimeoutResult)); return out; }
            break;
        default:
            return std::nullopt;
        }
        if (model.answerUnknownSubCommands)
            return QByteArray();
        return std::nullopt;
    }

    static bool matches(const Rule& rule, const Request& r)
    {
        return rule.remaining != 0 && (rule.command < 0 || rule.command == r.command)
            && (rule.subCommand < 0 || rule.subCommand == r.subCommand);
    }

    QByteArray buildReport(uint8_t command, uint8_t sub, QByteArray payload, Action corruption)
    {
        payload = payload.left(int(protocol::kMaxPayloadLength));
        const uint8_t seq = answerSequence++;
        const auto* bytes = reinterpret_cast<const uint8_t*>(payload.constData());
        if (corruption == Action::Garbage) {
            QByteArray g(int(protocol::kInputReportLength), '\0');
            for (char& c : g)
                c = char(random() & 0xFF);
            if (uint8_t(g.at(0)) == 0xAA && uint8_t(g.at(1)) == 0x55)
                g[1] = 0x56;
            return g;
        }
        if (corruption == Action::BadInnerCrc || corruption == Action::BadInnerHeader) {
            QByteArray plain;
            plain.append(char(0xAA));
            plain.append(char(command));
            plain.append(char(sub));
            plain.append(char(payload.size()));
            plain.append(payload);
            uint16_t crc = common::crc16(reinterpret_cast<const uint8_t*>(plain.constData()) + 1, size_t(plain.size() - 1));
            if (corruption == Action::BadInnerCrc)
                crc ^= 0xFFFF;
            else
                plain[0] = char(0xAB);
            putLe16(plain, crc);
            auto f = sim::encodeAnswerEnvelope(seq, reinterpret_cast<const uint8_t*>(plain.constData()),
                                                    size_t(plain.size()));
            return frameBytes(*f);
        }
        auto f = sim::encodeAnswerFrame(command, sub, seq, bytes, size_t(payload.size()));
        QByteArray report = frameBytes(*f);
        if (report.isEmpty())
            return report;
        if (corruption == Action::BadOuterCrc) {
            const int m = uint8_t(report.at(3));
            report[4 + m] = char(report.at(4 + m) ^ 0xFF);
        } else if (corruption == Action::BadOuterHeader) {
            report[0] = char(0xAB);
        }
        return report;
    }

    void answer(const Request& r)
    {
        int latency = defaultLatencyMs;
        bool drop = false, unplugBefore = false, unplugAfter = false;
        std::optional<QByteArray> replace;
        int truncate = -1;
        Action corruption = Action::Latency; // none
        uint8_t command = r.command, sub = r.subCommand;
        for (Rule& rule : rules) {
            if (!matches(rule, r))
                continue;
            if (rule.remaining > 0)
                --rule.remaining;
            switch (rule.action) {
            case Action::Latency: latency += rule.latencyMs; break;
            case Action::Drop: drop = true; break;
            case Action::ReplacePayload: replace = rule.payload; break;
            case Action::TruncatePayload: truncate = rule.length; break;
            case Action::BadOuterCrc:
            case Action::BadInnerCrc:
            case Action::BadOuterHeader:
            case Action::BadInnerHeader:
            case Action::Garbage: corruption = rule.action; break;
            case Action::UnplugAfter: unplugAfter = true; break;
            case Action::UnplugBefore: unplugBefore = true; break;
            case Action::AnswerAs:
                command = rule.answerCommand;
                sub = rule.answerSubCommand;
                break;
            }
            latency += rule.action == Action::Latency ? 0 : rule.latencyMs;
        }
        if (unplugBefore) {
            unplugRequested = true;
            return;
        }
        const Clock::time_point due = r.at + std::chrono::milliseconds(std::max(0, latency));
        if (!drop) {
            std::optional<QByteArray> payload = replace ? replace : modelPayload(r.command, r.subCommand, r.payload);
            if (payload) {
                if (truncate >= 0)
                    *payload = payload->left(truncate);
                QByteArray report = buildReport(command, sub, *payload, corruption);
                if (!report.isEmpty())
                    outgoing.push_back(Outgoing{report, due, command, sub, false});
            }
        }
        if (unplugAfter)
            outgoing.push_back(Outgoing{QByteArray(), due, 0, 0, false});
    }

    void queueInjected(QByteArray report)
    {
        report = report.left(int(protocol::kInputReportLength));
        report.append(QByteArray(int(protocol::kInputReportLength) - report.size(), '\0'));
        outgoing.push_back(Outgoing{report, Clock::now(), 0, 0, true});
    }

    // ---- Serving thread ----

    int pendingForHost() const
    {
        int n = 0;
        if (slaveFd < 0 || rawIoctl(slaveFd, FIONREAD, &n) != 0)
            return 0;
        return n;
    }

    void serve()
    {
        while (running.load()) {
            std::unique_lock lock(mutex);
            if (unplugRequested) {
                unplugRequested = false;
                lock.unlock();
                doUnplug();
                continue;
            }
            if (masterFd >= 0 && plugged) {
                // Nothing arrives here (writes are taken by the handler); keep the line clear anyway.
                pollfd pfd{masterFd, POLLIN, 0};
                if (poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN)) {
                    char sink[256];
                    [[maybe_unused]] ssize_t ignored = read(masterFd, sink, sizeof sink);
                }
            }
            if (plugged)
                reapClients();
            if (inFlight) {
                // Written to the line is not yet read: the program polls, then reads, so a read
                // call after the write with nothing left in the line means it took the report.
                if (readCalls > readCallsAtWrite && pendingForHost() == 0) {
                    inFlight = false;
                } else {
                    lock.unlock();
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                    continue;
                }
            }
            if (plugged && floodPerSecond > 0 && !clients.empty()) {
                const auto now = Clock::now();
                if ((outgoing.empty() || outgoing.front().due > now) && now >= nextFloodAt) {
                    nextFloodAt = now + std::chrono::microseconds(1'000'000 / floodPerSecond);
                    QByteArray report = floodReport.isEmpty() ? buildReport(0, 0, QByteArray(), Action::Garbage)
                                                              : floodReport;
                    outgoing.push_front(Outgoing{report, now, 0, 0, true});
                } else if (outgoing.empty() || outgoing.front().due > now) {
                    wake.wait_until(lock, nextFloodAt);
                    continue;
                }
            }
            if (!plugged || outgoing.empty()) {
                wake.wait_for(lock, std::chrono::milliseconds(20));
                continue;
            }
            const auto now = Clock::now();
            Outgoing& next = outgoing.front();
            if (next.due > now) {
                wake.wait_until(lock, std::min(next.due, now + std::chrono::milliseconds(20)));
                continue;
            }
            Outgoing item = next;
            outgoing.pop_front();
            if (item.report.isEmpty()) {
                lock.unlock();
                doUnplug();
                continue;
            }
            // One report in flight: a pty would run two together.
            readCallsAtWrite = readCalls;
            const ssize_t n = write(masterFd, item.report.constData(), size_t(item.report.size()));
            if (n == item.report.size()) {
                inFlight = true;
                Answer a;
                a.at = Clock::now();
                a.msSinceStart = sinceStart(a.at);
                a.report = item.report;
                a.command = item.command;
                a.subCommand = item.subCommand;
                a.injected = item.injected;
                answers.append(a);
            }
        }
    }

    // ---- Plugging ----

    QByteArray describe(int number) const
    {
        const QByteArray vid = QByteArray::number(identity.vendorId, 16).rightJustified(4, '0');
        const QByteArray pid = QByteArray::number(identity.productId, 16).rightJustified(4, '0');
        const QByteArray usb = "/devices/pci0000:00/0000:00:14.0/usb1/1-" + QByteArray::number(number + 1);
        const QByteArray intf = usb + "/1-" + QByteArray::number(number + 1) + ":1.0";
        const QByteArray hidName = "0003:" + vid.toUpper() + ":" + pid.toUpper() + "."
            + QByteArray::number(number + 1, 16).rightJustified(4, '0').toUpper();
        const QByteArray hid = intf + "/" + hidName;
        const QByteArray node = "hidraw" + QByteArray::number(number);
        const QByteArray raw = hid + "/hidraw/" + node;
        const QByteArray descriptor = QByteArray(reinterpret_cast<const char*>(kReportDescriptor),
                                                 sizeof kReportDescriptor).toHex();
        QByteArray d;
        d += "P: " + raw + "\nN: " + node + "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/" + node
            + "\nL: device=../../../" + hidName + "\n\n";
        d += "P: " + hid + "\nE: SUBSYSTEM=hid\nE: HID_ID=0003:0000" + vid.toUpper() + ":0000" + pid.toUpper()
            + "\nE: HID_NAME=" + identity.manufacturer.toUtf8() + " " + identity.product.toUtf8()
            + "\nE: HID_UNIQ=" + identity.serial.toUtf8() + "\nE: HID_PHYS=usb-0000:00:14.0-"
            + QByteArray::number(number + 1) + "/input0\nH: report_descriptor=" + descriptor + "\n\n";
        d += "P: " + intf + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nA: bInterfaceNumber="
            + QByteArray::number(identity.interfaceNumber, 16).rightJustified(2, '0')
            + "\nA: bInterfaceClass=03\n\n";
        d += "P: " + usb + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=" + vid + "\nA: idProduct=" + pid
            + "\nA: bcdDevice=" + QByteArray::number(identity.release, 16).rightJustified(4, '0')
            + "\nA: manufacturer=" + identity.manufacturer.toUtf8() + "\nA: product=" + identity.product.toUtf8()
            + "\nA: serial=" + identity.serial.toUtf8() + "\nA: busnum=1\nA: devnum="
            + QByteArray::number(number + 2) + "\n";
        return d;
    }

    bool doPlug()
    {
        std::lock_guard plugLock(plugMutex);
        int number;
        {
            std::lock_guard lock(mutex);
            if (plugged)
                return false;
            number = plugNumber + 1;
        }
        const QByteArray description = describe(number);
        GError* error = nullptr;
        if (!umockdev_testbed_add_from_string(testbed, description.constData(), &error)) {
            std::fprintf(stderr, "simulated power bank: adding the device failed: %s\n", error ? error->message : "?");
            g_clear_error(&error);
            return false;
        }
        const QByteArray node = "/dev/hidraw" + QByteArray::number(number);
        const QByteArray usb = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + QByteArray::number(number + 1);
        const QByteArray raw = description.mid(3, description.indexOf('\n') - 3).prepend("/sys");

        auto plug = std::make_unique<Plug>();
        plug->impl = this;
        plug->number = number;
        plug->handler = umockdev_ioctl_base_new();
        g_signal_connect(plug->handler, "handle-ioctl", G_CALLBACK(onIoctl), plug.get());
        g_signal_connect(plug->handler, "handle-read", G_CALLBACK(onRead), plug.get());
        g_signal_connect(plug->handler, "handle-write", G_CALLBACK(onWrite), plug.get());
        g_signal_connect(plug->handler, "client-connected", G_CALLBACK(onConnected), plug.get());
        if (!umockdev_testbed_attach_ioctl(testbed, node.constData(), plug->handler, &error)) {
            std::fprintf(stderr, "simulated power bank: attaching the handler failed: %s\n", error ? error->message : "?");
            g_clear_error(&error);
            umockdev_testbed_remove_device(testbed, raw.constData());
            umockdev_testbed_remove_device(testbed, usb.constData());
            return false;
        }
        const int master = umockdev_testbed_get_dev_fd(testbed, node.constData());
        // A child process holding the master end would keep the line from hanging up.
        if (master >= 0)
            ::fcntl(master, F_SETFD, ::fcntl(master, F_GETFD) | FD_CLOEXEC);
        // The simulator's own end of the line: raw mode, and FIONREAD tells what the program
        // has not read yet.
        int slave = -1;
        if (master >= 0) {
            const char* name = ptsname(master);
            if (name)
                slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        }
        if (slave >= 0) {
            termios t{};
            if (rawIoctl(slave, TCGETS, &t) == 0) {
                cfmakeraw(&t);
                rawIoctl(slave, TCSETS, &t);
            }
            struct stat st{};
            if (fstat(slave, &st) == 0) {
                const QByteArray majMin = QByteArray::number(major(st.st_rdev)) + ":" + QByteArray::number(minor(st.st_rdev));
                umockdev_testbed_set_attribute(testbed, raw.constData(), "dev", majMin.constData());
                umockdev_testbed_set_property(testbed, raw.constData(), "MAJOR", QByteArray::number(major(st.st_rdev)).constData());
                umockdev_testbed_set_property(testbed, raw.constData(), "MINOR", QByteArray::number(minor(st.st_rdev)).constData());
                const QByteArray charDir = rootDir.toUtf8() + "/sys/dev/char";
                g_mkdir_with_parents(charDir.constData(), 0755);
                const QByteArray link = charDir + "/" + majMin;
                ::unlink(link.constData());
                [[maybe_unused]] int ignored = ::symlink((rootDir.toUtf8() + raw).constData(), link.constData());
            }
        }
        {
            std::lock_guard lock(mutex);
            plugNumber = number;
            masterFd = master;
            slaveFd = slave;
            releaseClients();
            inFlight = false;
            readCalls = readCallsAtWrite = 0;
            nodePath = QString::fromLatin1(node);
            usbSysPath = usb;
            hidrawSysPath = raw;
            outgoing.clear();
            plugs.push_back(std::move(plug));
            plugged = true;
        }
        umockdev_testbed_uevent(testbed, raw.constData(), "add");
        wake.notify_all();
        return true;
    }

    void doUnplug()
    {
        std::lock_guard plugLock(plugMutex);
        int master, slave;
        QByteArray usb, raw;
        {
            std::lock_guard lock(mutex);
            if (!plugged)
                return;
            plugged = false;
            outgoing.clear();
            master = masterFd;
            slave = slaveFd;
            masterFd = -1;
            slaveFd = -1;
            releaseClients();
            inFlight = false;
            usb = usbSysPath;
            raw = hidrawSysPath;
        }
        umockdev_testbed_uevent(testbed, raw.constData(), "remove");
        // Removing only the USB parent would leave the node behind.
        umockdev_testbed_remove_device(testbed, raw.constData());
        umockdev_testbed_remove_device(testbed, usb.constData());
        // Hang up the line; the testbed owns the master descriptor, so replace it rather than close it.
        if (master >= 0) {
            const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
            if (null >= 0) {
                ::dup2(null, master);
                ::close(null);
            }
        }
        if (slave >= 0)
            ::close(slave);
    }
};

SimulatedPowerBank::SimulatedPowerBank()
    : SimulatedPowerBank(Model(), Identity(), true)
{
}

SimulatedPowerBank::SimulatedPowerBank(const Identity& identity, bool plugNow)
    : SimulatedPowerBank(Model(), identity, plugNow)
{
}

SimulatedPowerBank::SimulatedPowerBank(const Model& model, const Identity& identity, bool plugNow)
    : d(std::make_unique<Impl>())
{
    if (sInstanceAlive.exchange(true)) {
        std::fprintf(stderr, "simulated power bank: only one may exist at a time\n");
        std::abort();
    }
    d->identity = identity;
    d->model = model;
    d->testbed = umockdev_testbed_new();
    gchar* root = umockdev_testbed_get_root_dir(d->testbed);
    d->rootDir = QString::fromUtf8(root);
    g_free(root);
    d->server = std::thread([impl = d.get()] { impl->serve(); });
    if (plugNow)
        plug();
}

SimulatedPowerBank::~SimulatedPowerBank()
{
    d->running = false;
    d->wake.notify_all();
    if (d->server.joinable())
        d->server.join();
    d->doUnplug();
    for (auto& p : d->plugs)
        g_signal_handlers_disconnect_matched(p->handler, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, p.get());
    g_object_unref(d->testbed);
    for (auto& p : d->plugs)
        g_object_unref(p->handler);
    sInstanceAlive = false;
}

bool SimulatedPowerBank::inMockEnvironment()
{
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload");
}

QString SimulatedPowerBank::umockdevDir() const { return d->rootDir; }

bool SimulatedPowerBank::plug() { return d->doPlug(); }

void SimulatedPowerBank::unplug() { d->doUnplug(); }

bool SimulatedPowerBank::isPlugged() const
{
    std::lock_guard lock(d->mutex);
    return d->plugged;
}

int SimulatedPowerBank::plugCount() const
{
    std::lock_guard lock(d->mutex);
    return d->plugNumber + 1;
}

QString SimulatedPowerBank::devicePath() const
{
    std::lock_guard lock(d->mutex);
    return d->nodePath;
}

int SimulatedPowerBank::openHandles() const
{
    std::lock_guard lock(d->mutex);
    d->reapClients();
    return int(d->clients.size());
}

void SimulatedPowerBank::update(const std::function<void(Model&)>& change)
{
    std::lock_guard lock(d->mutex);
    change(d->model);
}

SimulatedPowerBank::Model SimulatedPowerBank::model() const
{
    std::lock_guard lock(d->mutex);
    return d->model;
}

void SimulatedPowerBank::addRule(const Rule& rule)
{
    std::lock_guard lock(d->mutex);
    d->rules.push_back(rule);
}

void SimulatedPowerBank::clearRules()
{
    std::lock_guard lock(d->mutex);
    d->rules.clear();
}

void SimulatedPowerBank::setDefaultLatencyMs(int ms)
{
    std::lock_guard lock(d->mutex);
    d->defaultLatencyMs = ms;
}

void SimulatedPowerBank::setSilent(bool silent)
{
    std::lock_guard lock(d->mutex);
    d->silent = silent;
}

void SimulatedPowerBank::setRequestHook(std::function<void(const Request&, Model&)> hook)
{
    std::lock_guard lock(d->mutex);
    d->requestHook = std::move(hook);
}

void SimulatedPowerBank::failWrites(int count, int errorNumber)
{
    std::lock_guard lock(d->mutex);
    d->writeFaults = count;
    d->writeFaultErrno = errorNumber;
}

void SimulatedPowerBank::failReads(int count, int errorNumber)
{
    std::lock_guard lock(d->mutex);
    d->readFaults = count;
    d->readFaultErrno = errorNumber;
}

int SimulatedPowerBank::failedWrites() const
{
    std::lock_guard lock(d->mutex);
    return d->writesFailed;
}

int SimulatedPowerBank::failedReads() const
{
    std::lock_guard lock(d->mutex);
    return d->readsFailed;
}

void SimulatedPowerBank::injectReport(const QByteArray& report)
{
    {
        std::lock_guard lock(d->mutex);
        d->queueInjected(report);
    }
    d->wake.notify_all();
}

void SimulatedPowerBank::injectGarbage(int count)
{
    {
        std::lock_guard lock(d->mutex);
        for (int i = 0; i < count; ++i)
            d->queueInjected(d->buildReport(0, 0, QByteArray(), Action::Garbage));
    }
    d->wake.notify_all();
}

void SimulatedPowerBank::sendAnswer(uint8_t command, uint8_t subCommand, const QByteArray& payload)
{
    {
        std::lock_guard lock(d->mutex);
        QByteArray report = d->buildReport(command, subCommand, payload, Action::Latency);
        if (!report.isEmpty())
            d->outgoing.push_back(Impl::Outgoing{report, Clock::now(), command, subCommand, true});
    }
    d->wake.notify_all();
}

void SimulatedPowerBank::setFlood(int reportsPerSecond, const QByteArray& report)
{
    {
        std::lock_guard lock(d->mutex);
        d->floodPerSecond = std::clamp(reportsPerSecond, 0, 1'000'000);
        d->floodReport = report.isEmpty() ? QByteArray() : report.left(int(protocol::kInputReportLength));
        if (!d->floodReport.isEmpty())
            d->floodReport.append(QByteArray(int(protocol::kInputReportLength) - d->floodReport.size(), '\0'));
        d->nextFloodAt = Clock::now();
    }
    d->wake.notify_all();
}

QList<SimulatedPowerBank::Request> SimulatedPowerBank::requests() const
{
    std::lock_guard lock(d->mutex);
    return d->requests;
}

QList<SimulatedPowerBank::Request> SimulatedPowerBank::requestsFor(int command, int subCommand) const
{
    std::lock_guard lock(d->mutex);
    QList<Request> out;
    for (const Request& r : d->requests) {
        if (r.decoded && (command < 0 || r.command == command) && (subCommand < 0 || r.subCommand == subCommand))
            out.append(r);
    }
    return out;
}

int SimulatedPowerBank::requestCount() const
{
    std::lock_guard lock(d->mutex);
    return int(d->requests.size());
}

QList<SimulatedPowerBank::Answer> SimulatedPowerBank::answers() const
{
    std::lock_guard lock(d->mutex);
    return d->answers;
}

void SimulatedPowerBank::clearRecords()
{
    std::lock_guard lock(d->mutex);
    d->requests.clear();
    d->answers.clear();
}

std::optional<uint64_t> SimulatedPowerBank::lastClockSet() const
{
    std::lock_guard lock(d->mutex);
    return d->lastClockSet;
}

bool SimulatedPowerBank::waitUntil(const std::function<bool()>& condition, int timeoutMs) const
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (Clock::now() >= deadline)
            return false;
        if (QCoreApplication::instance()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QThread::msleep(2);
    }
}

bool SimulatedPowerBank::waitFor(const std::function<bool(const QList<Request>&)>& predicate, int timeoutMs) const
{
    return waitUntil([&] { return predicate(requests()); }, timeoutMs);
}

bool SimulatedPowerBank::waitForRequest(int command, int subCommand, int count, int timeoutMs) const
{
    return waitUntil([&] { return requestsFor(command, subCommand).size() >= count; }, timeoutMs);
}

} // namespace tessaravolt::sim
