#include "app/instance_lock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessaravolt::app {

namespace {

enum class Found { Nothing, LockFile, Folder, SomethingElse };

Found inspect(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat st
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return Found::Nothing;
    if (S_ISDIR(st.st_mode))
        return Found::Folder;
    // A link, a pipe or a socket is nothing this program made; reading a pipe would block.
    return S_ISREG(st.st_mode) ? Found::LockFile : Found::SomethingElse;
#else
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return Found::Nothing;
    if (info.isDir() && !info.isSymLink())
        return Found::Folder;
    return info.isFile() && !info.isSymLink() ? Found::LockFile : Found::SomethingElse;
#endif
}

#ifdef Q_OS_LINUX
// The file name of the program a process runs, as the kernel tells it; empty when it cannot.
QString programOf(const QString& procExe)
{
    QString target = QFile::symLinkTarget(procExe);
    const QLatin1String deleted(" (deleted)"); // the program file was replaced while it ran
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    return QFileInfo(target).fileName();
}
#endif

bool heldByLiveProcess(qint64 pid)
{
    if (pid <= 0 || pid == QCoreApplication::applicationPid())
        return false;
#ifdef Q_OS_UNIX
    // EPERM: the number now belongs to another user's process, not to an instance of ours.
    if (::kill(pid_t(pid), 0) != 0)
        return false;
#endif
#ifdef Q_OS_LINUX
    const QString running = programOf(QStringLiteral("/proc/%1/exe").arg(pid));
    return !running.isEmpty() && running == programOf(QStringLiteral("/proc/self/exe"));
#else
    return true;
#endif
}

enum class Holder { None, LiveInstance, OtherMachine };

// Who holds the lock file: a live instance of this program run by this user, another machine
// (whose processes cannot be checked from here), or no one. In a folder of this machine alone the
// host named is not looked at: the process number is this machine's, whatever the host was called
// when the lock was made.
Holder holderOf(QLockFile& lock, const QString& path, LockFolder folder, QString* otherHost)
{
    qint64 pid = 0;
    QString host;
    QString application;
    if (!lock.getLockInfo(&pid, &host, &application))
        return Holder::None;
#ifdef Q_OS_UNIX
    struct stat st
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        return Holder::None;
#endif
    if (folder == LockFolder::MaybeShared && !host.isEmpty() && host != QSysInfo::machineHostName()) {
        *otherHost = host;
        return Holder::OtherMachine;
    }
    return heldByLiveProcess(pid) ? Holder::LiveInstance : Holder::None;
}

QString heldElsewhere(const QString& path, const QString& host)
{
    return QStringLiteral("the lock file %1 names another machine (%2); if the program does not run there, "
                          "remove the file to start it here")
        .arg(QDir::toNativeSeparators(path), host);
}

QString failedToCreate(const QString& path, QLockFile::LockError error)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (error == QLockFile::PermissionError)
        return QStringLiteral("cannot create the lock file %1: permission denied").arg(shown);
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
        return QStringLiteral("cannot create the lock file %1: its folder does not exist").arg(shown);
    return QStringLiteral("cannot create the lock file %1: unknown error").arg(shown);
}

} // namespace

InstanceLockResult acquireInstanceLock(QLockFile& lock, const QString& path, LockFolder folder)
{
    QString otherHost;
    const QString shown = QDir::toNativeSeparators(path);
    lock.setStaleLockTime(0);
    // Each round either takes the lock, finds it held, or removes what stands in its place; another
    // start doing the same at once can win a round, so a few are allowed.
    for (int round = 0; round < 4; ++round) {
        const Found found = inspect(path);
        if (found == Found::Folder)
            return {InstanceLockResult::Failed,
                    QStringLiteral("the lock file %1 is a folder; remove it to start the program").arg(shown)};
        if (found != Found::SomethingElse) {
            if (lock.tryLock(round == 0 ? 100 : 0))
                return {InstanceLockResult::Acquired, {}};
            if (lock.error() != QLockFile::LockFailedError)
                return {InstanceLockResult::Failed, failedToCreate(path, lock.error())};
            const Holder holder = holderOf(lock, path, folder, &otherHost);
            if (holder == Holder::LiveInstance)
                return {InstanceLockResult::HeldByLiveInstance, {}};
            if (holder == Holder::OtherMachine)
                return {InstanceLockResult::Failed, heldElsewhere(path, otherHost)};
        }

        // Taking over: one start at a time, and the lock is made before the guard is let go, so a
        // second start that removed the same stale file cannot remove the new lock as well.
        QLockFile guard(path + QStringLiteral(".rmlock"));
        if (!guard.tryLock(200)) {
            if (guard.error() == QLockFile::LockFailedError)
                continue;
            const QString reason = guard.error() == QLockFile::PermissionError
                ? QStringLiteral("permission denied")
                : QStringLiteral("its folder cannot be written");
            return {InstanceLockResult::Failed,
                    QStringLiteral("cannot take over the lock file %1: %2").arg(shown, reason)};
        }
        const Found again = inspect(path);
        if (again == Found::Folder)
            continue;
        if (again == Found::LockFile) {
            const Holder holder = holderOf(lock, path, folder, &otherHost);
            if (holder == Holder::LiveInstance)
                return {InstanceLockResult::HeldByLiveInstance, {}};
            if (holder == Holder::OtherMachine)
                return {InstanceLockResult::Failed, heldElsewhere(path, otherHost)};
        }
        QFile stale(path);
        if (again != Found::Nothing && !stale.remove() && inspect(path) != Found::Nothing)
            return {InstanceLockResult::Failed,
                    QStringLiteral("cannot take over the lock file %1: %2").arg(shown, stale.errorString())};
        if (lock.tryLock(0))
            return {InstanceLockResult::Acquired, {}};
        if (lock.error() != QLockFile::LockFailedError)
            return {InstanceLockResult::Failed, failedToCreate(path, lock.error())};
    }
    return {InstanceLockResult::Failed,
            QStringLiteral("cannot take the lock file %1: it keeps being replaced").arg(shown)};
}

} // namespace tessaravolt::app
