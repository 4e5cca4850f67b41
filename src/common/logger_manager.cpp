#include "common/logger_manager.h"

#include "common/safe_file_writer.h"

#include <QMutexLocker>

namespace tessaravolt::common {

namespace {

constexpr bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Characters that reorder a line (bidi embeddings, overrides, isolates) or break it (the line and
// paragraph separators) in a viewer.
constexpr bool isLayoutControl(char16_t c)
{
    return c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Device texts and error texts reach the log as they came: an exported log shown in a terminal
// must not carry its escape sequences, nor show a line reversed or split, so control characters
// are written as \xHH and the layout controls as \uHHHH.
void escapeControlCharacters(QString& message)
{
    const auto escapedHere = [](char16_t c) { return isControl(c) || isLayoutControl(c); };
    qsizetype i = 0;
    while (i < message.size() && !escapedHere(message.at(i).unicode()))
        ++i;
    if (i == message.size())
        return;
    QString escaped;
    escaped.reserve(message.size() + 8);
    escaped.append(QStringView(message).first(i));
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (; i < message.size(); ++i) {
        const char16_t c = message.at(i).unicode();
        if (isControl(c)) {
            const char code[] = {'\\', 'x', kHex[(c >> 4) & 0xF], kHex[c & 0xF], '\0'};
            escaped.append(QLatin1String(code));
        } else if (isLayoutControl(c)) {
            const char code[] = {'\\',          'u', kHex[(c >> 12) & 0xF], kHex[(c >> 8) & 0xF], kHex[(c >> 4) & 0xF],
                                 kHex[c & 0xF], '\0'};
            escaped.append(QLatin1String(code));
        } else {
            escaped.append(QChar(c));
        }
    }
    message = std::move(escaped);
}

} // namespace

LoggerManager& LoggerManager::instance()
{
    static LoggerManager logger;
    return logger;
}

void LoggerManager::appendPending(const QString& text)
{
    QMutexLocker lock(&m_mutex);
    m_pending += text;
}

LoggerManager& LoggerManager::operator<<(const QString& text)
{
    appendPending(text);
    return *this;
}

LoggerManager& LoggerManager::operator<<(char c)
{
    appendPending(QString(QLatin1Char(c)));
    return *this;
}

LoggerManager& LoggerManager::operator<<(const QByteArray& bytes)
{
    appendPending(QString::fromUtf8(bytes));
    return *this;
}

LoggerManager& LoggerManager::operator<<(const char* text)
{
    if (text)
        appendPending(QString::fromUtf8(text));
    return *this;
}

LoggerManager& LoggerManager::operator<<(std::ostream& (*)(std::ostream&))
{
    QMutexLocker lock(&m_mutex);
    commitPendingLineLocked();
    return *this;
}

void LoggerManager::addLog(const QString& text)
{
    QMutexLocker lock(&m_mutex);
    appendLogLocked(text);
}

void LoggerManager::cacheEncode(const char* tag, const unsigned char* data, unsigned long long size)
{
    if (!data)
        size = 0;
    QString hex;
    hex.reserve(static_cast<qsizetype>(size) * 5);
    for (unsigned long long i = 0; i < size; ++i) {
        hex += QLatin1String(" 0x");
        hex += QString::number(data[i], 16).toUpper();
    }
    *this << tag;
    *this << ":";
    hex = hex.trimmed();
    QMutexLocker lock(&m_mutex);
    m_pending += hex;
    commitPendingLineLocked();
}

bool LoggerManager::exportLog(const QString& path, QString* reason)
{
    QByteArray text;
    quint64 exportedUpTo = 0;
    {
        QMutexLocker lock(&m_mutex);
        commitPendingLineLocked();
        exportedUpTo = m_appendedTotal;
        text.reserve(m_totalBytes);
        for (qsizetype i = m_entries.size() - 1; i >= m_firstEntry; --i) {
            const LogEntry& entry = m_entries.at(i);
            text += formatTimestamp(entry.timestamp).toUtf8();
            text += "  ";
            text += entry.message.toUtf8();
            text += '\n';
        }
    }

    // The log is emptied only once the whole text is on disk: a failed export loses nothing, and
    // an earlier file of the name stays as it was. No folder is created.
    const FileWriteResult result = writeFileSafely(path, text);
    if (!result.written) {
        if (reason)
            *reason = result.reason;
        addLog(QStringLiteral("exportLog: ") + result.failure);
        return false;
    }

    {
        QMutexLocker lock(&m_mutex);
        // Entries logged while the file was written stay: only those exported are removed.
        const qsizetype live = m_entries.size() - m_firstEntry;
        const quint64 firstLiveSerial = m_appendedTotal - quint64(live);
        const qsizetype exported = exportedUpTo > firstLiveSerial ? qsizetype(exportedUpTo - firstLiveSerial) : 0;
        for (qsizetype i = 0; i < exported; ++i)
            m_totalBytes -= m_entries.at(m_firstEntry + i).size;
        m_entries.remove(0, m_firstEntry + exported);
        m_firstEntry = 0;
    }
    if (!result.warning.isEmpty())
        addLog(QStringLiteral("exportLog: ") + result.warning);
    return true;
}

QString LoggerManager::formatTimestamp(const QDateTime& timestamp)
{
    return timestamp.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss.zzz"));
}

qint64 LoggerManager::calculateEntrySize(const LogEntry& entry)
{
    return formatTimestamp(entry.timestamp).toUtf8().size() + 2 + entry.message.toUtf8().size() + 1;
}

QList<LoggerManager::LogEntry> LoggerManager::entries() const
{
    QMutexLocker lock(&m_mutex);
    // A list of its own: a shared buffer would be read by the caller outside the lock while a
    // writer on another thread moves its entries (Qt's sharing test is a relaxed load).
    QList<LogEntry> copy;
    copy.reserve(m_entries.size() - m_firstEntry);
    for (qsizetype i = m_firstEntry; i < m_entries.size(); ++i)
        copy.append(m_entries.at(i));
    return copy;
}

qint64 LoggerManager::totalBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_totalBytes;
}

void LoggerManager::appendLogLocked(QString message)
{
    message.replace(QLatin1Char('\r'), QLatin1Char(' '));
    message.replace(QLatin1Char('\n'), QLatin1Char(' '));
    escapeControlCharacters(message);
    LogEntry entry{QDateTime::currentDateTime(), std::move(message), 0};
    entry.size = calculateEntrySize(entry);
    m_totalBytes += entry.size;
    m_entries.append(std::move(entry));
    ++m_appendedTotal;
    trimToLimitLocked();
}

void LoggerManager::commitPendingLineLocked()
{
    if (m_pending.isEmpty())
        return;
    QString text = std::move(m_pending);
    m_pending.clear();
    appendLogLocked(std::move(text));
}

void LoggerManager::trimToLimitLocked()
{
    if (m_totalBytes <= kMaxTotalBytes)
        return;
    while (m_totalBytes > kMaxTotalBytes && m_firstEntry < m_entries.size()) {
        m_totalBytes -= m_entries.at(m_firstEntry).size;
        ++m_firstEntry;
    }
    // Drop the removed front in one go once it is a sizeable share, so trimming stays O(1) amortised.
    if (m_firstEntry > 4096 && m_firstEntry * 2 > m_entries.size()) {
        m_entries.remove(0, m_firstEntry);
        m_firstEntry = 0;
    }
}

} // namespace tessaravolt::common
