#pragma once

#include <QObject>

#include <memory>

namespace tessaravolt::app {

// Turns SIGTERM, SIGINT and SIGHUP (a service manager, Ctrl-C, the end of a session) into a quit of
// the event loop, so the program ends through its normal shutdown: the engine, the lock and the
// link are closed in order and the lock file is removed. The handlers are in place while the
// object lives; the previous ones come back with its destruction. Off Unix it does nothing.
class ShutdownSignals : public QObject
{
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

private:
    struct Handlers;
    std::unique_ptr<Handlers> m_handlers;
};

} // namespace tessaravolt::app
