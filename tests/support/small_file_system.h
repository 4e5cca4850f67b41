#pragma once

// A small file system of a test's own: a tmpfs mounted over a temporary folder in a private mount
// namespace, where one test function of the same program runs again in a child. There a test can
// fill the disk and see what a full one does, without root outside the namespace.

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <sys/statvfs.h>

namespace tessaravolt::test {

// Set in the child: the folder the tmpfs is mounted on.
inline constexpr char kSmallFileSystemVariable[] = "TESSARAVOLT_SMALL_FS";

struct SmallFileSystemRun
{
    bool ran = false;    // false: no private mount here (the output says why)
    bool passed = false; // the child's test function passed (every row of it)
    QString output;
};

// Runs `childFunction` of this test program in a child whose `folder` is a tmpfs of `size`
// ("256k"). The child finds the folder in kSmallFileSystemVariable.
inline SmallFileSystemRun runInSmallFileSystem(const QString& folder, const QString& size, const QString& childFunction,
                                               const QString& testClass)
{
    SmallFileSystemRun run;
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty()) {
        run.output = QStringLiteral("no unshare");
        return run;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kSmallFileSystemVariable), folder);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(unshare,
                {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("mount -t tmpfs -o size=%1 tmpfs \"$1\" || exit 77; exec \"$2\" \"$3\"").arg(size),
                 QStringLiteral("sh"), folder, QCoreApplication::applicationFilePath(), childFunction});
    if (!child.waitForFinished(240000)) {
        child.kill();
        child.waitForFinished();
    }
    run.output = QString::fromUtf8(child.readAll());
    if (child.exitCode() == 77 || run.output.contains(QStringLiteral("unshare: ")))
        return run;
    run.ran = true;
    run.passed = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0
        && run.output.contains(QStringLiteral("PASS   : %1::%2(").arg(testClass, childFunction));
    return run;
}

inline qint64 freeBytes(const QString& folder)
{
    struct statvfs s
    {
    };
    if (statvfs(QFile::encodeName(folder).constData(), &s) != 0)
        return -1;
    return qint64(s.f_bavail) * qint64(s.f_frsize);
}

// Fills the file system of `folder` with the file `filler` until only `left` bytes are free (a
// whole number of blocks). True when exactly that much is left.
inline bool fillLeaving(const QString& folder, const QString& filler, qint64 left)
{
    const qint64 toWrite = freeBytes(folder) - left;
    if (toWrite < 0)
        return false;
    QFile file(folder + QLatin1Char('/') + filler);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray block(4096, 'f');
    for (qint64 written = 0; written < toWrite;) {
        const qint64 n = file.write(block.constData(), std::min<qint64>(block.size(), toWrite - written));
        if (n <= 0)
            return false;
        written += n;
    }
    return file.flush() && freeBytes(folder) == left;
}

} // namespace tessaravolt::test
