#pragma once

// The application log as a test reads it: the entries committed after a mark was taken.

#include "common/logger_manager.h"

#include <QString>
#include <QStringList>

namespace tessaravolt::test {

class LogMark
{
public:
    LogMark()
        : m_start(common::LoggerManager::instance().entries().size())
    { }

    QStringList lines() const
    {
        const auto entries = common::LoggerManager::instance().entries();
        QStringList out;
        for (qsizetype i = m_start; i < entries.size(); ++i)
            out << entries.at(i).message;
        return out;
    }

    // Lines holding `text` anywhere: the process keeps one pending line, so the link's worker
    // thread may put its own words in front of a line that this thread is composing.
    int count(const QString& text) const
    {
        int n = 0;
        for (const QString& line : lines())
            n += line.contains(text) ? 1 : 0;
        return n;
    }

    bool has(const QString& text) const { return count(text) > 0; }

    // Lines that begin with `prefix`: the link's own connection lines, written whole.
    QStringList starting(const QString& prefix) const
    {
        QStringList out;
        for (const QString& line : lines()) {
            if (line.startsWith(prefix))
                out << line;
        }
        return out;
    }

    int countStarting(const QString& prefix) const { return int(starting(prefix).size()); }

    // Index of the first line beginning with `prefix`, -1 when there is none.
    qsizetype indexOf(const QString& prefix) const
    {
        const QStringList all = lines();
        for (qsizetype i = 0; i < all.size(); ++i) {
            if (all.at(i).startsWith(prefix))
                return i;
        }
        return -1;
    }

private:
    qsizetype m_start;
};

} // namespace tessaravolt::test
