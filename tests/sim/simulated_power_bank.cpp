// The simulator's life cycle and plugging.
#include "simulated_power_bank_impl.h"

#include "transport/hid_bridge.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tessaravolt::sim {

namespace {

std::atomic<bool> sInstanceAlive{false};

static_assert(SimulatedPowerBank::kDefaultVendorId == transport::kSupportedVendorIds[0],
              "the simulated power bank answers to the program's first vendor id by default");

} // namespace

SimulatedPowerBank::SimulatedPowerBank()
    : SimulatedPowerBank(Model(), Identity(), true)
{ }

SimulatedPowerBank::SimulatedPowerBank(const Identity& identity, bool plugNow)
    : SimulatedPowerBank(Model(), identity, plugNow)
{ }

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

QString SimulatedPowerBank::umockdevDir() const
{
    return d->rootDir;
}

bool SimulatedPowerBank::plug()
{
    return d->doPlug();
}

void SimulatedPowerBank::unplug()
{
    d->doUnplug();
}

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

} // namespace tessaravolt::sim
