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

// Where the lock lives decides what a lock naming another machine means.
enum class LockFolder {
    // The per-user runtime folder belongs to this machine and this boot: such a lock is left over
    // (a hostname changed after a crash) and is taken over.
    ThisMachine,
    // A temporary folder another machine could share: such a lock cannot be checked, and the
    // start fails with a message rather than run beside an instance elsewhere.
    MaybeShared,
};

// Takes the single-instance lock at the lock file's path. Only a lock held by a live instance of
// this program (of this user) counts as held. Anything else found at the path (an empty, unreadable
// or unparseable file, a lock left by a process that is gone, a symbolic link) is taken over; a
// folder, or a file that cannot be removed, is a failure.
InstanceLockResult acquireInstanceLock(QLockFile& lock, const QString& path, LockFolder folder);

} // namespace tessaravolt::app
