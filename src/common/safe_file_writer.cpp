#include "common/safe_file_writer.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <locale.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaravolt::common {

namespace {

QByteArray randomSuffix()
{
    return QByteArray::number(QRandomGenerator::global()->generate64(), 36);
}

// Hidden, and short enough for any target name: the target's own name could be at the limit.
QByteArray temporaryNameIn(const QByteArray& folder)
{
    return folder + "/.tessaravolt-save-" + randomSuffix();
}

QByteArray handleOf(int fd)
{
    return "/proc/self/fd/" + QByteArray::number(fd);
}

// An unnamed file can be linked in only through its handle's path under /proc.
bool linkableByHandle(int fd)
{
    struct stat opened
    {
    };
    struct stat throughHandle
    {
    };
    return ::fstat(fd, &opened) == 0 && ::stat(handleOf(fd).constData(), &throughHandle) == 0
        && opened.st_dev == throughHandle.st_dev && opened.st_ino == throughHandle.st_ino;
}

} // namespace

QString systemErrorText(int error)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    if (!cLocale)
        return QString::fromLocal8Bit(strerror(error));
    return QString::fromLocal8Bit(strerror_l(error, cLocale));
}

SafeFileWriter::SafeFileWriter(const QString& path)
{
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    QString target = info.absoluteFilePath();
    if (info.isSymLink())
        target = info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
    m_target = QFile::encodeName(target);
    m_folder = QFile::encodeName(QFileInfo(target).absolutePath());
}

SafeFileWriter::~SafeFileWriter()
{
    discard();
}

bool SafeFileWriter::fail(Outcome outcome, const char* step, int error)
{
    return fail(outcome, step, systemErrorText(error));
}

bool SafeFileWriter::fail(Outcome outcome, const char* step, const QString& reason)
{
    discard();
    m_outcome = outcome;
    m_step = QString::fromLatin1(step);
    m_reason = reason;
    return false;
}

QString SafeFileWriter::failure() const
{
    if (m_step.isEmpty())
        return {};
    QString what;
    switch (m_outcome) {
    case Outcome::NotCreated:
        what = QStringLiteral("the file could not be created");
        break;
    case Outcome::NotWhole:
        what = QStringLiteral("the file could not be written whole");
        break;
    case Outcome::NotInPlace:
        what = QStringLiteral("the file was written but could not take its name");
        break;
    }
    return QStringLiteral("%1: %2 (%3)").arg(what, m_reason, m_step);
}

void SafeFileWriter::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporaryName.isEmpty())
        ::unlink(m_temporaryName.constData());
    m_temporaryName.clear();
}

bool SafeFileWriter::open()
{
    discard();
    // Nothing found by an earlier open() holds now.
    m_replacing = false;
    m_mode = 0;
    m_reason.clear();
    m_step.clear();
    m_warning.clear();
    if (m_target.isEmpty())
        return fail(Outcome::NotCreated, "naming the file", ENOENT);
    struct stat old
    {
    };
    if (::stat(m_target.constData(), &old) == 0) {
        if (S_ISDIR(old.st_mode))
            return fail(Outcome::NotCreated, "checking the name", EISDIR);
        if (!S_ISREG(old.st_mode))
            return fail(Outcome::NotCreated, "checking the name", QStringLiteral("Not a regular file"));
        m_replacing = true;
        m_mode = old.st_mode & 07777;
    } else if (errno != ENOENT) {
        return fail(Outcome::NotCreated, "checking the name", errno);
    }

    // A file without a name cannot be left behind by a failure; it gets one only once it is whole.
    // Where it could not get one (no /proc), the file is named from the start instead.
    m_fd = ::open(m_folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (m_fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return fail(Outcome::NotCreated, "creating the file", errno);
    if (m_fd >= 0 && !linkableByHandle(m_fd)) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_anonymous = m_fd >= 0;
    for (int attempt = 0; m_fd < 0 && attempt < 100; ++attempt) {
        const QByteArray name = temporaryNameIn(m_folder);
        m_fd = ::open(name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            m_temporaryName = name;
        else if (errno != EEXIST)
            return fail(Outcome::NotCreated, "creating the file", errno);
    }
    if (m_fd < 0)
        return fail(Outcome::NotCreated, "creating the file", EEXIST);
    // A replaced file keeps its permissions.
    if (m_replacing && ::fchmod(m_fd, m_mode) != 0)
        return fail(Outcome::NotCreated, "setting the permissions", errno);
    return true;
}

bool SafeFileWriter::linkUnderTemporaryName()
{
    const QByteArray handle = handleOf(m_fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = temporaryNameIn(m_folder);
        if (::linkat(AT_FDCWD, handle.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
            m_temporaryName = name;
            return true;
        }
        if (errno != EEXIST)
            return fail(Outcome::NotInPlace, "naming the file", errno);
    }
    return fail(Outcome::NotInPlace, "naming the file", EEXIST);
}

bool SafeFileWriter::commit(const QByteArray& bytes)
{
    if (m_fd < 0 && !open())
        return false;

    // Every write is counted: a nearly full disk takes part of a write and refuses the next.
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(std::min<qint64>(left, qint64(1) << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(Outcome::NotWhole, "writing", errno);
        if (n == 0)
            return fail(Outcome::NotWhole, "writing", ENOSPC);
        data += n;
        left -= n;
    }
    if (::fsync(m_fd) != 0)
        return fail(Outcome::NotWhole, "syncing to disk", errno);
    struct stat written
    {
    };
    if (::fstat(m_fd, &written) != 0)
        return fail(Outcome::NotWhole, "checking the size", errno);
    if (written.st_size != bytes.size())
        return fail(Outcome::NotWhole, "checking the size",
                    QStringLiteral("%1 of %2 bytes reached the disk").arg(qint64(written.st_size)).arg(bytes.size()));

    if (m_anonymous && !linkUnderTemporaryName())
        return false;
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0)
        return fail(Outcome::NotWhole, "closing", errno);
    if (::rename(m_temporaryName.constData(), m_target.constData()) != 0)
        return fail(Outcome::NotInPlace, "renaming", errno);
    m_temporaryName.clear();

    // The new name itself reaches the disk with the folder.
    const int folder = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int synced = folder >= 0 ? ::fsync(folder) : -1;
    const int error = errno;
    if (folder >= 0)
        ::close(folder);
    if (synced != 0)
        m_warning = QStringLiteral("the file is in place, but its name may not be on disk yet: %1 (syncing the folder)")
                        .arg(systemErrorText(error));
    return true;
}

FileWriteResult writeFileSafely(const QString& path, const QByteArray& bytes)
{
    SafeFileWriter writer(path);
    if (!writer.open() || !writer.commit(bytes))
        return {false, writer.reason(), writer.failedStep(), writer.failure(), {}};
    return {true, {}, {}, {}, writer.warning()};
}

} // namespace tessaravolt::common
