// The rows of the event-log table: the order of activity records however they arrive (one by one
// or merged from a replay), the model changes a merge makes, and the rows' texts.
#include "report/event_log_table_model.h"

#include <QDateTime>
#include <QLocale>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <ctime>
#include <limits>
#include <random>

using tessaravolt::common::EventLogTableModel;

namespace {

struct Record
{
    int seq = 0;
    double ts = 0;
};

} // namespace

Q_DECLARE_METATYPE(Record)

namespace {

QList<int> seqs(const EventLogTableModel& model)
{
    QList<int> out;
    for (int i = 0; i < model.count(); ++i)
        out << model.seqAt(i);
    return out;
}

// The order that placing each record by itself must give: newest first, and among equal time
// stamps the later arrival first; a sequence number already placed is dropped.
QList<int> expectedOrder(const QList<Record>& records)
{
    QList<int> seen;
    QList<std::pair<Record, int>> kept;
    for (const Record& r : records) {
        if (seen.contains(r.seq))
            continue;
        seen << r.seq;
        kept.append({r, int(kept.size())});
    }
    std::sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) {
        return a.first.ts != b.first.ts ? a.first.ts > b.first.ts : a.second > b.second;
    });
    QList<int> out;
    for (const auto& k : kept)
        out << k.first.seq;
    return out;
}

QList<Record> randomRecords(int count, unsigned seed)
{
    std::mt19937 random(seed);
    QList<Record> records;
    // Few distinct stamps, so that many are equal, and some sequence numbers twice.
    for (int i = 0; i < count; ++i)
        records.append(Record{int(random() % (count * 3 / 4 + 1)), double(1760000000 + random() % (count / 4 + 1))});
    return records;
}

} // namespace

class TestEventLogTableModel : public QObject
{
    Q_OBJECT

private slots:
    void roles()
    {
        EventLogTableModel model;
        QCOMPARE(model.roleNames().values().size(), 7);
        for (const char* name : {"seq", "date", "time", "state", "event", "value", "sort"})
            QVERIFY2(model.roleNames().key(name, -1) >= 0, name);
    }

    // Each case delivered three ways: one by one, as one replay, and as two replays split in the
    // middle; all must give the order of placing each record by itself.
    void order_data()
    {
        QTest::addColumn<QList<Record>>("records");
        const auto sequence = [](int count, bool newestFirst) {
            QList<Record> out;
            for (int i = 0; i < count; ++i)
                out.append(Record{i + 1, double(newestFirst ? 5000 - i : 1000 + i)});
            return out;
        };
        QList<Record> shuffled = sequence(500, true);
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(3));
        QTest::newRow("in order") << sequence(500, true);
        QTest::newRow("reversed") << sequence(500, false);
        QTest::newRow("shuffled") << shuffled;
        QTest::newRow("equal stamps") << QList<Record>{{1, 7}, {2, 7}, {3, 7}, {4, 7}};
        QTest::newRow("duplicates and equal stamps, random") << randomRecords(2000, 7);
        QTest::newRow("stamps at the top of the range") << QList<Record>{
            {1, 9223372036854775807.0}, {2, 18446744073709551615.0}, {3, 100}, {4, 18446744073709551615.0}, {5, 0}};
    }

    void order()
    {
        QFETCH(QList<Record>, records);
        const QList<int> expected = expectedOrder(records);
        EventLogTableModel single;
        for (const Record& r : records)
            single.addActivityRecord(r.seq, r.ts, 0, 1, 0);
        QCOMPARE(seqs(single), expected);

        EventLogTableModel replay;
        QSignalSpy inserted(&replay, &QAbstractItemModel::rowsInserted);
        replay.beginBatch();
        for (const Record& r : records)
            replay.addActivityRecord(r.seq, r.ts, 0, 1, 0);
        QCOMPARE(replay.count(), 0);
        replay.endBatch();
        QCOMPARE(seqs(replay), expected);
        QCOMPARE(inserted.size(), 1);

        EventLogTableModel twoReplays;
        const qsizetype half = records.size() / 2;
        for (const QList<Record>& part : {records.mid(0, half), records.mid(half)}) {
            twoReplays.beginBatch();
            for (const Record& r : part)
                twoReplays.addActivityRecord(r.seq, r.ts, 0, 1, 0);
            twoReplays.endBatch();
        }
        QCOMPARE(seqs(twoReplays), expected);
    }

    // A merge is one change of the model: an insertion where the new rows stand together, else a
    // reset; a replay of rows already there changes nothing.
    void mergeChanges()
    {
        EventLogTableModel model;
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy counted(&model, &EventLogTableModel::countChanged);
        const auto replay = [&](const QList<Record>& records) {
            model.beginBatch();
            for (const Record& r : records)
                model.addActivityRecord(r.seq, r.ts, 0, 1, 0);
            model.endBatch();
        };
        replay({{10, 100}, {11, 110}});
        replay({{1, 10}, {2, 20}, {10, 100}});
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(inserted.last().at(1).toInt(), 2);
        QCOMPARE(inserted.last().at(2).toInt(), 3);
        replay({{11, 110}, {10, 100}});
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(counted.size(), 2);
        replay({{5, 50}, {12, 120}});
        QCOMPARE(reset.size(), 1);
        QCOMPARE(seqs(model), QList<int>({12, 11, 10, 5, 2, 1}));
        QCOMPARE(counted.size(), 3);
        // A single record alone is placed at once.
        model.addActivityRecord(6, 60, 0, 1, 0);
        QCOMPARE(inserted.size(), 3);
        QCOMPARE(inserted.last().at(1).toInt(), 3);
    }

    void nestedBatchesAndClear()
    {
        EventLogTableModel model;
        model.beginBatch();
        model.addActivityRecord(1, 10, 0, 1, 0);
        model.beginBatch();
        model.addActivityRecord(2, 20, 0, 1, 0);
        model.endBatch();
        QCOMPARE(model.count(), 0);
        model.endBatch();
        QCOMPARE(seqs(model), QList<int>({2, 1}));
        model.endBatch(); // one too many changes nothing
        // A reset within a replay drops what came before it, and the numbers may come again.
        model.beginBatch();
        model.addActivityRecord(3, 30, 0, 1, 0);
        model.clear();
        QVERIFY(model.addActivityRecord(1, 10, 0, 1, 0));
        QVERIFY(!model.addActivityRecord(1, 10, 0, 1, 0));
        model.endBatch();
        QCOMPARE(seqs(model), QList<int>({1}));
    }

    void activityTexts()
    {
        EventLogTableModel model;
        const QDateTime moment(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::LocalTime);
        const double ts = double(moment.toSecsSinceEpoch());
        model.addActivityRecord(11, ts, 2, 4, -32768);
        model.addActivityRecord(12, ts - 60, 0, 99, 0);
        model.addActivityRecord(13, 18446744073709551615.0, 1, 2, 5);
        const QVariantMap top = model.get(0);
        QCOMPARE(top.value("seq").toInt(), 13);
        QCOMPARE(top.value("date").toString(), QString());
        QCOMPARE(top.value("time").toString(), QString());
        QCOMPARE(top.value("sort").toDouble(), 18446744073709551615.0 * 1000);
        const QVariantMap row = model.get(1);
        QCOMPARE(row.value("date").toString(), QLocale().toString(moment, u"yyyy/MM/dd"));
        QCOMPARE(row.value("date").toString(), QStringLiteral("2026/01/02"));
        QCOMPARE(row.value("time").toString(), QStringLiteral("03:04"));
        QCOMPARE(row.value("state").toInt(), 2);
        QCOMPARE(row.value("event").toInt(), 4);
        QCOMPARE(row.value("value").toString(), QStringLiteral("-32768"));
        QCOMPARE(row.value("sort").toDouble(), ts * 1000);
        QCOMPARE(model.get(2).value("value").toString(), QStringLiteral("0"));
        QVERIFY(model.get(3).isEmpty());
        QVERIFY(model.get(-1).isEmpty());
    }

    // The texts are those of Qt's local time in the default locale, across changes of the zone's
    // offset, in zones east and west of UTC and in either order of arrival.
    void activityTextsFollowLocalTime_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("Berlin") << QByteArray("Europe/Berlin");
        QTest::newRow("New York") << QByteArray("America/New_York");
        QTest::newRow("Kolkata") << QByteArray("Asia/Kolkata");
    }

    void activityTextsFollowLocalTime()
    {
        QFETCH(QByteArray, zone);
        const QByteArray before = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
        const auto restore = qScopeGuard([&] {
            before.isNull() ? qunsetenv("TZ") : qputenv("TZ", before);
            tzset();
        });
        EventLogTableModel model;
        QList<double> stamps;
        // Every 7 minutes and 13 seconds over the spring and autumn changes of 2025, and around the epoch.
        for (qint64 start : {qint64(1743210000), qint64(1761440000), qint64(-90000)})
            for (int i = 0; i < 800; ++i)
                stamps << double(start + i * 433);
        std::shuffle(stamps.begin(), stamps.end(), std::mt19937(5));
        for (int i = 0; i < stamps.size(); ++i)
            model.addActivityRecord(i, stamps[i], 0, 1, 0);
        for (int i = 0; i < model.count(); ++i) {
            const QVariantMap row = model.get(i);
            const QDateTime moment =
                QDateTime::fromMSecsSinceEpoch(qint64(row.value("sort").toDouble()), Qt::LocalTime);
            QCOMPARE(row.value("date").toString(), QLocale().toString(moment, u"yyyy/MM/dd"));
            QCOMPARE(row.value("time").toString(), QLocale().toString(moment, u"HH:mm"));
        }
    }

    // Abnormal rows are kept as given, in the order given, and are not counted as activity records.
    void appendedRows()
    {
        EventLogTableModel model;
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        const auto row = [](int seq, double sort) {
            return QVariantMap{{"seq", seq},       {"date", "2026/01/01"}, {"time", "10:00"}, {"state", 1},
                               {"event", seq % 6}, {"value", "11.300 V"},  {"sort", sort}};
        };
        model.appendRows({row(9, 900), row(7, 900)});
        model.appendRows({row(8, 950)});
        model.appendRows({});
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(seqs(model), QList<int>({9, 7, 8}));
        QCOMPARE(model.get(0), row(9, 900));
        QCOMPARE(model.indexOfSeq(8), 2);
        QCOMPARE(model.indexOfSeq(5), -1);
        QCOMPARE(model.seqAt(3), -1);
        model.clear();
        QVERIFY(model.addActivityRecord(9, 1, 0, 1, 0));
    }

    // The ends of what a QML date holds, either side of the epoch, in a zone west of UTC: a date
    // up to the last moment and no text past it.
    void activityTextsAtTheEndsOfTheRange_data()
    {
        QTest::addColumn<double>("ts");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        const double latest = 8.64e12;
        QTest::newRow("epoch") << 0.0 << "1969/12/31"
                               << "19:00";
        QTest::newRow("half a second before the epoch") << -0.5 << "1969/12/31"
                                                        << "18:59";
        QTest::newRow("year 10000") << 253402318800.0 << "10000/01/01"
                                    << "00:00";
        QTest::newRow("last moment") << latest << "275760/09/12"
                                     << "19:00";
        QTest::newRow("a second later") << latest + 1 << ""
                                        << "";
        QTest::newRow("first moment") << -latest << "-271821/04/19"
                                      << "19:00";
        QTest::newRow("a second earlier") << -latest - 1 << ""
                                          << "";
        QTest::newRow("year below 1000") << -30610310400.0 << "0999/12/30"
                                         << "19:00";
        QTest::newRow("before year 1") << -62288247600.0 << "-0004/03/01"
                                       << "00:00";
        QTest::newRow("2^63") << 9223372036854775808.0 << ""
                              << "";
    }

    void activityTextsAtTheEndsOfTheRange()
    {
        QFETCH(double, ts);
        QFETCH(QString, date);
        QFETCH(QString, time);
        const QByteArray before = qgetenv("TZ");
        qputenv("TZ", "EST5");
        tzset();
        const auto restore = qScopeGuard([&] {
            before.isNull() ? qunsetenv("TZ") : qputenv("TZ", before);
            tzset();
        });
        EventLogTableModel model;
        model.addActivityRecord(1, ts, 0, 1, 0);
        QCOMPARE(model.get(0).value("date").toString(), date);
        QCOMPARE(model.get(0).value("time").toString(), time);
    }
};

QTEST_GUILESS_MAIN(TestEventLogTableModel)

#include "tst_event_log_table_model.moc"
