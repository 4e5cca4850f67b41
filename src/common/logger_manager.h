#pragma once

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QString>

#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>

namespace tessaravolt::common {

// The one application log: time-stamped entries in memory, bounded to 8 MiB of exported text,
// written to disk only by exportLog(). Insertions build one process-wide pending line that
// std::endl commits as an entry.
class LoggerManager
{
public:
    struct LogEntry
    {
        QDateTime timestamp;
        QString message;
        qint64 size = 0;
    };

    static constexpr qint64 kMaxTotalBytes = 8388608;

    static LoggerManager& instance();

    LoggerManager& operator<<(const QString& text);
    LoggerManager& operator<<(char c);
    LoggerManager& operator<<(const QByteArray& bytes);
    LoggerManager& operator<<(const char* text);
    LoggerManager& operator<<(std::ostream& (*manipulator)(std::ostream&));

    template <typename T> LoggerManager& operator<<(const T& value)
    {
        appendPending(format(value));
        return *this;
    }

    void addLog(const QString& text);
    void cacheEncode(const char* tag, const unsigned char* data, unsigned long long size);
    // Writes the log to the file, newest entry first, and empties it once the file holds all of it.
    // On failure the log and any earlier file are kept and the system's reason goes to *reason.
    bool exportLog(const QString& path, QString* reason = nullptr);

    static QString formatTimestamp(const QDateTime& timestamp);
    static qint64 calculateEntrySize(const LogEntry& entry);

    // Read access for diagnostics and tests: committed entries, oldest first.
    QList<LogEntry> entries() const;
    qint64 totalBytes() const;

private:
    template <typename T> static QString format(const T& value)
    {
        if constexpr (std::is_same_v<T, const QChar*> || std::is_same_v<T, QChar*>) {
            return value ? QString(value) : QString();
        } else if constexpr (std::is_same_v<T, unsigned char> || std::is_same_v<T, signed char>) {
            // Byte-sized integers (uint8_t codes) are numbers here, not raw characters.
            return QString::number(int(value));
        } else {
            std::ostringstream stream;
            stream.imbue(std::locale::classic());
            stream << value;
            return QString::fromUtf8(stream.str());
        }
    }

    void appendPending(const QString& text);
    void appendLogLocked(QString message);
    void commitPendingLineLocked();
    void trimToLimitLocked();

    QList<LogEntry> m_entries;
    qsizetype m_firstEntry = 0; // entries before this index are already dropped
    QString m_pending;
    qint64 m_totalBytes = 0;
    quint64 m_appendedTotal = 0; // entries ever appended; identifies what an export covered
    mutable QMutex m_mutex;
};

} // namespace tessaravolt::common
