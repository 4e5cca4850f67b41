// The one way a user's file is written: the target is replaced whole or not at all, and nothing
// else at its name is touched.
#include "common/safe_file_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using tessaravolt::common::FileWriteResult;
using tessaravolt::common::SafeFileWriter;
using tessaravolt::common::writeFileSafely;

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
        QCOMPARE(entriesOf(dir.path()), replacing ? QStringList{QStringLiteral("limited.log")} : QStringList());
        if (replacing)
            QCOMPARE(contentOf(path), old);
    }
};

QTEST_GUILESS_MAIN(TestSafeFileWriter)
#include "tst_safe_file_writer.moc"
