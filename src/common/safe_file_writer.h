#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace tessaravolt::common {

// The system's text for an errno value, always in English: it is logged for support and shown
// under the translated message, and must not follow Qt's catalogues of the chosen language.
QString systemErrorText(int error);

// Writes a user's file so that no failure costs the file already there: the bytes go to a new file
// in the target's folder, every write counted, synced and measured on disk, and only then does it
// take the target's name. On any failure the new file is removed and the old one is left byte for
// byte. No folder is created. A link is followed to the file it names; anything else at the name
// that is not a regular file (a folder, a device) is refused and left alone.
//
// QSaveFile is not used: on Qt 6.4 its commit() was seen to put a file in place after the flush
// of its write buffer had failed on a full disk.
class SafeFileWriter
{
public:
    explicit SafeFileWriter(const QString& path);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Makes the new file beside the target; false when it cannot be made there (a missing folder,
    // no permission). Opening first lets a caller fail before it builds a costly content.
    bool open();
    // Writes the whole content and renames it over the target. An uncommitted file is dropped.
    bool commit(const QByteArray& bytes);

    // After a failure: the system's text for it ("No space left on device"), for the user, and the
    // step that failed, for the application log.
    QString reason() const { return m_reason; }
    QString failedStep() const { return m_step; }
    // After a failure, for the application log: what happened, why, and at which step ("the file
    // could not be written whole: No space left on device (writing)").
    QString failure() const;
    // After a commit that put the file in place but could not sync its folder, for the application
    // log: the file is whole under its name, but the name may not be on disk yet. Empty otherwise.
    QString warning() const { return m_warning; }

private:
    // How far a failed save got; the old file is kept whatever it is.
    enum class Outcome {
        NotCreated, // nothing was written
        NotWhole,   // the new file's bytes did not all reach the disk
        NotInPlace, // the new file was whole but could not take the target's name
    };
    bool fail(Outcome outcome, const char* step, int error);
    bool fail(Outcome outcome, const char* step, const QString& reason);
    bool linkUnderTemporaryName();
    void discard();

    QByteArray m_target;
    QByteArray m_folder;
    QByteArray m_temporaryName; // set while the new file has a name of its own
    int m_fd = -1;
    bool m_anonymous = false; // made without a name (O_TMPFILE), linked in only once it is whole
    bool m_replacing = false;
    mode_t m_mode = 0;
    Outcome m_outcome = Outcome::NotCreated;
    QString m_reason;
    QString m_step;
    QString m_warning;
};

// One whole write through SafeFileWriter, with its texts.
struct FileWriteResult
{
    bool written = false;
    QString reason;
    QString step;
    QString failure;
    QString warning;
};
FileWriteResult writeFileSafely(const QString& path, const QByteArray& bytes);

} // namespace tessaravolt::common
