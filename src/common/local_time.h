#pragma once

#include <QHash>
#include <QString>

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace tessaravolt::common {

// The latest time stamp that has a date: the last moment a JavaScript date holds (year 275760),
// so that the table, which formats its activity rows in QML, and the lists agree on every record.
// Later time stamps have no date and no time text, in every zone.
constexpr qint64 kLatestShownSeconds = 8640000000000;

// value / divisor rounded towards minus infinity (divisor > 0).
constexpr qint64 floorDiv(qint64 value, qint64 divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// One moment in local time, by the C library's zone rules, which Qt's local time also follows.
struct LocalMoment
{
    bool valid = false;
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int offsetSeconds = 0;
    qint64 localDay = 0;    // days since the epoch in local time, a cache key
    qint64 localMinute = 0; // minutes since the epoch in local time, a cache key
};

// The moment `utcSeconds` (since the epoch) at the given offset from UTC, in the proleptic
// Gregorian calendar; invalid beyond kLatestShownSeconds either side of the epoch.
LocalMoment localMomentAt(qint64 utcSeconds, int offsetSeconds);

// Local time by the C library's zone rules. The zone is read once, when the clock is made, not
// once per record as QDateTime's local time does.
class LocalClock
{
public:
    LocalClock();

    // The zone's offset from UTC at `utcSeconds`, or nothing where the C library has none.
    static std::optional<int> offsetAt(qint64 utcSeconds);

    // Invalid for time stamps past kLatestShownSeconds or that the C library cannot convert.
    LocalMoment at(uint64_t utcSeconds) const;
};

// The zone's offsets on the UTC days that records fall on, read from the C library a few times
// per day rather than once per record: its conversion takes a process-wide lock, and a list is
// built on several threads. A day holds at most one change of offset.
class ZoneDays
{
public:
    ZoneDays();

    // A handle for at(); not thread-safe.
    int indexOf(uint64_t utcSeconds);

    // Thread-safe once every index has been handed out.
    LocalMoment at(uint64_t utcSeconds, int index) const;

    // The same for signed time stamps, which may fall before 1970: up to kLatestShownSeconds
    // either side of the epoch.
    int indexOfSigned(qint64 utcSeconds);
    LocalMoment atSigned(qint64 utcSeconds, int index) const;

private:
    static constexpr int kInvalid = -1;

    struct Day
    {
        qint64 utcDay = 0;
        bool valid = false;
        qint64 change = std::numeric_limits<qint64>::max();
        int before = 0;
        int after = 0;
    };

    static Day readDay(qint64 utcDay);

    std::vector<Day> m_days;
    QHash<qint64, int> m_index;
    int m_last = -1;
};

// "yyyy/MM/dd", "HH:mm" and the zone's abbreviation; empty for an invalid moment.
QString formatLocalDate(const LocalMoment& moment);
QString formatLocalTime(const LocalMoment& moment);
QString zoneAbbreviation(const LocalMoment& moment);

// Neighbouring records share their day and often their minute; equal texts share one string.
class MomentTexts
{
public:
    const QString& date(const LocalMoment& moment);
    // "HH:mm", or "HH:mm" and the zone's abbreviation.
    const QString& time(const LocalMoment& moment, bool withZone);

private:
    bool m_haveDate = false;
    bool m_dateValid = false;
    qint64 m_day = 0;
    QString m_date;
    bool m_haveTime = false;
    bool m_timeValid = false;
    qint64 m_minute = 0;
    int m_offset = 0;
    bool m_withZone = false;
    QString m_time;
};

} // namespace tessaravolt::common
