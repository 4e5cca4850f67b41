// The whole program (Main.qml and its singletons, in this process) against the simulated power
// bank: how soon the pages show what the device says, and how the link keeps up with a power bank
// that sends 500 unasked reports a second, one in flight and every report queued. The tests check
// that all of it happens; this measures how soon. Each figure: the median of the rounds and their
// range; every round loads the window and connects anew.
// Run (in a network namespace of its own, like everything that talks to the simulator):
//   QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software unshare -rn umockdev-wrapper build/bench/bench_sim_pages [rounds]
#include "sim/device_codec.h"
#include "sim/simulated_power_bank.h"
#include "support/link_turns.h"
#include "support/main_window.h"
#include "support/simulated_device.h"

#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJSValue>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using tessaravolt::sim::SimulatedPowerBank;
using tessaravolt::test::LinkTurns;
using tessaravolt::test::LoadedMain;
using tessaravolt::transport::HidServiceApi;

namespace {

constexpr int kGiveUpMs = 60000;

// Milliseconds until `ready` holds, looking every 2 ms while the program runs; -1 if it never does.
double msUntil(const std::function<bool()>& ready)
{
    QElapsedTimer timer;
    timer.start();
    while (!ready()) {
        if (timer.elapsed() > kGiveUpMs)
            return -1;
        QTest::qWait(2);
    }
    return timer.nsecsElapsed() / 1e6;
}

struct Program : LoadedMain
{
    QVariant pageValue(const char* property) const
    {
        QQuickItem* p = page();
        return p ? p->property(property) : QVariant();
    }
    QJSValue port(int index) const { return pageValue("inoutPorts").value<QJSValue>().property(quint32(index)); }
    int currentEventType() const
    {
        return pageValue("currentEventRaw").value<QJSValue>().property(QStringLiteral("type")).toInt();
    }
};

// Named figures in the order first recorded, each with one value a round.
class Figures
{
public:
    void add(const std::string& name, double value)
    {
        if (!m_values.count(name))
            m_order.push_back(name);
        m_values[name].push_back(value);
    }
    void print() const
    {
        for (const std::string& name : m_order) {
            std::vector<double> v = m_values.at(name);
            std::sort(v.begin(), v.end());
            std::printf("%-58s median %8.1f  (%.1f-%.1f, %zu rounds)\n", name.c_str(), v[v.size() / 2], v.front(),
                        v.back(), v.size());
        }
    }

private:
    std::vector<std::string> m_order;
    std::map<std::string, std::vector<double>> m_values;
};

QByteArray unaskedCurrentEvent()
{
    const uint8_t record[16] = {120, 0, 0x00, 0x7A, 0xE7, 0x68, 0, 0, 0, 0, 0x00, 0, 3, 0, 0, 0};
    auto f = tessaravolt::sim::encodeAnswerFrame(0x20, 0x04, 9, record, sizeof record);
    return QByteArray(reinterpret_cast<const char*>(f->data), int(f->size));
}

bool round(Figures& figures)
{
    const SimulatedPowerBank::Model model = SimulatedPowerBank::demoModel();
    SimulatedPowerBank bank(model, tessaravolt::test::supportedIdentity());
    Program program{tessaravolt::test::loadMainWindow()};
    if (!program.window)
        return false;
    program.window->show();
    if (!QTest::qWaitForWindowExposed(program.window) || msUntil([&] { return program.connected(); }) < 0)
        return false;

    auto powerValuesShown = [&] {
        if (program.pageType() != QLatin1String("PowerPage") || program.pageValue("soc").toInt() != model.soc)
            return false;
        return std::all_of(model.ports.begin(), model.ports.end(),
                           [&](const SimulatedPowerBank::Port& p) { return program.port(p.index).isObject(); });
    };
    const double power = msUntil(powerValuesShown);
    auto healthValuesShown = [&] {
        return program.pageType() == QLatin1String("HealthPage") && program.pageValue("soh").toInt() == model.soh
            && program.pageValue("cycles").toInt() == model.cycles;
    };
    program.window->setProperty("currentPage", 2);
    const double health = msUntil(healthValuesShown);
    bank.update([](SimulatedPowerBank::Model& m) {
        m.currentEvent.type = 1;
        m.currentEvent.info = 3;
    });
    const double fault = msUntil([&] { return program.currentEventType() == 1; });
    bank.update([](SimulatedPowerBank::Model& m) { m.currentEvent.type = 0; });
    const double cleared = msUntil([&] { return program.currentEventType() == 0; });
    program.window->setProperty("currentPage", 1);
    if (msUntil(powerValuesShown) < 0)
        return false;
    program.window->setProperty("currentPage", 2);
    const double healthAgain = msUntil(healthValuesShown);
    program.window->setProperty("currentPage", 1);
    if (std::min({power, health, fault, cleared, healthAgain}) < 0 || msUntil(powerValuesShown) < 0)
        return false;
    figures.add("power page values after the connection, ms", power);
    figures.add("health page values after opening the tab, ms", health);
    figures.add("health page fault after the device raised it, ms", fault);
    figures.add("health page fault gone after the device cleared it, ms", cleared);
    figures.add("health page values on coming back to the tab, ms", healthAgain);

    const QByteArray unasked = unaskedCurrentEvent();
    QSignalSpy currentEvents(HidServiceApi::instance(), &HidServiceApi::currentEvent);
    for (const bool queued : {false, true}) {
        const std::string delivery = queued ? "every report queued" : "one in flight";
        const uint16_t before = model.ports[1].currentMa;
        const uint16_t changed = before / 2;
        const QString shown = QString::number(changed / 1000.0, 'f', 1);
        bank.setQueuedDelivery(queued);
        currentEvents.clear();
        double seconds = 0;
        double shownMs = 0;
        int read = 0;
        int mostWaiting = 0;
        {
            LinkTurns turns([&bank] { return bank.reportsWaiting(); });
            bank.setFlood(500, unasked);
            if (msUntil([&] { return currentEvents.count() >= 20; }) < 0)
                return false;
            const int turnsBefore = turns.count();
            QElapsedTimer flooding;
            flooding.start();
            bank.update([changed](SimulatedPowerBank::Model& m) { m.ports[1].currentMa = changed; });
            shownMs = msUntil([&] { return program.port(1).property(QStringLiteral("current")).toString() == shown; });
            seconds = flooding.nsecsElapsed() / 1e9;
            const auto all = turns.all();
            for (qsizetype i = turnsBefore; i < all.size(); ++i) {
                read += all[i].reportsRead;
                mostWaiting = std::max(mostWaiting, all[i].waitingAfter);
            }
            bank.setFlood(0);
        }
        if (shownMs < 0 || !bank.waitUntil([&] { return bank.deliveredAll(); }, kGiveUpMs))
            return false;
        bank.update([before](SimulatedPowerBank::Model& m) { m.ports[1].currentMa = before; });
        const QString again = QString::number(before / 1000.0, 'f', 1);
        if (msUntil([&] { return program.port(1).property(QStringLiteral("current")).toString() == again; }) < 0)
            return false;
        figures.add("flood, " + delivery + ": port change shown after, ms", shownMs);
        figures.add("flood, " + delivery + ": reports read a second", read / seconds);
        figures.add("flood, " + delivery + ": most waiting when a turn ended", mostWaiting);
    }
    bank.setQueuedDelivery(false);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (!SimulatedPowerBank::inMockEnvironment()) {
        std::fprintf(stderr, "run under umockdev-wrapper\n");
        return 2;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    tessaravolt::test::useEnglish();
    Figures figures;
    for (int i = 0; i < rounds; ++i) {
        if (!round(figures)) {
            std::fprintf(stderr, "round %d: the program did not show what the device said\n", i + 1);
            return 1;
        }
    }
    figures.print();
    return 0;
}
