// The recorder: the requests the program wrote and the answers it was handed, and waiting for them.
#include "simulated_power_bank_impl.h"

#include <QCoreApplication>
#include <QThread>

namespace tessaravolt::sim {

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
    d->answersCleared += d->answers.size();
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
