#include "common/local_time.h"

#include "common/i18n.h"

#include <cstdlib>
#include <ctime>

namespace tessaravolt::common {

namespace {

// The civil date of a day count since 1970-01-01 (proleptic Gregorian calendar).
void civilFromDays(qint64 days, int& year, int& month, int& day)
{
    days += 719468;
    const qint64 era = floorDiv(days, 146097);
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthIndex = (5 * dayOfYear + 2) / 153;
    day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = int(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

void appendTwoDigits(QString& out, int value)
{
    out.append(QLatin1Char(char('0' + value / 10 % 10)));
    out.append(QLatin1Char(char('0' + value % 10)));
}

} // namespace

LocalMoment localMomentAt(qint64 utcSeconds, int offsetSeconds)
{
    // Within these bounds neither the local seconds nor the year can overflow.
    if (utcSeconds > kLatestShownSeconds || utcSeconds < -kLatestShownSeconds)
        return {};
    LocalMoment m;
    m.valid = true;
    m.offsetSeconds = offsetSeconds;
    const qint64 local = utcSeconds + offsetSeconds;
    m.localDay = floorDiv(local, 86400);
    m.localMinute = floorDiv(local, 60);
    const qint64 secondOfDay = local - m.localDay * 86400;
    m.hour = int(secondOfDay / 3600);
    m.minute = int(secondOfDay % 3600 / 60);
    civilFromDays(m.localDay, m.year, m.month, m.day);
    return m;
}

// ---- LocalClock ------------------------------------------------------------------------------

LocalClock::LocalClock()
{
    tzset();
}

std::optional<int> LocalClock::offsetAt(qint64 utcSeconds)
{
    const time_t t = static_cast<time_t>(utcSeconds);
    tm parts{};
    if (!localtime_r(&t, &parts))
        return std::nullopt;
    return static_cast<int>(parts.tm_gmtoff);
}

LocalMoment LocalClock::at(uint64_t utcSeconds) const
{
    if (utcSeconds > uint64_t(kLatestShownSeconds))
        return {};
    const std::optional<int> offset = offsetAt(qint64(utcSeconds));
    return offset ? localMomentAt(qint64(utcSeconds), *offset) : LocalMoment{};
}

// ---- ZoneDays --------------------------------------------------------------------------------

ZoneDays::ZoneDays()
{
    tzset();
}

int ZoneDays::indexOf(uint64_t utcSeconds)
{
    return utcSeconds > uint64_t(kLatestShownSeconds) ? kInvalid : indexOfSigned(qint64(utcSeconds));
}

int ZoneDays::indexOfSigned(qint64 utcSeconds)
{
    if (utcSeconds > kLatestShownSeconds || utcSeconds < -kLatestShownSeconds)
        return kInvalid;
    const qint64 utcDay = floorDiv(utcSeconds, 86400);
    if (m_last >= 0 && m_days[m_last].utcDay == utcDay)
        return m_last;
    auto known = m_index.constFind(utcDay);
    if (known == m_index.cend()) {
        m_days.push_back(readDay(utcDay));
        known = m_index.insert(utcDay, int(m_days.size() - 1));
    }
    m_last = known.value();
    return m_last;
}

LocalMoment ZoneDays::at(uint64_t utcSeconds, int index) const
{
    // indexOf hands out a valid index only for a time stamp within the signed range.
    return atSigned(qint64(utcSeconds), index);
}

LocalMoment ZoneDays::atSigned(qint64 utcSeconds, int index) const
{
    if (index == kInvalid || !m_days[index].valid)
        return {};
    const Day& day = m_days[index];
    return localMomentAt(utcSeconds, utcSeconds < day.change ? day.before : day.after);
}

ZoneDays::Day ZoneDays::readDay(qint64 utcDay)
{
    Day day;
    day.utcDay = utcDay;
    qint64 lo = utcDay * 86400;
    qint64 hi = lo + 86399;
    const std::optional<int> first = LocalClock::offsetAt(lo);
    const std::optional<int> last = LocalClock::offsetAt(hi);
    if (!first || !last)
        return day;
    day.valid = true;
    day.before = *first;
    day.after = *last;
    if (*first == *last)
        return day;
    while (hi - lo > 1) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (LocalClock::offsetAt(mid).value_or(*last) == *first)
            lo = mid;
        else
            hi = mid;
    }
    day.change = hi;
    return day;
}

// ---- texts -----------------------------------------------------------------------------------

QString formatLocalDate(const LocalMoment& m)
{
    if (!m.valid)
        return {};
    // The sign goes before the padding: "-0004", not "00-4".
    QString out = m.year < 0 ? QStringLiteral("-") : QString();
    out.reserve(11);
    out.append(QString::number(std::abs(m.year)).rightJustified(4, QLatin1Char('0')));
    out.append(QLatin1Char('/'));
    appendTwoDigits(out, m.month);
    out.append(QLatin1Char('/'));
    appendTwoDigits(out, m.day);
    return out;
}

QString formatLocalTime(const LocalMoment& m)
{
    if (!m.valid)
        return {};
    QString out;
    out.reserve(5);
    appendTwoDigits(out, m.hour);
    out.append(QLatin1Char(':'));
    appendTwoDigits(out, m.minute);
    return out;
}

QString zoneAbbreviation(const LocalMoment& m)
{
    if (!m.valid)
        return {};
    return I18n::offsetToAbbreviation(static_cast<int16_t>(m.offsetSeconds / 60));
}

const QString& MomentTexts::date(const LocalMoment& m)
{
    if (!m_haveDate || m.valid != m_dateValid || m.localDay != m_day) {
        m_haveDate = true;
        m_dateValid = m.valid;
        m_day = m.localDay;
        m_date = formatLocalDate(m);
    }
    return m_date;
}

const QString& MomentTexts::time(const LocalMoment& m, bool withZone)
{
    if (!m_haveTime || m.valid != m_timeValid || m.localMinute != m_minute || m.offsetSeconds != m_offset
        || withZone != m_withZone) {
        m_haveTime = true;
        m_withZone = withZone;
        m_timeValid = m.valid;
        m_minute = m.localMinute;
        m_offset = m.offsetSeconds;
        m_time = withZone && m.valid ? formatLocalTime(m) + QLatin1Char(' ') + zoneAbbreviation(m) : formatLocalTime(m);
    }
    return m_time;
}

} // namespace tessaravolt::common
