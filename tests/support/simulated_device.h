#pragma once

// The simulated power bank as most tests set it up: an identity the link accepts, and a power bank
// opened the way a connection attempt opens it.

#include "sim/simulated_power_bank.h"
#include "support/link_turns.h"
#include "transport/hid_bridge.h"

#include <QtTest>

#include <memory>

namespace tessaravolt::test {

// The simulator's own identity under the first vendor id the link looks for.
inline sim::SimulatedPowerBank::Identity supportedIdentity()
{
    sim::SimulatedPowerBank::Identity id;
    id.vendorId = transport::kSupportedVendorIds[0];
    return id;
}

// A product id of the caller's under one of the vendor ids the link looks for.
inline sim::SimulatedPowerBank::Identity supportedIdentity(uint16_t productId, size_t vendorIndex = 0)
{
    sim::SimulatedPowerBank::Identity id = supportedIdentity();
    id.vendorId = transport::kSupportedVendorIds[vendorIndex];
    id.productId = productId;
    return id;
}

// A plugged-in power bank with `model`, connected through the link. Fails the calling test (return
// from it with QVERIFY(bank)) when the link does not take it.
inline std::unique_ptr<sim::SimulatedPowerBank>
openPowerBank(const sim::SimulatedPowerBank::Model& model = sim::SimulatedPowerBank::demoModel(),
              const sim::SimulatedPowerBank::Identity& identity = supportedIdentity())
{
    auto bank = std::make_unique<sim::SimulatedPowerBank>(model, identity);
    if (!transport::HidBridge::instance()->openSupportedPowerBank()) {
        qWarning("the simulated power bank was not opened");
        return nullptr;
    }
    return bank;
}

// Lets the exchange under way come to rest, for a test that then checks what did not happen: every
// report queued on the link before the call has been written, the device has sent every answer it
// owes and the link has read them, and the link's signals for them have reached this thread. What
// their handlers queue in turn is not waited for. False only when the link or the device stopped.
inline bool settle(const sim::SimulatedPowerBank& bank, int timeoutMs = LinkTurns::kHangMs)
{
    const LinkTurns turns;
    if (!turns.waitUntilWritten(timeoutMs) || !bank.waitUntil([&] { return bank.deliveredAll(); }, timeoutMs)
        || !turns.waitForTurns(1, timeoutMs))
        return false;
    QCoreApplication::sendPostedEvents();
    return true;
}

} // namespace tessaravolt::test
