// The device model: its demo contents, the requests it takes, the settings they change and the
// answers it gives.
#include "simulated_power_bank_impl.h"

#include "protocol/commands.h"
#include "protocol/payload.h"
#include "sim/device_codec.h"

#include <algorithm>

namespace tessaravolt::sim {

namespace {

namespace command = protocol::command;
namespace static_info = protocol::static_info;
namespace events = protocol::events;
namespace settings = protocol::settings;
namespace cell_status = protocol::cell_status;

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
    case static_info::kOriginManufacturer1:
        return static_info::kOriginManufacturer2;
    case static_info::kAppTitle1:
        return static_info::kAppTitle2;
    case static_info::kBatteryManufacturerCn1:
        return static_info::kBatteryManufacturerCn2;
    default:
        return 0;
    }
}

bool isTextSubCommand(uint8_t sub)
{
    switch (sub) {
    case static_info::kBrand:
    case static_info::kFactory:
    case static_info::kBatteryManufacturer:
    case static_info::kProductSn:
    case static_info::kBatteryType:
    case static_info::kProductionDate:
    case static_info::kModel:
    case static_info::kProductName:
    case static_info::kHardwareVersion:
    case static_info::kSoftwareVersion:
    case static_info::kBatteryModel:
    case static_info::kOriginManufacturer1:
    case static_info::kOriginManufacturer2:
    case static_info::kAppTitle1:
    case static_info::kAppTitle2:
    case static_info::kBatteryManufacturerCn1:
    case static_info::kBatteryManufacturerCn2:
        return true;
    default:
        return false;
    }
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
    m.setTwoPartText(static_info::kOriginManufacturer1,
                     QStringLiteral("Cellforge Energy Technology Co., Ltd., Battery Division, Dongguan"));
    m.setTwoPartText(static_info::kAppTitle1, QStringLiteral("Tessaravolt 25000 mAh 140 W Power Bank"));
    m.setTwoPartText(static_info::kBatteryManufacturerCn1,
                     QString::fromUtf8("\xe8\x8a\xaf\xe9\x94\xbb\xe8\x83\xbd\xe6\xba\x90\xe7\xa7\x91\xe6\x8a\x80"
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
    struct Episode
    {
        uint8_t connect, disconnect, start, end, status;
    };
    const Episode episodes[] = {{6, 7, 2, 3, 1},   {8, 9, 0, 1, 2}, {11, 10, 2, 3, 1},
                                {12, 13, 2, 3, 1}, {8, 9, 4, 5, 3}, {11, 10, 0, 1, 2}};
    for (int i = 0; i < 36; ++i) {
        const Episode& e = episodes[(i / 4) % 6];
        const uint8_t info[] = {e.connect, e.start, e.end, e.disconnect};
        const int16_t minutes[] = {0, 0, int16_t(20 + 7 * (i % 5)), 0};
        m.prependEvent(0,
                       EventRecord{0, base + uint64_t(i) * 1500, uint8_t(i % 4 == 0 || i % 4 == 3 ? 0 : e.status), 0,
                                   info[i % 4], minutes[i % 4]});
    }
    // Abnormal: each protection once or twice, with the value it was raised for (temperatures in
    // tenths of a degree, voltages in mV, currents in mA).
    const std::pair<uint8_t, int16_t> faults[] = {{0, 612}, {4, 9850},  {1, -105}, {2, 17250}, {3, 11020}, {5, 410},
                                                  {0, 587}, {4, 10120}, {1, -52},  {0, 604},   {2, 17100}, {3, 11300}};
    for (int i = 0; i < 12; ++i)
        m.prependEvent(
            1, EventRecord{0, base + 1800 + uint64_t(i) * 7200, uint8_t(i % 3), 1, faults[i].first, faults[i].second});
    return m;
}

void SimulatedPowerBank::Impl::handleWrite(const QByteArray& written, int plug)
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
    auto frame = decodeRequestFrame(reinterpret_cast<const uint8_t*>(r.report.constData()), size_t(r.report.size()));
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

void SimulatedPowerBank::Impl::applySideEffects(const Request& r)
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

std::optional<QByteArray> SimulatedPowerBank::Impl::modelPayload(uint8_t command, uint8_t sub,
                                                                 const QByteArray& request) const
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
        case cell_status::kSoc:
            out.append(char(model.soc));
            return out;
        case cell_status::kSoh:
            out.append(char(model.soh));
            return out;
        case cell_status::kCycleCount:
            putLe16(out, model.cycles);
            return out;
        case cell_status::kCurrentEvent:
            return encodeRecord(model.currentEvent);
        case cell_status::kActivation: {
            const uint8_t index = request.isEmpty() ? 0 : uint8_t(request.at(0));
            out.append(char(index));
            out.append(textPayload(model.cellActivations.value(index), int(protocol::kMaxPayloadLength) - 1));
            return out;
        }
        default:
            break;
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
        if (sub == settings::kClock) {
            out.append(char(model.setClockResult));
            return out;
        }
        if (sub == settings::kBrightness) {
            out.append(char(model.setBrightnessResult));
            return out;
        }
        if (sub == settings::kScreenTimeout) {
            out.append(char(model.setScreenTimeoutResult));
            return out;
        }
        break;
    default:
        return std::nullopt;
    }
    if (model.answerUnknownSubCommands)
        return QByteArray();
    return std::nullopt;
}

void SimulatedPowerBank::setRequestHook(std::function<void(const Request&, Model&)> hook)
{
    std::lock_guard lock(d->mutex);
    d->requestHook = std::move(hook);
}

} // namespace tessaravolt::sim
