// The local-time engine of the event-log lists: the calendar, the per-day zone offsets against
// the C library's own conversion, and the shared date and time texts.
#include "common/local_time.h"

#include <QtTest>

#include <cstdlib>
#include <ctime>
#include <limits>

using namespace tessaravolt::common;

namespace {

// Zone rules as POSIX strings, so that no zone database is needed.
const char* const kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";
const char* const kSydney = "AEST-10AEDT,M10.1.0,M4.1.0/3";
const char* const kIndia = "IST-5:30";

class ZoneScope
{
public:
    explicit ZoneScope(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = QByteArray(old);
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneScope()
    {
        if (m_old.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_old);
        tzset();
    }

private:
    QByteArray m_old;
};

} // namespace

class TestLocalTime : public QObject
{
    Q_OBJECT

private slots:
    void calendar_data()
    {
        QTest::addColumn<qint64>("utc");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("epoch") << qint64(0) << 0 << "1970/01/01"
                               << "00:00";
        QTest::newRow("before the epoch") << qint64(-1) << 0 << "1969/12/31"
                                          << "23:59";
        QTest::newRow("leap day 2000") << qint64(951782400) << 0 << "2000/02/29"
                                       << "00:00";
        QTest::newRow("no leap day 2100") << qint64(4107542400) << 0 << "2100/03/01"
                                          << "00:00";
        QTest::newRow("east of UTC, next day") << qint64(1700000000) << 8 * 3600 << "2023/11/15"
                                               << "06:13";
        QTest::newRow("west of UTC, day before") << qint64(1700000000 - 22 * 3600) << -5 * 3600 << "2023/11/13"
                                                 << "19:13";
        QTest::newRow("half-hour zone") << qint64(1700000000) << 5 * 3600 + 1800 << "2023/11/15"
                                        << "03:43";
        QTest::newRow("year below 1000") << qint64(-30610310400) << 0 << "0999/12/31"
                                         << "00:00";
    }

    void calendar()
    {
        QFETCH(qint64, utc);
        QFETCH(int, offset);
        QFETCH(QString, date);
        QFETCH(QString, time);
        const LocalMoment m = localMomentAt(utc, offset);
        QVERIFY(m.valid);
        QCOMPARE(formatLocalDate(m), date);
        QCOMPARE(formatLocalTime(m), time);
        QCOMPARE(m.offsetSeconds, offset);
    }

    // The per-day offsets, read a few times a day, give what the C library gives for each second,
    // on the days the clocks change and the ones around them.
    void zoneDaysAgreeWithTheCLibrary_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<qint64>("from");
        QTest::newRow("Berlin, spring") << QByteArray(kBerlin) << qint64(1711756800); // 2024-03-30
        QTest::newRow("Berlin, autumn") << QByteArray(kBerlin) << qint64(1729900800); // 2024-10-26
        QTest::newRow("Sydney, autumn") << QByteArray(kSydney) << qint64(1712275200); // 2024-04-05
        QTest::newRow("Sydney, spring") << QByteArray(kSydney) << qint64(1727913600); // 2024-10-03
        QTest::newRow("India, no change") << QByteArray(kIndia) << qint64(1711756800);
    }

    void zoneDaysAgreeWithTheCLibrary()
    {
        QFETCH(QByteArray, zone);
        QFETCH(qint64, from);
        const ZoneScope scope(zone.constData());
        const LocalClock clock;
        ZoneDays days;
        for (qint64 ts = from; ts < from + 3 * 86400; ts += 37) {
            const LocalMoment expected = clock.at(uint64_t(ts));
            const LocalMoment got = days.at(uint64_t(ts), days.indexOf(uint64_t(ts)));
            QVERIFY(expected.valid);
            QVERIFY(got.valid);
            if (got.offsetSeconds != expected.offsetSeconds || got.localMinute != expected.localMinute)
                QFAIL(qPrintable(QStringLiteral("at %1: offset %2 instead of %3")
                                     .arg(ts)
                                     .arg(got.offsetSeconds)
                                     .arg(expected.offsetSeconds)));
        }
    }

    // The extremes of the wire's 64-bit time stamp: defined arithmetic everywhere (the sanitizer
    // build checks), a date up to the last moment a JavaScript date holds, as the table shows it,
    // and no text past it.
    void extremeTimeStamps_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<quint64>("utc");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("zoneText");
        // Each zone's text, winter and summer, from the program's table of offsets: Berlin's
        // summer offset of two hours reads as that table names it.
        const struct
        {
            QByteArray zone;
            const char* winter;
            const char* summer;
            const char* winterText;
            const char* summerText;
        } zones[] = {
            {QByteArray("UTC0"), "00:00", "00:00", "UTC", "UTC"},
            {QByteArray("CST-8"), "08:00", "08:00", "CST", "CST"},
            {QByteArray(kBerlin), "01:00", "02:00", "CET", "EET"},
        };
        for (const auto& z : zones) {
            const char* name = z.zone.constData();
            QTest::addRow("%s, 0", name) << z.zone << quint64(0) << "1970/01/01" << z.winter << z.winterText;
            QTest::addRow("%s, year 10000", name)
                << z.zone << quint64(253402300800) << "10000/01/01" << z.winter << z.winterText;
            QTest::addRow("%s, last shown second", name)
                << z.zone << quint64(kLatestShownSeconds) << "275760/09/13" << z.summer << z.summerText;
            QTest::addRow("%s, one second later", name)
                << z.zone << quint64(kLatestShownSeconds + 1) << QString() << QString() << QString();
            QTest::addRow("%s, 2^63 - 1", name)
                << z.zone << quint64(std::numeric_limits<qint64>::max()) << QString() << QString() << QString();
            QTest::addRow("%s, 2^63", name) << z.zone << (quint64(1) << 63) << QString() << QString() << QString();
            QTest::addRow("%s, 2^64 - 1", name)
                << z.zone << std::numeric_limits<quint64>::max() << QString() << QString() << QString();
        }
    }

    void extremeTimeStamps()
    {
        QFETCH(QByteArray, zone);
        QFETCH(quint64, utc);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(QString, zoneText);
        const ZoneScope scope(zone.constData());
        const LocalClock clock;
        ZoneDays days;
        const int index = days.indexOf(utc);
        for (const LocalMoment& m : {clock.at(utc), days.at(utc, index)}) {
            QCOMPARE(m.valid, !date.isEmpty());
            MomentTexts texts;
            QCOMPARE(texts.date(m), date);
            QCOMPARE(texts.time(m, false), time);
            // With the zone: nothing at all for a moment without a date, not a lone space.
            QCOMPARE(texts.time(m, true), date.isEmpty() ? QString() : time + QLatin1Char(' ') + zoneText);
            QCOMPARE(formatLocalDate(m), date);
            QCOMPARE(zoneAbbreviation(m), zoneText);
        }
        // The calendar alone, at the far ends of its argument and the largest offsets.
        for (const int offset : {-14 * 3600, 0, 14 * 3600}) {
            QVERIFY(!localMomentAt(std::numeric_limits<qint64>::max(), offset).valid);
            QVERIFY(!localMomentAt(std::numeric_limits<qint64>::min(), offset).valid);
            QCOMPARE(localMomentAt(qint64(utc > quint64(kLatestShownSeconds) ? 0 : utc), offset).valid, true);
        }
    }

    // In the hour repeated in autumn the same wall-clock minute comes twice, with two offsets:
    // the shared text must follow the offset, not only the minute.
    void sharedTextsFollowTheOffset()
    {
        const ZoneScope scope(kBerlin);
        const LocalClock clock;
        const LocalMoment summer = clock.at(1729989000); // 2024-10-27 00:30 UTC, 02:30 CEST
        const LocalMoment winter = clock.at(1729992600); // 01:30 UTC, 02:30 CET
        QCOMPARE(summer.localMinute, winter.localMinute);
        QVERIFY(summer.offsetSeconds != winter.offsetSeconds);

        MomentTexts texts;
        QCOMPARE(texts.date(summer), QStringLiteral("2024/10/27"));
        QCOMPARE(texts.time(summer, false), QStringLiteral("02:30"));
        const QString summerZone = texts.time(summer, true);
        QCOMPARE(summerZone, QStringLiteral("02:30 ") + zoneAbbreviation(summer));
        const QString winterZone = texts.time(winter, true);
        QCOMPARE(winterZone, QStringLiteral("02:30 ") + zoneAbbreviation(winter));
        QVERIFY(summerZone != winterZone);
        QCOMPARE(texts.date(winter), QStringLiteral("2024/10/27"));
    }
};

QTEST_GUILESS_MAIN(TestLocalTime)
#include "tst_local_time.moc"
