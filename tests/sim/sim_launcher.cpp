// tessaravolt-sim: serves a simulated power bank to a program started under the umockdev preload.
//
//   tessaravolt-sim [--vid HEX] [--pid HEX] [--latency MS] [--unplug-after S] [--replug-after S]
//                   [--trace] [--run PROGRAM [ARGS...]]
//
// --replug-after counts from the unplug; --trace prints every request the program writes.
//
// Without --run it serves until interrupted and prints the testbed folder, for a program started
// by hand with LD_PRELOAD=libumockdev-preload.so.0 UMOCKDEV_DIR=<folder>.

#include "simulated_power_bank.h"

#include "transport/hid_bridge.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using tessaravolt::sim::SimulatedPowerBank;

namespace {

volatile std::sig_atomic_t sStop = 0;
volatile pid_t sChild = -1;

void onSignal(int sig)
{
    sStop = 1;
    if (sChild > 0)
        ::kill(sChild, sig);
}

// The program under the simulator talks to a simulated power bank only: it gets a network
// namespace of its own (no interfaces but a loopback that is down), so its time query on every
// connection never leaves the machine. Root needs only the namespace; anyone else gets it inside
// a user namespace that maps their own ids, so file ownership looks as it does outside.
bool isolateFromNetwork()
{
    if (::unshare(CLONE_NEWNET) == 0)
        return true;
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return false;
    auto writeFile = [](const char* path, const std::string& text) {
        const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
        ::close(fd);
        return ok;
    };
    writeFile("/proc/self/setgroups", "deny");
    return writeFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n")
        && writeFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n");
}

void usage()
{
    std::fprintf(stderr,
                 "usage: tessaravolt-sim [--vid HEX] [--pid HEX] [--latency MS] [--unplug-after S]\n"
                 "                       [--replug-after S] [--trace] [--run PROGRAM [ARGS...]]\n");
}

bool parseNumber(const char* text, int base, long& out)
{
    char* end = nullptr;
    out = std::strtol(text, &end, base);
    return end && *end == '\0' && end != text;
}

// Small drifts so the pages have something to show.
void liven(SimulatedPowerBank::Model& m, int tick)
{
    if (tick % 10 == 0 && m.soc > 5)
        --m.soc;
    for (auto& p : m.ports) {
        if (p.status == 0)
            continue;
        const int wobble = ((tick * 37 + p.index * 11) % 9) - 4;
        p.currentMa = uint16_t(std::max(0, int(p.currentMa) + wobble * 15));
        p.tempC = int16_t(300 + (tick + p.index * 3) % 20);
    }
    // Entry 0 is the pack: the cells' sum and a temperature that wanders by a degree or two.
    uint32_t packMv = 0;
    for (auto& c : m.cellDetails) {
        if (c.index == 0)
            continue;
        c.voltageMv = uint16_t(3850 + (tick + c.index) % 40);
        packMv += c.voltageMv;
    }
    for (auto& c : m.cellDetails) {
        if (c.index == 0) {
            c.voltageMv = uint16_t(packMv);
            c.tempC = int16_t(285 + (tick / 5) % 15);
        }
    }
    if (tick % 45 == 0) {
        m.prependEvent(0,
                       SimulatedPowerBank::EventRecord{0, uint64_t(std::time(nullptr)), 1, 0, uint8_t(1 + tick % 6),
                                                       int16_t(tick % 500)});
        m.currentEvent = m.activityLog.records.first();
    }
}

} // namespace

int main(int argc, char** argv)
{
    SimulatedPowerBank::Identity identity;
    identity.vendorId = tessaravolt::transport::kSupportedVendorIds[0];
    long latency = 0, unplugAfter = -1, replugAfter = -1;
    bool trace = false;
    int runAt = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        long v = 0;
        auto next = [&](int base) {
            if (i + 1 >= argc || !parseNumber(argv[i + 1], base, v)) {
                usage();
                std::exit(2);
            }
            ++i;
            return v;
        };
        if (a == "--vid")
            identity.vendorId = uint16_t(next(16));
        else if (a == "--pid")
            identity.productId = uint16_t(next(16));
        else if (a == "--latency")
            latency = next(10);
        else if (a == "--unplug-after")
            unplugAfter = next(10);
        else if (a == "--replug-after")
            replugAfter = next(10);
        else if (a == "--trace")
            trace = true;
        else if (a == "--run") {
            runAt = i + 1;
            break;
        } else {
            usage();
            return 2;
        }
    }
    if (runAt >= argc) {
        usage();
        return 2;
    }

    // Uevents are sent through the preload's view of /sys, so the simulator runs under it too.
    if (!SimulatedPowerBank::inMockEnvironment()) {
        std::string preload = "libumockdev-preload.so.0";
        if (const char* old = std::getenv("LD_PRELOAD"); old && *old)
            preload += std::string(":") + old;
        ::setenv("LD_PRELOAD", preload.c_str(), 1);
        ::execv("/proc/self/exe", argv);
        std::perror("tessaravolt-sim: re-exec under the preload");
        return 1;
    }

    SimulatedPowerBank bank(SimulatedPowerBank::demoModel(), identity);
    bank.setDefaultLatencyMs(int(latency));
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);

    const QByteArray dir = bank.umockdevDir().toUtf8();
    std::fprintf(stderr, "tessaravolt-sim: %s on %s, UMOCKDEV_DIR=%s\n",
                 qPrintable(QStringLiteral("%1:%2")
                                .arg(identity.vendorId, 4, 16, QLatin1Char('0'))
                                .arg(identity.productId, 4, 16, QLatin1Char('0'))),
                 qPrintable(bank.devicePath()), dir.constData());

    if (runAt > 0) {
        const pid_t pid = ::fork();
        if (pid < 0) {
            std::perror("tessaravolt-sim: fork");
            return 1;
        }
        if (pid == 0) {
            // The child must not hold the line's master end, or unplugging would not hang it up.
            for (int fd = 3, last = int(::sysconf(_SC_OPEN_MAX)); fd < last && fd < 65536; ++fd)
                ::close(fd);
            std::string preload = "libumockdev-preload.so.0";
            if (const char* old = std::getenv("LD_PRELOAD"); old && *old)
                preload += std::string(":") + old;
            ::setenv("LD_PRELOAD", preload.c_str(), 1);
            ::setenv("UMOCKDEV_DIR", dir.constData(), 1);
            if (!isolateFromNetwork())
                std::fprintf(stderr,
                             "tessaravolt-sim: no network namespace for the program (%s); "
                             "its time query may reach the public servers\n",
                             std::strerror(errno));
            ::execvp(argv[runAt], argv + runAt);
            std::perror("tessaravolt-sim: exec");
            std::_Exit(127);
        }
        sChild = pid;
    }

    const auto start = std::chrono::steady_clock::now();
    bool unplugged = false, replugged = false;
    int tick = 0;
    int exitCode = 0;
    qsizetype traced = 0;
    while (!sStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (sChild > 0) {
            int status = 0;
            const pid_t r = ::waitpid(sChild, &status, WNOHANG);
            if (r == sChild) {
                exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
        }
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        if (elapsed / 1000 > tick) {
            tick = int(elapsed / 1000);
            bank.update([tick](SimulatedPowerBank::Model& m) { liven(m, tick); });
        }
        if (trace) {
            const auto requests = bank.requests();
            for (qsizetype i = traced; i < requests.size(); ++i) {
                const auto& r = requests[i];
                std::fprintf(stderr, "tessaravolt-sim: %6lld ms  %s\n", static_cast<long long>(r.msSinceStart),
                             r.decoded ? qPrintable(QStringLiteral("%1/%2 seq %3 payload %4")
                                                        .arg(r.command, 2, 16, QLatin1Char('0'))
                                                        .arg(r.subCommand, 2, 16, QLatin1Char('0'))
                                                        .arg(r.sequence)
                                                        .arg(QString::fromLatin1(r.payload.toHex(' '))))
                                       : qPrintable(QStringLiteral("undecodable: %1").arg(r.error)));
            }
            traced = requests.size();
        }
        if (unplugAfter >= 0 && !unplugged && elapsed >= unplugAfter * 1000) {
            unplugged = true;
            bank.unplug();
            std::fprintf(stderr, "tessaravolt-sim: unplugged\n");
        }
        if (unplugged && replugAfter >= 0 && !replugged && elapsed >= (unplugAfter + replugAfter) * 1000) {
            replugged = true;
            bank.plug();
            std::fprintf(stderr, "tessaravolt-sim: plugged again as %s\n", qPrintable(bank.devicePath()));
        }
    }
    if (sChild > 0 && sStop) {
        int status = 0;
        ::waitpid(sChild, &status, 0);
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return exitCode;
}
