// The one way a user's file is written: the target is replaced whole or not at all, and nothing
// else at its name is touched.
#include "common/logger_manager.h"
#include "common/safe_file_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <dlfcn.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using tessaravolt::common::FileWriteResult;
using tessaravolt::common::LoggerManager;
using tessaravolt::common::SafeFileWriter;
using tessaravolt::common::systemErrorText;
using tessaravolt::common::writeFileSafely;

namespace {

// While a SystemCalls lives, the fsync() and rename() calls of this process are written down in
// order ("fsync file", "fsync folder", "rename to NAME"), and a folder's fsync can be made to fail.
struct SystemCalls
{
    SystemCalls();
    ~SystemCalls();
    QStringList calls;
    int folderSyncError = 0;
};
SystemCalls* s_systemCalls = nullptr;

SystemCalls::SystemCalls()
{
    s_systemCalls = this;
}

SystemCalls::~SystemCalls()
{
    s_systemCalls = nullptr;
}

template <typename Function> Function* nextDefinition(const char* name)
{
    return reinterpret_cast<Function*>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fsync(int fd)
{
    static const auto real = nextDefinition<int(int)>("fsync");
    if (s_systemCalls) {
        struct stat st
        {
        };
        const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
        s_systemCalls->calls << (folder ? QStringLiteral("fsync folder") : QStringLiteral("fsync file"));
        if (folder && s_systemCalls->folderSyncError != 0) {
            errno = s_systemCalls->folderSyncError;
            return -1;
        }
    }
    return real(fd);
}

extern "C" int rename(const char* from, const char* to) noexcept
{
    static const auto real = nextDefinition<int(const char*, const char*)>("rename");
    if (s_systemCalls)
        s_systemCalls->calls << QStringLiteral("rename to ") + QFileInfo(QFile::decodeName(to)).fileName();
    return real(from, to);
}

namespace {

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writePlain(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

mode_t modeOf(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : mode_t(0);
}

constexpr int kNoNamespace = 77;

bool writeSmallFile(const char* path, const QByteArray& text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    const bool written = fd >= 0 && ::write(fd, text.constData(), size_t(text.size())) == text.size();
    if (fd >= 0)
        ::close(fd);
    return written;
}

// In a child of its own, single-threaded as a new user namespace needs: hides /proc under an empty
// tmpfs in a private mount namespace, then saves a new file and replaces an old one. The status
// says how far it got.
int saveWithoutProc(const QString& fresh, const QString& replaced)
{
    const QByteArray uid = QByteArray::number(::geteuid());
    const QByteArray gid = QByteArray::number(::getegid());
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 || !writeSmallFile("/proc/self/uid_map", "0 " + uid + " 1")
        || !writeSmallFile("/proc/self/setgroups", "deny") || !writeSmallFile("/proc/self/gid_map", "0 " + gid + " 1")
        || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || ::mount("tmpfs", "/proc", "tmpfs", 0, "size=16k") != 0) {
        std::perror("a mount namespace without /proc");
        return kNoNamespace;
    }
    if (::access("/proc/self/fd", F_OK) == 0)
        return 2;
    const FileWriteResult made = writeFileSafely(fresh, "new");
    if (!made.written) {
        std::fprintf(stderr, "new file: %s\n", qPrintable(made.failure));
        return 3;
    }
    const FileWriteResult replacement = writeFileSafely(replaced, "replacement");
    if (!replacement.written) {
        std::fprintf(stderr, "replaced file: %s\n", qPrintable(replacement.failure));
        return 4;
    }
    return 0;
}

} // namespace

class TestSafeFileWriter : public QObject
{
    Q_OBJECT

private slots:
    void writesAndReplacesWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        const QByteArray first(20000, 'a');
        QVERIFY(writeFileSafely(path, first).written);
        QCOMPARE(contentOf(path), first);

        // A shorter file replaces a longer one whole, and keeps its permissions.
        QCOMPARE(chmod(QFile::encodeName(path).constData(), 0640), 0);
        QVERIFY(writeFileSafely(path, "short").written);
        QCOMPARE(contentOf(path), QByteArray("short"));
        struct stat replaced
        {
        };
        QCOMPARE(stat(QFile::encodeName(path).constData(), &replaced), 0);
        QCOMPARE(replaced.st_mode & 07777, mode_t(0640));
        // An empty content is a file too.
        QVERIFY(writeFileSafely(path, QByteArray()).written);
        QCOMPARE(QFileInfo(path).size(), 0);
        QCOMPARE(entriesOf(dir.path()), QStringList{QStringLiteral("report.pdf")});
    }

    // A link is followed: the file it names gets the content, the link stays a link.
    void followsALink()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("real.log"));
        const QString link = dir.filePath(QStringLiteral("link.log"));
        QVERIFY(writePlain(target, "old"));
        QVERIFY(QFile::link(target, link));
        QVERIFY(writeFileSafely(link, "new").written);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(contentOf(target), QByteArray("new"));
        QCOMPARE(entriesOf(dir.path()), QStringList({QStringLiteral("link.log"), QStringLiteral("real.log")}));
    }

    void refusedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QString() << tessaravolt::common::systemErrorText(ENOENT);
        QTest::newRow("missing folder") << QStringLiteral("missing/deeper/app.log")
                                        << tessaravolt::common::systemErrorText(ENOENT);
        QTest::newRow("under a file") << QStringLiteral("plain/app.log")
                                      << tessaravolt::common::systemErrorText(ENOTDIR);
        QTest::newRow("a folder") << QStringLiteral("folder") << tessaravolt::common::systemErrorText(EISDIR);
        QTest::newRow("a pipe") << QStringLiteral("pipe") << QStringLiteral("Not a regular file");
    }

    // Nothing is created, and what stands at the name is left as it was.
    void refusedNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(writePlain(dir.filePath(QStringLiteral("plain")), "plain"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe"))).constData(), 0644), 0);
        const QStringList before = entriesOf(dir.path());

        const FileWriteResult result = writeFileSafely(name.isEmpty() ? QString() : dir.filePath(name), "text");
        QVERIFY(!result.written);
        QCOMPARE(result.reason, reason);
        QVERIFY(!result.step.isEmpty());
        // Nothing was written, and the log line says so.
        QCOMPARE(result.failure, QStringLiteral("the file could not be created: %1 (%2)").arg(reason, result.step));
        QCOMPARE(entriesOf(dir.path()), before);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("folder"))).isDir());
        QCOMPARE(contentOf(dir.filePath(QStringLiteral("plain"))), QByteArray("plain"));
        struct stat pipe
        {
        };
        QCOMPARE(stat(QFile::encodeName(dir.filePath(QStringLiteral("pipe"))).constData(), &pipe), 0);
        QVERIFY(S_ISFIFO(pipe.st_mode));
    }

    // A writer opened and never committed leaves nothing behind.
    void uncommittedLeavesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kept.pdf"));
        QVERIFY(writePlain(path, "kept"));
        {
            SafeFileWriter writer(path);
            QVERIFY(writer.open());
        }
        QCOMPARE(entriesOf(dir.path()), QStringList{QStringLiteral("kept.pdf")});
        QCOMPARE(contentOf(path), QByteArray("kept"));
    }

    // The file-size limit refuses writes past it part-way, as a full disk does; on both sides of the
    // 16 KiB a buffered file device would have kept back until its flush.
    void sizeLimit_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("replacing");
        QTest::newRow("12 KiB, new") << 12 * 1024 << false;
        QTest::newRow("12 KiB, replacing") << 12 * 1024 << true;
        QTest::newRow("40 KiB, new") << 40 * 1024 << false;
        QTest::newRow("40 KiB, replacing") << 40 * 1024 << true;
    }

    void sizeLimit()
    {
        QFETCH(int, size);
        QFETCH(bool, replacing);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("limited.log"));
        const QByteArray old(3000, 'o');
        if (replacing)
            QVERIFY(writePlain(path, old));
        rlimit before{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit limited = before;
        limited.rlim_cur = 8192;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const FileWriteResult result = writeFileSafely(path, QByteArray(size, 'n'));
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!result.written);
        QCOMPARE(result.reason, tessaravolt::common::systemErrorText(EFBIG));
        QCOMPARE(result.step, QStringLiteral("writing"));
        QCOMPARE(result.failure, QStringLiteral("the file could not be written whole: File too large (writing)"));
        QCOMPARE(entriesOf(dir.path()), replacing ? QStringList{QStringLiteral("limited.log")} : QStringList());
        if (replacing)
            QCOMPARE(contentOf(path), old);
    }

    // Something put at the name after the writer was opened refuses the rename: the whole new file
    // is dropped, and what stands at the name is left.
    void nameTakenMeanwhile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        SafeFileWriter writer(path);
        QVERIFY(writer.open());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("report.pdf")));
        QVERIFY(!writer.commit("whole"));
        QCOMPARE(writer.failedStep(), QStringLiteral("renaming"));
        QCOMPARE(writer.failure(),
                 QStringLiteral("the file was written but could not take its name: %1 (renaming)")
                     .arg(systemErrorText(EISDIR)));
        QCOMPARE(entriesOf(dir.path()), QStringList{QStringLiteral("report.pdf")});
        QVERIFY(QFileInfo(path).isDir());
    }

    // A writer opened again does not keep what it found the first time: the file it was to replace
    // is gone, so the new one is made as a new file and does not take the old one's permissions.
    void reopenedWriterStartsAfresh()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("app.log"));
        QVERIFY(writePlain(path, "old"));
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0600), 0);
        const mode_t mask = ::umask(0);
        ::umask(mask);

        SafeFileWriter writer(path);
        QVERIFY(writer.open());
        QVERIFY(QFile::remove(path));
        QVERIFY(writer.open());
        QVERIFY(writer.commit("new"));
        QCOMPARE(contentOf(path), QByteArray("new"));
        QCOMPARE(modeOf(path), mode_t(0666 & ~mask));
    }

    // The new file reaches the disk before it takes the name, and the name after: a power cut just
    // after a save finds the old file or the whole new one under the name, never an empty one.
    void syncsBeforeTheRename_data()
    {
        QTest::addColumn<bool>("replacing");
        QTest::newRow("new file") << false;
        QTest::newRow("replacing") << true;
    }

    void syncsBeforeTheRename()
    {
        QFETCH(bool, replacing);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        if (replacing)
            QVERIFY(writePlain(path, "old"));
        QStringList calls;
        {
            SystemCalls recorded;
            QVERIFY(writeFileSafely(path, QByteArray(20000, 'n')).written);
            calls = recorded.calls;
        }
        QCOMPARE(calls,
                 QStringList({QStringLiteral("fsync file"), QStringLiteral("rename to report.pdf"),
                              QStringLiteral("fsync folder")}));
        QCOMPARE(contentOf(path), QByteArray(20000, 'n'));
    }

    // A folder that cannot be synced after the rename: the file is whole under its name and the save
    // counts, but the log is told that the name may not be on disk yet.
    void folderSyncFailureIsLogged()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("app.log"));
        const QString warning = QStringLiteral("the file is in place, but its name may not be on disk yet: %1 "
                                               "(syncing the folder)")
                                    .arg(systemErrorText(EIO));
        {
            SystemCalls failing;
            failing.folderSyncError = EIO;
            const FileWriteResult result = writeFileSafely(path, "saved");
            QVERIFY(result.written);
            QCOMPARE(result.warning, warning);
            QVERIFY(result.failure.isEmpty());
            LoggerManager::instance().addLog(QStringLiteral("exported"));
            QVERIFY(LoggerManager::instance().exportLog(path));
        }
        QVERIFY(contentOf(path).endsWith("  exported\n"));
        // What was exported has left the log; the warning of that export stays in it.
        QStringList logged;
        for (const LoggerManager::LogEntry& entry : LoggerManager::instance().entries())
            logged << entry.message;
        QCOMPARE(logged, QStringList{QStringLiteral("exportLog: ") + warning});

        // A folder that syncs warns of nothing.
        SafeFileWriter writer(path);
        QVERIFY(writer.commit("again"));
        QVERIFY(writer.warning().isEmpty());
    }

    // Where /proc is missing, the unnamed file could never be linked in: the save names its file
    // from the start instead, and works.
    void savesWithoutProc()
    {
        QTemporaryDir dir;
        const QString fresh = dir.filePath(QStringLiteral("new.log"));
        const QString replaced = dir.filePath(QStringLiteral("old.log"));
        QVERIFY(writePlain(replaced, "old"));
        QCOMPARE(::chmod(QFile::encodeName(replaced).constData(), 0640), 0);

        std::fflush(nullptr);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0)
            ::_exit(saveWithoutProc(fresh, replaced));
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        if (WEXITSTATUS(status) == kNoNamespace)
            QSKIP("no mount namespace of this test's own can be made here to hide /proc");
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(contentOf(fresh), QByteArray("new"));
        QCOMPARE(contentOf(replaced), QByteArray("replacement"));
        QCOMPARE(modeOf(replaced), mode_t(0640));
        QCOMPARE(entriesOf(dir.path()), QStringList({QStringLiteral("new.log"), QStringLiteral("old.log")}));
    }
};

QTEST_GUILESS_MAIN(TestSafeFileWriter)
#include "tst_safe_file_writer.moc"
