// Fault scripting: the rules that delay, drop, corrupt, replace or redirect answers, failing
// reads and writes, injected reports and floods.
#include "simulated_power_bank_impl.h"

#include "protocol/checksum_util.h"
#include "protocol/payload.h"
#include "sim/device_codec.h"

#include <algorithm>

namespace tessaravolt::sim {

bool SimulatedPowerBank::Impl::matches(const Rule& rule, const Request& r)
{
    return rule.remaining != 0 && (rule.command < 0 || rule.command == r.command)
        && (rule.subCommand < 0 || rule.subCommand == r.subCommand);
}

QByteArray SimulatedPowerBank::Impl::buildReport(uint8_t command, uint8_t sub, QByteArray payload, Action corruption)
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
        auto f = encodeAnswerEnvelope(seq, reinterpret_cast<const uint8_t*>(plain.constData()), size_t(plain.size()));
        return frameBytes(*f);
    }
    auto f = encodeAnswerFrame(command, sub, seq, bytes, size_t(payload.size()));
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

void SimulatedPowerBank::Impl::answer(const Request& r)
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
        case Action::Latency:
            latency += rule.latencyMs;
            break;
        case Action::Drop:
            drop = true;
            break;
        case Action::ReplacePayload:
            replace = rule.payload;
            break;
        case Action::TruncatePayload:
            truncate = rule.length;
            break;
        case Action::BadOuterCrc:
        case Action::BadInnerCrc:
        case Action::BadOuterHeader:
        case Action::BadInnerHeader:
        case Action::Garbage:
            corruption = rule.action;
            break;
        case Action::UnplugAfter:
            unplugAfter = true;
            break;
        case Action::UnplugBefore:
            unplugBefore = true;
            break;
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

void SimulatedPowerBank::Impl::queueInjected(QByteArray report)
{
    report = report.left(int(protocol::kInputReportLength));
    report.append(QByteArray(int(protocol::kInputReportLength) - report.size(), '\0'));
    outgoing.push_back(Outgoing{report, Clock::now(), 0, 0, true});
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

void SimulatedPowerBank::setQueuedDelivery(bool queued)
{
    {
        std::lock_guard lock(d->mutex);
        d->queuedDelivery = queued;
    }
    d->wake.notify_all();
}

int SimulatedPowerBank::reportsWaiting() const
{
    std::lock_guard lock(d->mutex);
    return int(d->line.size());
}

bool SimulatedPowerBank::deliveredAll() const
{
    std::lock_guard lock(d->mutex);
    const bool unsent = std::any_of(d->outgoing.begin(), d->outgoing.end(),
                                    [](const Impl::Outgoing& o) { return !o.report.isEmpty(); });
    return !unsent && d->line.empty()
        && std::all_of(d->answers.begin(), d->answers.end(), [](const Answer& a) { return a.readMsSinceStart >= 0; });
}

} // namespace tessaravolt::sim
