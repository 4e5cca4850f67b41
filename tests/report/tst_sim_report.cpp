// The diagnostic report from a simulated power bank: identity and both logs as the service reads
// them, in English and Chinese, end to end into a PDF that holds every record.
#include "report/pdf_reading.h"
#include "transport/tst_event_log_access.h"

#include "common/i18n.h"
#include "report/pdf_exporter.h"
#include "sim/simulated_power_bank.h"
#include "support/simulated_device.h"
#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include <QHostAddress>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tessaravolt::test;
using tessaravolt::common::I18n;
using tessaravolt::common::PdfExporter;
using tessaravolt::sim::SimulatedPowerBank;
using tessaravolt::transport::EventLogTestAccess;
using tessaravolt::transport::HidBridge;
using tessaravolt::transport::HidServiceApi;

class TstSimReport : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimulatedPowerBank> bank;
    std::unique_ptr<HidServiceApi> api;

private slots:
    void initTestCase() { QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper"); }

    void cleanup()
    {
        HidBridge::instance()->closeDevice();
        bank.reset();
        api.reset();
        I18n::instance()->setLanguage(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void reportOfTheDevice_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("English") << false;
        QTest::newRow("Chinese") << true;
    }

    void reportOfTheDevice()
    {
        QFETCH(bool, chinese);
        I18n::instance()->setLanguage(chinese ? QLocale(QLocale::Chinese, QLocale::China)
                                              : QLocale(QLocale::English, QLocale::UnitedStates));
        SimulatedPowerBank::Model model = SimulatedPowerBank::demoModel();
        // Below freezing, while discharging: the value prints signed.
        model.prependEvent(1, SimulatedPowerBank::EventRecord{0, 1750000000, 1, 1, 0, -123});
        api = std::make_unique<HidServiceApi>(nullptr);
        api->setTimeServers({{QHostAddress::LocalHost, 9}});
        QSignalSpy statistics(api.get(), &HidServiceApi::staticsEvent);
        QSignalSpy modelNo(api.get(), &HidServiceApi::model);
        QSignalSpy serialNo(api.get(), &HidServiceApi::productSn);
        QSignalSpy hardware(api.get(), &HidServiceApi::hardwareVersion);
        QSignalSpy firmware(api.get(), &HidServiceApi::softwareVersion);
        bank = tessaravolt::test::openPowerBank(model);
        QVERIFY(bank);

        // As the diagnostics page does: identity, then the activity log for the statistics' numbers.
        api->requestStaticInfo();
        QTRY_VERIFY_WITH_TIMEOUT(statistics.count() > 0, 10000);
        const QVariantList stats = statistics.first();
        api->requestActivityEvents(stats.at(1).value<uint8_t>(), stats.at(3).toInt());
        auto& store = EventLogTestAccess::store(*api);
        QTRY_VERIFY_WITH_TIMEOUT(store.activityCache.size() == model.activityLog.records.size()
                                     && store.abnormalCache.size() == model.abnormalLog.records.size()
                                     && !EventLogTestAccess::state(*api, 0).busy()
                                     && !EventLogTestAccess::state(*api, 1).busy(),
                                 15000);
        QTRY_VERIFY_WITH_TIMEOUT(
            !modelNo.isEmpty() && !serialNo.isEmpty() && !hardware.isEmpty() && !firmware.isEmpty(), 10000);

        const QVariantList activity = api->getCachedActivityLogs();
        const QVariantList abnormal = api->getCachedAbnormalLogs();
        QCOMPARE(activity.size(), model.activityLog.records.size());
        QCOMPARE(abnormal.size(), model.abnormalLog.records.size());
        const QString identity[] = {modelNo.first().first().toString(), serialNo.first().first().toString(),
                                    hardware.first().first().toString(), firmware.first().first().toString()};

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Diagnostic report"));
        QVERIFY(PdfExporter::instance()->exportDiagnosticReport(QUrl::fromLocalFile(path).toString(), identity[0],
                                                                identity[1], identity[2], identity[3], activity,
                                                                abnormal));
        const QString file = path + QStringLiteral(".pdf");
        const QString info = run(QStringLiteral("pdfinfo"), {file});
        QVERIFY2(info.contains(QStringLiteral("Page size:       595 x 842 pts (A4)")), qPrintable(info));
        QVERIFY(info.contains(QStringLiteral("Title:           Diagnostic Report")));

        const QStringList found = cellLines(file);
        QVERIFY(found.contains(QStringLiteral("Model no.: | ") + identity[0]));
        QVERIFY(found.contains(QStringLiteral("Serial no.: | ") + identity[1]));
        QVERIFY(found.contains(QStringLiteral("Hardware Version: | ") + identity[2]));
        QVERIFY(found.contains(QStringLiteral("Firmware Version: | ") + identity[3]));
        // Every record once, in the readers' order: activity first, then abnormal.
        QStringList rows;
        for (const QString& line : found) {
            if (line.count(QStringLiteral(" | ")) == 3 && !line.startsWith(QStringLiteral("Date |")))
                rows << line;
        }
        QStringList expected;
        for (const QVariant& record : activity + abnormal)
            expected << recordLine(record.toMap());
        QCOMPARE(rows, expected);
        QVERIFY(rows.join(QLatin1Char('\n')).contains(QStringLiteral("-12.3 °C")));
        if (chinese)
            QVERIFY(rows.join(QLatin1Char('\n')).contains(QStringLiteral("高温放电保护已激活")));
    }
};

QTEST_MAIN(TstSimReport)
#include "tst_sim_report.moc"
