#pragma once

#include <QObject>

#include <memory>

namespace tessaravolt::app {

// Turns SIGTERM, SIGINT and SIGHUP (a service manager, Ctrl-C, the end of a session) into a quit of
// the event loop, so the program ends through its normal shutdown: the engine, the lock and the
// link are closed in order and the lock file is removed. Off Unix it does nothing.
//
// The program blocks the signals first, before any thread exists, so that every thread Qt starts
// holds them and a signal that comes before the handlers are in place waits for them instead of
// ending the program at once.
class ShutdownSignals : public QObject
{
public:
    // Blocks the signals in the calling thread; threads started later inherit the mask.
    static void block();

    // Installs the handlers, then gives the calling thread back the mask it had before block(): a
    // signal that waited is taken now and quits the event loop once it runs.
    explicit ShutdownSignals(QObject* parent = nullptr);
    // Blocks the signals again before the previous handlers come back: a signal during the rest of
    // the shutdown waits and is dropped with the exit, which it would only have cut short.
    ~ShutdownSignals() override;

    // A termination signal has come since the handlers were installed.
    bool requested() const;

private:
    struct Handlers;
    std::unique_ptr<Handlers> m_handlers;
};

} // namespace tessaravolt::app
