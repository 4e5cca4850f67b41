// The event-log readers: report lists, the cache meta map and the abnormal snapshot pages.
#include "transport/tst_event_log_access.h"

#include "common/i18n.h"
#include "transport/event_log_display.h"
#include "transport/event_log_store.h"
#include "transport/hid_service_api.h"

#include <QtTest>

#include <algorithm>
#include <ctime>
#include <limits>
#include <memory>
#include <numeric>
#include <random>

using namespace tessaravolt::transport;
using tessaravolt::common::I18n;

namespace {

CacheEvtInfo rec(uint16_t seq, uint64_t ts, uint8_t info = 0, int16_t code = 0, uint8_t status = 0)
{
    return CacheEvtInfo{seq, ts, status, info, code};
}

QList<qlonglong> tsOf(const QVariantList& list)
{
    QList<qlonglong> out;
    for (const QVariant& v : list)
        out << v.toMap().value("ts").toLongLong();
    return out;
}

QList<int> seqOf(const QVariantList& rows)
{
    QList<int> out;
    for (const QVariant& v : rows)
        out << v.toMap().value("seq").toInt();
    return out;
}

void setZone(const QByteArray& zone)
{
    qputenv("TZ", zone);
    tzset();
}

} // namespace

class TstEventLogReaders : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<HidServiceApi> api;
    QByteArray savedTz;

    EventLogStore& store() { return EventLogTestAccess::store(*api); }
    void setAbnormal(const QList<CacheEvtInfo>& records) { store().abnormalCache = records; }
    void setActivity(const QList<CacheEvtInfo>& records) { store().activityCache = records; }

private slots:
    void initTestCase()
    {
        savedTz = qgetenv("TZ");
        setZone("UTC");
    }

    void cleanupTestCase()
    {
        if (savedTz.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", savedTz);
        tzset();
    }

    void init() { api = std::make_unique<HidServiceApi>(nullptr); }
    void cleanup()
    {
        api.reset();
        setZone("UTC");
    }

    void emptyCachesReadAsEmpty()
    {
        QVERIFY(api->getCachedActivityLogs().isEmpty());
        QVERIFY(api->getCachedAbnormalLogs().isEmpty());
        const QVariantMap meta = api->abnormalLogCacheMeta();
        QCOMPARE(meta.value("revision").toULongLong(), 0u);
        QCOMPARE(meta.value("available").toULongLong(), 0u);
        QCOMPARE(meta.value("target").toInt(), 0);
        QCOMPARE(meta.value("syncing").toBool(), false);
        QCOMPARE(meta.value("complete").toBool(), false);
        QVERIFY(api->readAbnormalLogSnapshot(0, 50).isEmpty());
        const QVariantMap snap = api->beginAbnormalLogSnapshot();
        QCOMPARE(snap.value("snapshotRevision").toULongLong(), 0u);
        QCOMPARE(snap.value("available").toLongLong(), 0);
        QVERIFY(api->readAbnormalLogSnapshot(0, 50).isEmpty());
    }

    // Report lists: newest first, equal time stamps in the order first received. The snapshot
    // breaks the tie by the larger sequence number.
    void orderOfListsAndSnapshot()
    {
        const QList<CacheEvtInfo> records{rec(1, 100), rec(7, 300), rec(3, 200), rec(2, 200), rec(9, 50), rec(4, 300)};
        setActivity(records);
        setAbnormal(records);
        const QList<qlonglong> expectedTs{300, 300, 200, 200, 100, 50};
        for (const QVariantList& list : {api->getCachedActivityLogs(), api->getCachedAbnormalLogs()}) {
            QCOMPARE(tsOf(list), expectedTs);
        }
        // Ties keep the cache order, not the sequence order (the status marks each record).
        const QList<CacheEvtInfo> ties{rec(4, 300, 0, 0, 1), rec(7, 300, 0, 0, 2), rec(2, 200, 0, 0, 3),
                                       rec(3, 200, 0, 0, 4)};
        setActivity(ties);
        setAbnormal(ties);
        for (const QVariantList& list : {api->getCachedActivityLogs(), api->getCachedAbnormalLogs()}) {
            QList<int> statuses;
            for (const QVariant& v : list)
                statuses << v.toMap().value("status").toInt();
            QCOMPARE(statuses, (QList<int>{1, 2, 3, 4}));
        }
        setAbnormal(records);

        api->beginAbnormalLogSnapshot();
        QCOMPARE(seqOf(api->readAbnormalLogSnapshot(0, 50)), (QList<int>{7, 4, 3, 2, 1, 9}));
        const QVariantMap first = api->readAbnormalLogSnapshot(0, 1).first().toMap();
        QCOMPARE(first.value("sort").toDouble(), 300000.0);
    }

    void snapshotPaging_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("firstSeq");
        // 120 records, seq 1 (oldest) to 120 (newest): row i holds seq 120 - i.
        QTest::newRow("limit 0") << 0 << 0 << 0 << -1;
        QTest::newRow("negative offset") << -1 << 50 << 0 << -1;
        QTest::newRow("offset at size") << 120 << 50 << 0 << -1;
        QTest::newRow("offset past size") << 1000 << 50 << 0 << -1;
        QTest::newRow("limit 500 capped") << 0 << 500 << 50 << 120;
        QTest::newRow("largest limit") << 60 << std::numeric_limits<int>::max() << 50 << 60;
        QTest::newRow("tail") << 110 << 50 << 10 << 10;
        QTest::newRow("one row") << 5 << 1 << 1 << 115;
    }

    void snapshotPaging()
    {
        QFETCH(int, offset);
        QFETCH(int, limit);
        QFETCH(int, rows);
        QFETCH(int, firstSeq);
        QList<CacheEvtInfo> records;
        for (int i = 1; i <= 120; ++i)
            records << rec(uint16_t(i), 1000 + uint64_t(i));
        setAbnormal(records);
        QCOMPARE(api->beginAbnormalLogSnapshot().value("available").toLongLong(), 120);
        const QVariantList page = api->readAbnormalLogSnapshot(offset, limit);
        QCOMPARE(page.size(), rows);
        if (rows > 0) {
            const QList<int> seqs = seqOf(page);
            QCOMPARE(seqs.first(), firstSeq);
            QCOMPARE(seqs.last(), firstSeq - rows + 1);
        }
    }

    // The snapshot is a copy: later cache changes show only through the meta map's revision.
    void snapshotDoesNotFollowTheCache()
    {
        setAbnormal({rec(1, 10), rec(2, 20)});
        store().abnormalRevision = 4;
        const QVariantMap snap = api->beginAbnormalLogSnapshot();
        QCOMPARE(snap.value("snapshotRevision").toULongLong(), 4u);
        store().abnormalCache.append(rec(3, 30));
        store().abnormalRevision = 5;
        QCOMPARE(seqOf(api->readAbnormalLogSnapshot(0, 50)), (QList<int>{2, 1}));
        QCOMPARE(api->abnormalLogCacheMeta().value("revision").toULongLong(), 5u);
        QCOMPARE(api->abnormalLogCacheMeta().value("available").toULongLong(), 3u);
    }

    void abnormalValueTexts_data()
    {
        QTest::addColumn<int>("info");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("row");
        QTest::newRow("temperature 25.3") << 0 << 253 << "25.3 °C"
                                          << "25 °C";
        QTest::newRow("temperature half up") << 0 << 255 << "25.5 °C"
                                             << "26 °C";
        QTest::newRow("temperature 0.5") << 1 << 5 << "0.5 °C"
                                         << "1 °C";
        QTest::newRow("temperature 3.5") << 1 << 35 << "3.5 °C"
                                         << "4 °C";
        QTest::newRow("temperature below zero") << 1 << -255 << "-25.5 °C"
                                                << "-26 °C";
        QTest::newRow("temperature just below zero") << 1 << -3 << "-0.3 °C"
                                                     << "0 °C";
        QTest::newRow("voltage") << 2 << 12000 << "12 V"
                                 << "12.000 V";
        QTest::newRow("voltage 3") << 3 << 3456 << "3.456 V"
                                   << "3.456 V";
        QTest::newRow("voltage 5") << 5 << 1 << "0.001 V"
                                   << "0.001 V";
        QTest::newRow("current") << 4 << 1500 << "1.5 A"
                                 << "1.500 A";
        QTest::newRow("current negative") << 4 << -1500 << "-1.5 A"
                                          << "-1.500 A";
        QTest::newRow("number zero") << 7 << 0 << "N/A"
                                     << "N/A";
        QTest::newRow("number") << 6 << 42 << "42"
                                << "42";
        // The report reads a plain number as the table does: only above zero.
        QTest::newRow("number negative") << 7 << -5 << "N/A"
                                         << "N/A";
        QTest::newRow("number smallest") << 7 << -32768 << "N/A"
                                         << "N/A";
        QTest::newRow("number largest") << 200 << 32767 << "32767"
                                        << "32767";
        QTest::newRow("temperature smallest") << 0 << -32768 << "-3276.8 °C"
                                              << "-3277 °C";
        QTest::newRow("voltage smallest") << 2 << -32768 << "-32.768 V"
                                          << "-32.768 V";
    }

    void abnormalValueTexts()
    {
        QFETCH(int, info);
        QFETCH(int, code);
        QFETCH(QString, report);
        QFETCH(QString, row);
        setAbnormal({rec(1, 1700000000, uint8_t(info), int16_t(code), 3)});
        const QVariantMap entry = api->getCachedAbnormalLogs().first().toMap();
        QCOMPARE(entry.value("value").toString(), report);
        QCOMPARE(entry.value("event").toString(),
                 I18n::resolveAbnormalEvent(uint8_t(info), 3, I18n::instance()->language()));
        QCOMPARE(entry.value("status").toInt(), 3);
        api->beginAbnormalLogSnapshot();
        const QVariantMap snapRow = api->readAbnormalLogSnapshot(0, 1).first().toMap();
        QCOMPARE(snapRow.value("value").toString(), row);
        QCOMPARE(snapRow.value("event").toInt(), info);
        QCOMPARE(snapRow.value("state").toInt(), 3);
    }

    // The text the table makes of the signal's code: signed, "0" for 0.
    void activityValueTexts()
    {
        setActivity(
            {rec(1, 300, 10, 0), rec(2, 200, 11, 5), rec(3, 100, 4, -1), rec(4, 50, 4, -32768), rec(5, 40, 4, 32767)});
        const QVariantList list = api->getCachedActivityLogs();
        QStringList values;
        for (const QVariant& v : list)
            values << v.toMap().value("value").toString();
        QCOMPARE(values, (QStringList{"0", "5", "-1", "-32768", "32767"}));
        QCOMPARE(list[0].toMap().value("event").toString(),
                 I18n::resolveActivityEvent(10, I18n::instance()->language()));
    }

    // Time stamps at the ends of the wire's range: both lists and the snapshot order them as the
    // table does, unsigned, newest first; those past the last moment a date holds have no date and
    // no time.
    void extremeTimeStamps()
    {
        setZone("Asia/Shanghai");
        const uint64_t max = std::numeric_limits<uint64_t>::max();
        const uint64_t signedMax = uint64_t(std::numeric_limits<int64_t>::max());
        const QList<CacheEvtInfo> records{
            rec(1, 1700000000, 2, 12000), rec(2, signedMax, 2, 12000),    rec(3, 0, 2, 12000),
            rec(4, max, 2, 12000),        rec(5, 253402300800, 2, 12000), rec(6, signedMax + 1, 2, 12000)};
        setActivity(records);
        setAbnormal(records);
        const QStringList dates{"", "", "", "10000/01/01", "2023/11/15", "1970/01/01"};
        const QStringList times{"", "", "", "08:00", "06:13", "08:00"};
        for (const QVariantList& list : {api->getCachedActivityLogs(), api->getCachedAbnormalLogs()}) {
            QStringList date, time;
            QList<qulonglong> ts;
            for (const QVariant& v : list) {
                const QVariantMap m = v.toMap();
                date << m.value("date").toString();
                time << m.value("time").toString().section(QLatin1Char(' '), 0, 0);
                ts << m.value("ts").toULongLong();
            }
            // 2^63 - 1 and 2^63 are one number to the table: they tie, and keep their cache order.
            QCOMPARE(ts, (QList<qulonglong>{max, signedMax, signedMax + 1, 253402300800, 1700000000, 0}));
            QCOMPARE(date, dates);
            QCOMPARE(time, times);
            QCOMPARE(list.first().toMap().value("time").toString(), QString());
        }
        api->beginAbnormalLogSnapshot();
        const QVariantList rows = api->readAbnormalLogSnapshot(0, 50);
        QCOMPARE(seqOf(rows), (QList<int>{4, 6, 2, 5, 1, 3}));
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows[i].toMap().value("date").toString(), dates[i]);
            QCOMPARE(rows[i].toMap().value("time").toString(), times[i]);
        }
        // The table's sort key: never decreasing down the snapshot.
        for (qsizetype i = 1; i < rows.size(); ++i)
            QVERIFY(rows[i - 1].toMap().value("sort").toDouble() >= rows[i].toMap().value("sort").toDouble());
    }

    void datesAndZones_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<qlonglong>("ts");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("hhmm");
        // 1700000000 is 2023-11-14 22:13:20 UTC; 1690000000 is 2023-07-22 04:26:40 UTC.
        QTest::newRow("utc") << QByteArray("UTC") << 1700000000LL << "2023/11/14"
                             << "22:13 UTC"
                             << "22:13";
        QTest::newRow("shanghai next day") << QByteArray("Asia/Shanghai") << 1700000000LL << "2023/11/15"
                                           << "06:13 CST"
                                           << "06:13";
        QTest::newRow("new york winter") << QByteArray("America/New_York") << 1700000000LL << "2023/11/14"
                                         << "17:13 EST"
                                         << "17:13";
        // Summer time is UTC-4, which names the Atlantic zone.
        QTest::newRow("new york summer") << QByteArray("America/New_York") << 1690000000LL << "2023/07/22"
                                         << "00:26 AST"
                                         << "00:26";
        // 2023-03-12: New York moves from UTC-5 to UTC-4 at 07:00 UTC.
        QTest::newRow("new york, change day, before") << QByteArray("America/New_York") << 1678602600LL << "2023/03/12"
                                                      << "01:30 EST"
                                                      << "01:30";
        QTest::newRow("new york, change day, after") << QByteArray("America/New_York") << 1678606200LL << "2023/03/12"
                                                     << "03:30 AST"
                                                     << "03:30";
        QTest::newRow("kolkata half hour") << QByteArray("Asia/Kolkata") << 1700000000LL << "2023/11/15"
                                           << "03:43 IST"
                                           << "03:43";
        QTest::newRow("unknown offset ends with the space")
            << QByteArray("Asia/Kathmandu") << 1700000000LL << "2023/11/15"
            << "03:58 "
            << "03:58";
        QTest::newRow("epoch") << QByteArray("UTC") << 0LL << "1970/01/01"
                               << "00:00 UTC"
                               << "00:00";
    }

    void datesAndZones()
    {
        QFETCH(QByteArray, zone);
        QFETCH(qlonglong, ts);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(QString, hhmm);
        setZone(zone);
        setAbnormal({rec(1, uint64_t(ts), 2, 12000)});
        setActivity({rec(1, uint64_t(ts), 1, 0)});
        for (const QVariantList& list : {api->getCachedAbnormalLogs(), api->getCachedActivityLogs()}) {
            const QVariantMap entry = list.first().toMap();
            QCOMPARE(entry.value("date").toString(), date);
            QCOMPARE(entry.value("time").toString(), time);
            QCOMPARE(entry.value("ts").toLongLong(), ts);
        }
        api->beginAbnormalLogSnapshot();
        const QVariantMap row = api->readAbnormalLogSnapshot(0, 1).first().toMap();
        QCOMPARE(row.value("date").toString(), date);
        QCOMPARE(row.value("time").toString(), hhmm);
    }

    // A long log is listed in slices on several threads with the zone read per day: the lists must
    // read exactly as record-by-record local time gives them, across changes of summer time.
    void longLogMatchesRecordByRecordTime_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("new york") << QByteArray("America/New_York");
        QTest::newRow("lord howe, half-hour change") << QByteArray("Australia/Lord_Howe");
    }

    void longLogMatchesRecordByRecordTime()
    {
        QFETCH(QByteArray, zone);
        setZone(zone);
        std::mt19937 random(11);
        QList<CacheEvtInfo> records;
        const uint64_t start = 1640995200; // 2022-01-01, two years of records
        for (uint16_t seq = 0; seq < 20000; ++seq) {
            uint64_t ts = start + random() % (2 * 365 * 86400ULL);
            if (seq % 7 == 0 && !records.isEmpty())
                ts = records[random() % records.size()].ts; // ties, far apart in the cache
            records << rec(seq, ts, uint8_t(random() % 9), int16_t(int(random() % 8000) - 4000),
                           uint8_t(random() % 16));
        }
        // Both sides of New York's and Lord Howe's changes in 2023.
        uint16_t seq = 20000;
        for (uint64_t change : {1678604400ULL, 1699164000ULL, 1680361200ULL, 1696087800ULL})
            for (int64_t delta : {-1801, -1, 0, 1, 1799})
                records << rec(seq++, change + delta, 2, 3300);
        setAbnormal(records);

        QList<qsizetype> order(records.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](qsizetype a, qsizetype b) { return records[a].ts > records[b].ts; });
        const QLocale language = I18n::instance()->language();
        const QVariantList list = api->getCachedAbnormalLogs();
        QCOMPARE(list.size(), records.size());
        for (qsizetype i = 0; i < list.size(); ++i) {
            const CacheEvtInfo& r = records[order[i]];
            const QDateTime local = QDateTime::fromSecsSinceEpoch(qint64(r.ts));
            const QString time =
                local.toString("HH:mm") + ' ' + I18n::offsetToAbbreviation(int16_t(local.offsetFromUtc() / 60));
            const QVariantMap entry = list[i].toMap();
            QCOMPARE(entry.value("ts").toLongLong(), qlonglong(r.ts));
            QCOMPARE(entry.value("status").toInt(), int(r.status));
            QCOMPARE(entry.value("date").toString(), local.toString("yyyy/MM/dd"));
            QCOMPARE(entry.value("time").toString(), time);
            QCOMPARE(entry.value("event").toString(), I18n::resolveAbnormalEvent(r.info, r.status, language));
            QCOMPARE(entry.value("value").toString(), abnormalReportValueText(r.info, r.code));
        }

        std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
            return records[a].ts != records[b].ts ? records[a].ts > records[b].ts : records[a].seq > records[b].seq;
        });
        QCOMPARE(api->beginAbnormalLogSnapshot().value("available").toLongLong(), records.size());
        qsizetype offset = 0;
        for (QVariantList page; !(page = api->readAbnormalLogSnapshot(int(offset), 50)).isEmpty();) {
            QVERIFY(page.size() <= 50);
            for (const QVariant& row : std::as_const(page)) {
                const CacheEvtInfo& r = records[order[offset++]];
                const QDateTime local = QDateTime::fromSecsSinceEpoch(qint64(r.ts));
                const QVariantMap map = row.toMap();
                QCOMPARE(map.value("seq").toInt(), int(r.seq));
                QCOMPARE(map.value("date").toString(), local.toString("yyyy/MM/dd"));
                QCOMPARE(map.value("time").toString(), local.toString("HH:mm"));
            }
        }
        QCOMPARE(offset, records.size());
    }

    // The meta map's "complete" needs a finished, conflict-free load and exactly the target in the cache.
    void metaCompleteness()
    {
        setAbnormal({rec(1, 10), rec(2, 20)});
        EventSyncState& st = EventLogTestAccess::state(*api, 1);
        st.loaded = true;
        st.complete = true;
        st.target = 2;
        QCOMPARE(api->abnormalLogCacheMeta().value("complete").toBool(), true);
        st.target = 3;
        QCOMPARE(api->abnormalLogCacheMeta().value("complete").toBool(), false);
        QCOMPARE(api->abnormalLogCacheMeta().value("target").toInt(), 3);
        st.target = 2;
        st.probing = true;
        QCOMPARE(api->abnormalLogCacheMeta().value("syncing").toBool(), true);
        st.loaded = false;
        QCOMPARE(api->abnormalLogCacheMeta().value("complete").toBool(), false);
    }
};

QTEST_GUILESS_MAIN(TstEventLogReaders)
#include "tst_event_log_readers.moc"
