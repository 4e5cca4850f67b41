#pragma once

// The simulated power bank as most tests set it up: an identity the link accepts, and a power bank
// opened the way a connection attempt opens it.

#include "sim/simulated_power_bank.h"
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

} // namespace tessaravolt::test
