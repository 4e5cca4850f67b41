#include "app/shutdown_signals.h"

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#endif

namespace tessaravolt::app {

#ifdef Q_OS_UNIX

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The handler only writes one byte: everything else happens on the GUI thread's event loop.
volatile std::sig_atomic_t s_writeEnd = -1;
volatile std::sig_atomic_t s_requested = 0;

// The calling thread's mask before block(), given back once the handlers are in place.
sigset_t s_maskBeforeBlock;
bool s_blocked = false;

extern "C" void onShutdownSignal(int)
{
    const int savedErrno = errno;
    s_requested = 1;
    const char byte = 1;
    const int fd = s_writeEnd;
    if (fd >= 0 && ::write(fd, &byte, 1) < 0) {
        // A full pipe already holds a wake-up.
    }
    errno = savedErrno;
}

sigset_t shutdownSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kSignals)
        sigaddset(&set, signal);
    return set;
}

} // namespace

struct ShutdownSignals::Handlers
{
    int pipe[2] = {-1, -1};
    std::array<struct sigaction, kSignals.size()> previous{};
    std::array<bool, kSignals.size()> installed{};
    QSocketNotifier* notifier = nullptr;
};

void ShutdownSignals::block()
{
    const sigset_t set = shutdownSignalSet();
    sigset_t before;
    if (::pthread_sigmask(SIG_BLOCK, &set, &before) == 0 && !s_blocked) {
        s_maskBeforeBlock = before;
        s_blocked = true;
    }
}

ShutdownSignals::ShutdownSignals(QObject* parent)
    : QObject(parent)
    , m_handlers(std::make_unique<Handlers>())
{
    Handlers& h = *m_handlers;
    if (::pipe2(h.pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        h.notifier = new QSocketNotifier(h.pipe[0], QSocketNotifier::Read, this);
        connect(h.notifier, &QSocketNotifier::activated, this, [this] {
            char buffer[16];
            while (::read(m_handlers->pipe[0], buffer, sizeof buffer) > 0) { }
            QCoreApplication::quit();
        });
        s_writeEnd = h.pipe[1];

        struct sigaction action
        {
        };
        action.sa_handler = onShutdownSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            h.installed[i] = ::sigaction(kSignals[i], &action, &h.previous[i]) == 0;
    } else {
        h.pipe[0] = h.pipe[1] = -1;
    }
    // Without handlers too: the signals then do what they did before.
    if (s_blocked) {
        ::pthread_sigmask(SIG_SETMASK, &s_maskBeforeBlock, nullptr);
        s_blocked = false;
    }
}

ShutdownSignals::~ShutdownSignals()
{
    Handlers& h = *m_handlers;
    const sigset_t set = shutdownSignalSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (h.installed[i])
            ::sigaction(kSignals[i], &h.previous[i], nullptr);
    }
    s_writeEnd = -1;
    delete h.notifier;
    for (int fd : h.pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool ShutdownSignals::requested() const
{
    return s_requested != 0;
}

#else

struct ShutdownSignals::Handlers
{
};

void ShutdownSignals::block() { }

ShutdownSignals::ShutdownSignals(QObject* parent)
    : QObject(parent)
{ }

ShutdownSignals::~ShutdownSignals() = default;

bool ShutdownSignals::requested() const
{
    return false;
}

#endif

} // namespace tessaravolt::app
