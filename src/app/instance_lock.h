#pragma once

#include <QString>

class QLockFile;

namespace tessaravolt::app {

struct InstanceLockResult
{
    enum Outcome {
        Acquired,
        // A live instance of this program holds the lock: this start is the second instance.
        HeldByLiveInstance,
        // The lock can be neither taken nor taken over; `message` says why.
        Failed,
    };
    Outcome outcome = Failed;
    QString message;
};

// Takes the single-instance lock at the lock file's path. Only a lock held by a live instance of
// this program (of this user) counts as held. Anything else found at the path (an empty, unreadable
// or unparseable file, a lock left by a process that is gone, a symbolic link) is taken over; a
// folder, or a file that cannot be removed, is a failure.
InstanceLockResult acquireInstanceLock(QLockFile& lock, const QString& path);

} // namespace tessaravolt::app
