// The whole program (Main.qml with its real singletons, in this process) against the simulated power
// bank when things go wrong, one scenario each, with what must hold afterwards: damaged reports,
// answers too short for their command, a power bank lost during the probe, an event-log load or a
// burst of writes, one that stays plugged in but falls silent, one that floods the link with
// unasked reports, and a log export that cannot be written. A second instance and a stale lock
// concern the real binary: tst_start_up.sh.
#include "sim/simulated_power_bank.h"
#include "support/link_turns.h"
#include "support/main_window.h"
#include "support/simulated_device.h"
#include "transport/hid_service_api_test_support.h"
#include "transport/tst_event_log_access.h"

#include "common/i18n.h"
#include "common/logger_manager.h"
#include "protocol/frame_codec.h"
#include "report/pdf_exporter.h"
#include "sim/device_codec.h"
#include "transport/event_log_store.h"
#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJSValue>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <functional>
#include <memory>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using namespace tessaravolt::transport;
using namespace tessaravolt::transport::test;
using tessaravolt::common::LoggerManager;
using tessaravolt::common::PdfExporter;
using tessaravolt::sim::SimulatedPowerBank;
using tessaravolt::test::kConnectTimeoutMs;
using tessaravolt::test::kMustShowMs;
using tessaravolt::test::LinkTurns;
using tessaravolt::test::supportedIdentity;
using Access = tessaravolt::transport::EventLogTestAccess;
using Action = SimulatedPowerBank::Action;
using Rule = SimulatedPowerBank::Rule;

namespace {

// The demo power bank with an abnormal log of `abnormal` records (seq 1 the oldest).
SimulatedPowerBank::Model model(int abnormal = 12)
{
    SimulatedPowerBank::Model m = SimulatedPowerBank::demoModel();
    m.abnormalLog = {};
    m.abnormalLog.no = 4;
    for (int seq = 1; seq <= abnormal; ++seq)
        m.prependEvent(
            1, {uint16_t(seq), 1760000000u + uint64_t(seq) * 600, 1, 1, uint8_t(1 + seq % 6), int16_t(500 + seq)});
    return m;
}

QList<int> seqs(const SimulatedPowerBank::EventLog& log)
{
    QList<int> out;
    for (const auto& r : log.records)
        out << r.seq;
    return out;
}

// The abnormal log as the program shows it: its snapshot, newest first.
QList<int> shownAbnormalSeqs(HidServiceApi* service)
{
    service->beginAbnormalLogSnapshot();
    QList<int> out;
    for (int offset = 0;; offset += 50) {
        const QVariantList rows = service->readAbnormalLogSnapshot(offset, 50);
        if (rows.isEmpty())
            return out;
        for (const QVariant& row : rows)
            out << row.toMap().value(QStringLiteral("seq")).toInt();
    }
}

// How often the GUI thread logged `text` since the mark. The logger keeps one pending line for the
// whole process, so the link worker's "writeToDevice:" and its bytes can land inside a line of the
// GUI thread's, or split it in two: those pieces are taken out and the entries read as one text.
int logged(const LogMark& mark, const QString& text)
{
    static const QRegularExpression workerPieces(QStringLiteral("writeToDevice:| ?0x[0-9A-F]+"));
    QString all = mark.lines().join(QString());
    all.remove(workerPieces);
    return int(all.count(text));
}

// The whole program as its user and its service object see it.
struct Program : tessaravolt::test::LoadedMain
{
    QVariant pageValue(const char* property) const
    {
        QQuickItem* p = page();
        return p ? p->property(property) : QVariant();
    }
    QString header() const { return item("headerText")->property("text").toString(); }
    HidServiceApi* service() const { return HidServiceApi::instance(); }
};

Program start()
{
    return Program{tessaravolt::test::loadMainWindow()};
}

// Every change of the link's connection state, as the GUI thread receives it.
class LinkWatch : public QObject
{
public:
    LinkWatch()
    {
        connect(
            HidBridge::instance(), &HidBridge::connectedChanged, this, [this](bool connected) { changes << connected; },
            Qt::QueuedConnection);
    }
    QList<bool> changes;
};

} // namespace

class TstSimFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper");
        tessaravolt::test::useEnglish();
    }

    // Damaged input reports: each is logged as a failed decoding and dropped; the link stays up
    // and the next good answer is handled as usual.
    void damagedReportsAreDropped()
    {
        SimulatedPowerBank bank(model(), supportedIdentity());
        const Program program = start();
        QVERIFY(program.window);
        QTRY_VERIFY_WITH_TIMEOUT(program.connected(), kConnectTimeoutMs);
        QTRY_COMPARE(program.pageValue("soc").toInt(), 76);
        LinkWatch link;
        QSignalSpy currentEvents(program.service(), &HidServiceApi::currentEvent);

        // A whole answer cut after 32 of its 64 bytes; the line pads the rest with zeros.
        const QByteArray whole = [] {
            const QByteArray payload(48, '\x11');
            auto f = tessaravolt::sim::encodeAnswerFrame(0x31, 0x00, 7,
                                                         reinterpret_cast<const uint8_t*>(payload.constData()), 48);
            return QByteArray(reinterpret_cast<const char*>(f->data), int(f->size));
        }();
        // The sidebar's current-event poll (once a second) gets the damaged answers.
        auto damage = [](Action action) {
            return [action](SimulatedPowerBank& b) { b.addRule(Rule::on(0x20, 0x04, action, 1)); };
        };
        const struct
        {
            const char* name;
            std::function<void(SimulatedPowerBank&)> inject;
            int reports;
            const char* error; // nullptr: whatever the codec says first
        } cases[] = {
            {"garbage", [](SimulatedPowerBank& b) { b.injectGarbage(2); }, 2, nullptr},
            {"truncated", [&](SimulatedPowerBank& b) { b.injectReport(whole.left(32)); }, 1, "CRC mismatch"},
            {"bad envelope CRC", damage(Action::BadOuterCrc), 1, "CRC mismatch"},
            {"bad frame CRC", damage(Action::BadInnerCrc), 1, "CRC protocol mismatch"},
            {"bad envelope header", damage(Action::BadOuterHeader), 1, "Invalid frame header"},
            {"bad frame header", damage(Action::BadInnerHeader), 1, "Invalid protocol header"},
        };
        const QString failed = QStringLiteral("handlePacketReceived: decode frame fail, ");
        for (const auto& c : cases) {
            const LogMark mark;
            c.inject(bank);
            QTRY_VERIFY2_WITH_TIMEOUT(logged(mark, failed) >= c.reports, c.name, 8000);
            if (c.error)
                QCOMPARE(logged(mark, failed + QLatin1String(c.error)), c.reports);
            // The link goes on: a good answer follows and is handled.
            currentEvents.clear();
            QVERIFY2(currentEvents.wait(5000), c.name);
            QCOMPARE(logged(mark, failed), c.reports);
        }
        QVERIFY(program.connected());
        QCOMPARE(program.pageType(), QStringLiteral("PowerPage"));
        QCOMPARE(program.pageValue("soc").toInt(), 76);
        QCOMPARE(link.changes, QList<bool>());
    }

    // An answer shorter than the fields its command carries, for every command the power bank
    // answers: logged, dropped, nothing shown changes, and the link stays up. Read as they stand,
    // these would show a 100 % charge, ask for hundreds of cells or empty the event-log copies.
    void shortAnswersForEveryCommand()
    {
        SimulatedPowerBank bank(model(), supportedIdentity());
        const Program program = start();
        QVERIFY(program.window);
        QTRY_VERIFY_WITH_TIMEOUT(program.connected(), kConnectTimeoutMs);
        HidServiceApi* service = program.service();
        QTRY_VERIFY_WITH_TIMEOUT(service->abnormalLogCacheMeta().value("complete").toBool(), 10000);
        QTRY_COMPARE(program.pageValue("soc").toInt(), 76);
        QTRY_VERIFY(program.pageValue("portCount").toInt() == 4);
        QVERIFY(bank.waitForRequest(0x20, 0x05, 4));
        LinkWatch link;

        // From here only the answers sent below reach the program.
        bank.setSilent(true);
        // Answers already on their way arrive before the spies are set.
        QVERIFY(tessaravolt::test::settle(bank));
        const int cellRequests = int(bank.requestsFor(0x10, 0x0A).size());
        AllSignals spies(service);

        const struct
        {
            int command, sub, need;
        } minimums[] = {
            {0x10, 0x06, 15}, {0x10, 0x07, 1}, {0x10, 0x0A, 1},  {0x10, 0x0E, 4}, {0x11, 0x01, 18},
            {0x11, 0x02, 16}, {0x12, 0x01, 8}, {0x12, 0x02, 1},  {0x12, 0x03, 2}, {0x20, 0x01, 1},
            {0x20, 0x02, 1},  {0x20, 0x03, 2}, {0x20, 0x04, 16}, {0x20, 0x05, 1}, {0x30, 0x00, 8},
            {0x31, 0x00, 12}, {0xA1, 0x01, 1}, {0xA1, 0x02, 1},  {0xA1, 0x03, 1}, {0x40, 0x00, 1},
        };
        for (const auto& m : minimums) {
            for (const int length : {0, m.need - 1}) {
                if (length == m.need - 1 && length == 0)
                    continue;
                QString expected;
                if (m.command == 0x40)
                    expected = QStringLiteral("handlePacketReceived: ommit cmd");
                else if (m.command == 0x30)
                    expected = QStringLiteral("handleCellDetailInfo: no cell detail info");
                else if (m.command == 0x31)
                    expected = QStringLiteral("handleInputOutputInfo: no input out info");
                else if (m.command == 0x11 && m.sub == 0x02)
                    expected = length == 0
                        ? QStringLiteral("handleDeviceEvents: no events")
                        : QStringLiteral("handleDeviceEvents: invalid event payload length=%1").arg(length);
                else
                    expected =
                        QStringLiteral("handlePacketReceived: short answer dropped, command=%1, subcmd=%2, len=%3")
                            .arg(QString::number(m.command, 16).toUpper())
                            .arg(m.sub)
                            .arg(length);
                const QString row =
                    QStringLiteral("%1/%2 with %3 bytes").arg(m.command, 2, 16).arg(m.sub, 2, 16).arg(length);
                const LogMark mark;
                bank.sendAnswer(uint8_t(m.command), uint8_t(m.sub), QByteArray(length, '\x5A'));
                QTRY_VERIFY2(logged(mark, expected) == 1, qPrintable(row));
                QVERIFY2(spies.total() == 0, qPrintable(row + QStringLiteral(": ") + spies.emitted().join(',')));
            }
        }

        QCOMPARE(int(bank.requestsFor(0x10, 0x0A).size()), cellRequests);
        QCOMPARE(program.pageValue("soc").toInt(), 76);
        QCOMPARE(program.pageValue("portCount").toInt(), 4);
        const QVariantMap meta = service->abnormalLogCacheMeta();
        QCOMPARE(meta.value("available").toInt(), 12);
        QVERIFY(meta.value("complete").toBool());

        bank.setSilent(false);
        QVERIFY(QSignalSpy(service, &HidServiceApi::portInfo).wait(5000));
        QVERIFY(program.connected());
        QCOMPARE(link.changes, QList<bool>());
    }

    // The power bank lost at three awkward moments. Each time the program notices, forgets what it
    // knew of the device, shows the start page, and connects again when the device returns;
    // everything then shown comes from the device as it is now (it changed while away).
    void unplugged_data()
    {
        QTest::addColumn<QString>("moment");
        QTest::newRow("during the probe") << QStringLiteral("probe");
        QTest::newRow("during an event-log load") << QStringLiteral("load");
        QTest::newRow("during a write burst") << QStringLiteral("burst");
    }

    void unplugged()
    {
        QFETCH(QString, moment);
        SimulatedPowerBank bank(model(moment == QLatin1String("load") ? 300 : 12), supportedIdentity());
        if (moment == QLatin1String("probe"))
            bank.addRule(Rule::on(0x10, 0x06, Action::UnplugBefore, 1));
        LinkWatch link;
        const LogMark mark;
        const Program program = start();
        QVERIFY(program.window);
        HidServiceApi* service = program.service();

        if (moment == QLatin1String("probe")) {
            QTRY_VERIFY_WITH_TIMEOUT(!bank.isPlugged(), kConnectTimeoutMs);
            QTRY_VERIFY(logged(mark, QStringLiteral("HID_CONNECT_FAILED reason=probe_disconnected")) > 0);
            QVERIFY(link.changes.isEmpty());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(program.connected(), kConnectTimeoutMs);
            QTRY_COMPARE(program.pageValue("soc").toInt(), 76);
            if (moment == QLatin1String("load")) {
                // The service loads the 300-record abnormal log by itself, 100 requests in all.
                QVERIFY(bank.waitForRequest(0x11, 0x02, 10, 10000));
                QVERIFY(service->abnormalLogCacheMeta().value("syncing").toBool());
                QTRY_VERIFY(service->abnormalLogCacheMeta().value("available").toInt() > 0);
            } else {
                // A page asking for the whole activity log and the static information at once:
                // over a hundred reports queued, written one at a time.
                QTRY_VERIFY_WITH_TIMEOUT(service->abnormalLogCacheMeta().value("complete").toBool(), 10000);
                service->requestActivityEvents(3, 300);
                service->requestStaticInfo();
                QVERIFY(bank.waitFor(
                    [](const QList<SimulatedPowerBank::Request>& rs) {
                        return std::count_if(rs.begin(), rs.end(),
                                             [](const auto& r) {
                                                 return r.command == 0x11 && r.subCommand == 0x02
                                                     && r.payload.startsWith('\0');
                                             })
                            >= 5;
                    },
                    10000));
                QTRY_VERIFY(!service->getCachedActivityLogs().isEmpty());
            }
            bank.unplug();
            QTRY_VERIFY_WITH_TIMEOUT(!program.connected(), 5000);
            QCOMPARE(link.changes, (QList<bool>{true, false}));
        }

        // Lost: the start page, and nothing of the device kept.
        QCOMPARE(program.pageType(), QStringLiteral("StartupPage"));
        QVERIFY(!program.item("sidebar")->isVisible());
        QCOMPARE(program.header(), QStringLiteral("Be Ready for Today."));
        QCOMPARE(program.window->property("cachedBrightness").toInt(), 0);
        {
            AllSignals spies(service);
            service->requestStaticInfo();
            service->requestAppTitle();
            service->requestStaticCellInfo();
            service->requestCellRealtimeStatus();
            service->requestActivityEvents(3, 36); // starts a fresh load, which the link refuses
            QCOMPARE(spies.emitted(), QStringList{QStringLiteral("eventCacheReset")});
        }
        QVERIFY(service->getCachedActivityLogs().isEmpty());
        QVERIFY(service->getCachedAbnormalLogs().isEmpty());
        const QVariantMap meta = service->abnormalLogCacheMeta();
        QCOMPARE(meta.value("available").toInt(), 0);
        QCOMPARE(meta.value("syncing").toBool(), false);
        QCOMPARE(meta.value("revision").toInt(), 0);

        // Back, with other values and another abnormal log than before.
        const QString title = QStringLiteral("Tessaravolt after %1").arg(moment);
        bank.update([&](SimulatedPowerBank::Model& m) {
            m.soc = 41;
            m.brightness = 20;
            m.setTwoPartText(0x11, title);
            m.abnormalLog = {};
            m.abnormalLog.no = 9;
            for (int seq = 501; seq <= 507; ++seq)
                m.prependEvent(1, {uint16_t(seq), 1770000000u + uint64_t(seq), 2, 1, 3, int16_t(seq)});
        });
        bank.clearRules();
        const int plugsBefore = bank.plugCount();
        QVERIFY(bank.plug());
        QTRY_VERIFY_WITH_TIMEOUT(program.connected(), kConnectTimeoutMs);
        QCOMPARE(program.pageType(), QStringLiteral("PowerPage"));
        QTRY_COMPARE(program.pageValue("soc").toInt(), 41);
        QTRY_COMPARE(program.header(), title);
        QTRY_COMPARE(program.window->property("cachedBrightness").toInt(), 20);
        QTRY_VERIFY_WITH_TIMEOUT(service->abnormalLogCacheMeta().value("complete").toBool(), 10000);
        QCOMPARE(shownAbnormalSeqs(service), seqs(bank.model().abnormalLog));

        // Nothing queued before the loss was written to the device that came back.
        for (const auto& r : bank.requests()) {
            if (r.plugNumber < plugsBefore)
                continue;
            QVERIFY2(!(r.command == 0x11 && r.subCommand == 0x02 && r.payload.startsWith('\0')),
                     "an activity-log request of the lost connection");
            QVERIFY2(!(r.command == 0x11 && r.subCommand == 0x02 && r.payload.size() >= 3
                       && uint8_t(r.payload.at(0)) == 1
                       && uint16_t(uint8_t(r.payload.at(1)) | uint8_t(r.payload.at(2)) << 8) >= 7),
                     "an abnormal-log request of the lost connection");
        }
        QVERIFY(service->getCachedActivityLogs().isEmpty());
    }

    // A power bank that stays plugged in but answers nothing for 40 s in the middle of an
    // abnormal-log load, and then answers again, with a log that has grown meanwhile. The link
    // stays up; the stalled load is abandoned at the first poll after 30 s without a record, the
    // statistics are asked again and the log is loaded anew, whole. The service's clock is the
    // test's and stands still unless moved.
    void silentFor40Seconds()
    {
        SimulatedPowerBank bank(model(60), supportedIdentity());
        const Program program = start();
        QVERIFY(program.window);
        HidServiceApi* service = program.service();
        qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
        service->setClock([&nowMs] { return nowMs; });
        QTRY_VERIFY_WITH_TIMEOUT(program.connected(), kConnectTimeoutMs);
        LinkWatch link;

        QVERIFY(bank.waitForRequest(0x11, 0x02, 3, 10000));
        bank.setSilent(true);
        // The rest of the load's requests go out unanswered; the silence counts from the moment the
        // service hears that the last of them left the queue.
        EventSyncState& abnormal = Access::state(*service, 1);
        QTRY_VERIFY_WITH_TIMEOUT(HidBridge::instance()->backgroundQueueDepth() == 0 && abnormal.queuedTicket == 0,
                                 10000);
        QVERIFY(abnormal.loading);
        const int received = abnormal.received;
        QVERIFY(received < 60);
        bank.update([](SimulatedPowerBank::Model& m) {
            for (int seq = 61; seq <= 64; ++seq)
                m.prependEvent(1, {uint16_t(seq), 1760000000u + uint64_t(seq) * 600, 1, 1, 2, int16_t(seq)});
        });

        // 29.999 s of silence are not yet enough.
        nowMs += 29999;
        Access::poll(*service);
        QVERIFY(abnormal.loading);
        QCOMPARE(abnormal.received, received);

        const LogMark mark;
        const int statisticsAsked = int(bank.requestsFor(0x11, 0x01).size());
        bank.setSilent(false);
        nowMs += 10001;
        Access::poll(*service);
        QCOMPARE(logged(mark, QStringLiteral("requestAbnormalEvents: response idle timeout, invalidate cache")), 1);
        QVERIFY(bank.waitForRequest(0x11, 0x01, statisticsAsked + 1, 8000));
        QTRY_VERIFY_WITH_TIMEOUT(service->abnormalLogCacheMeta().value("complete").toBool()
                                     && service->abnormalLogCacheMeta().value("available").toInt() == 64,
                                 30000);
        QCOMPARE(shownAbnormalSeqs(service), seqs(bank.model().abnormalLog));
        QVERIFY(program.connected());
        QCOMPARE(program.pageType(), QStringLiteral("PowerPage"));
        QVERIFY(QSignalSpy(service, &HidServiceApi::portInfo).wait(5000));
        QCOMPARE(link.changes, QList<bool>());
    }

    // A power bank that sends 500 unasked reports a second (valid current-event answers) while a
    // port's current changes: the requests still go out between the reports, so the port's card
    // shows the new current, and the link stays up. Whether the device hands over one report at a
    // time or lets every report it sends wait in the node's buffer, each turn of the link reads all
    // that wait (up to 64), and once the flood stops nothing is left unread. How soon the card
    // shows and how many reports a second the program reads is bench_sim_pages' business.
    void floodOfUnaskedReports_data()
    {
        QTest::addColumn<bool>("queued");
        QTest::newRow("one report in flight") << false;
        QTest::newRow("every report queued") << true;
    }

    void floodOfUnaskedReports()
    {
        QFETCH(bool, queued);
        SimulatedPowerBank bank(model(), supportedIdentity());
        bank.setQueuedDelivery(queued);
        const Program program = start();
        QVERIFY(program.window);
        QTRY_VERIFY_WITH_TIMEOUT(program.connected(), kConnectTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(program.pageValue("inputW").toDouble(), 60.0, kMustShowMs);
        QTRY_VERIFY_WITH_TIMEOUT(program.service()->abnormalLogCacheMeta().value("complete").toBool(), kMustShowMs);
        LinkWatch link;
        QSignalSpy currentEvents(program.service(), &HidServiceApi::currentEvent);
        auto cardCurrent = [&program] {
            return program.pageValue("inoutPorts").value<QJSValue>().property(1).property("current").toString();
        };
        QCOMPARE(cardCurrent(), QStringLiteral("3.0"));

        const QByteArray unasked = [] {
            const uint8_t record[16] = {120, 0, 0x00, 0x7A, 0xE7, 0x68, 0, 0, 0, 0, 0x00, 0, 3, 0, 0, 0};
            auto f = tessaravolt::sim::encodeAnswerFrame(0x20, 0x04, 9, record, sizeof record);
            return QByteArray(reinterpret_cast<const char*>(f->data), int(f->size));
        }();
        LinkTurns turns([&bank] { return bank.reportsWaiting(); });
        bank.setFlood(500, unasked);
        QTRY_VERIFY_WITH_TIMEOUT(currentEvents.count() >= 20, kMustShowMs);
        bank.update([](SimulatedPowerBank::Model& m) { m.ports[1].currentMa = 1500; });
        const qsizetype floodedBefore = currentEvents.count();
        QTRY_COMPARE_WITH_TIMEOUT(cardCurrent(), QStringLiteral("1.5"), kMustShowMs);
        QCOMPARE(program.pageValue("inputW").toDouble(), 30.0);
        // The flood went on meanwhile, and the program kept reading it: every turn read all that
        // waited when the turn before it ended, never more than a turn reads.
        QVERIFY(currentEvents.count() > floodedBefore);
        const QString leftWaiting = turns.turnThatLeftReportsWaiting();
        QVERIFY2(leftWaiting.isEmpty(), qPrintable(leftWaiting));
        for (const auto& turn : turns.all())
            QVERIFY2(turn.reportsRead <= kMaxReportsPerTurn, qPrintable(QString::number(turn.reportsRead)));

        bank.setFlood(0);
        QVERIFY(bank.waitUntil([&] { return bank.deliveredAll(); }, kMustShowMs));
        QVERIFY(program.connected());
        QCOMPARE(program.pageType(), QStringLiteral("PowerPage"));
        QCOMPARE(link.changes, QList<bool>());
    }

    // The log exported where it cannot be written, from the window's own export handler and by
    // the exporter: false, the window's message, and the log keeps every entry. A writable place
    // then gets them all.
    void exportToUnwritablePlace()
    {
        SimulatedPowerBank bank(model(), supportedIdentity());
        const Program program = start();
        QVERIFY(program.window);
        QTRY_VERIFY_WITH_TIMEOUT(program.connected(), kConnectTimeoutMs);
        QVERIFY(bank.waitForRequest(0x11, 0x02, 1, 10000));

        QTemporaryDir dir;
        QFile plain(dir.filePath(QStringLiteral("plain-file")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        // Tests run as root here, so a read-only folder would still take the file.
        const QStringList unwritable = {
            dir.filePath(QStringLiteral("plain-file/logs/app_log.txt")), // a folder that cannot be made
            dir.filePath(QStringLiteral("logs/app_log.txt")),            // a folder that is not there
            dir.path(),                                                  // a folder, not a file
            QStringLiteral("/dev/full"),                                 // a device, never replaced
        };
        LoggerManager::instance() << "exportToUnwritablePlace: marker" << std::endl;
        QObject* dialog = program.window->findChild<QObject*>(QStringLiteral("logSaveDialog"));
        QVERIFY(dialog);
        for (const QString& path : unwritable) {
            const auto before = LoggerManager::instance().entries();
            QVERIFY2(!PdfExporter::instance()->exportLog(QUrl::fromLocalFile(path).toString()), qPrintable(path));
            QVERIFY(
                QMetaObject::invokeMethod(dialog, "exportLog", Q_ARG(QVariant, QUrl::fromLocalFile(path).toString())));
            // The window says so, with the reason.
            QObject* failed = program.window->findChild<QObject*>(QStringLiteral("logSaveFailed"));
            QVERIFY(failed);
            QTRY_VERIFY(failed->property("visible").toBool());
            QCOMPARE(failed->property("reason").toString(), PdfExporter::instance()->lastError());
            QVERIFY(!failed->property("reason").toString().isEmpty());
            QMetaObject::invokeMethod(failed, "close");
            QTRY_VERIFY(!failed->property("visible").toBool());
            // The device keeps the log busy meanwhile: whatever was there is still there, in order.
            const auto after = LoggerManager::instance().entries();
            QVERIFY2(after.size() >= before.size(), qPrintable(path));
            for (qsizetype i = 0; i < before.size(); ++i) {
                QCOMPARE(after.at(i).message, before.at(i).message);
                QCOMPARE(after.at(i).timestamp, before.at(i).timestamp);
            }
        }

        QVERIFY(QFileInfo(QStringLiteral("/dev/full")).exists() && !QFileInfo(QStringLiteral("/dev/full")).isFile());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("logs")));
        const QString target = dir.filePath(QStringLiteral("logs/app_log.txt"));
        QVERIFY(PdfExporter::instance()->exportLog(QUrl::fromLocalFile(target).toString()));
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("  exportToUnwritablePlace: marker\n"));
        QVERIFY(text.contains("HID_CONNECTED"));
    }
};

QTEST_MAIN(TstSimFaultMatrix)
#include "tst_sim_fault_matrix.moc"
