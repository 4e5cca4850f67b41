// The diagnostics page of the whole program against the simulated power bank: the statistics, both
// event logs and their updates, the requests the log selector makes, and the diagnostic report.
#include "sim/simulated_power_bank.h"

#include "common/i18n.h"
#include "support/main_window.h"
#include "support/quick_frames.h"
#include "support/quick_items.h"
#include "support/screenshots.h"
#include "support/simulated_device.h"
#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMetaMethod>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <functional>
#include <limits>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using tessaravolt::common::I18n;
using tessaravolt::sim::SimulatedPowerBank;
using tessaravolt::transport::HidBridge;
using tessaravolt::transport::HidServiceApi;

namespace {

using tessaravolt::test::supportedIdentity;
using tessaravolt::test::waitForFrame;

// QFileDialogOptions::DontConfirmOverwrite, FileDialog.DontConfirmOverwrite in QML.
constexpr int kDontConfirmOverwrite = 0x4;

// The texts of the visible items of the window, popups included.
QStringList visibleTexts(QQuickWindow* window)
{
    QStringList out;
    for (QQuickItem* item : tessaravolt::test::descendants(window->contentItem()))
        if (item->isVisible() && item->opacity() > 0)
            if (const QVariant text = item->property("text"); text.isValid() && !text.toString().isEmpty())
                out << text.toString();
    return out;
}

// What the window shows over its pages: open popups, dialogs and their dimmers, one line each.
QStringList shownOverPages(QQuickWindow* window)
{
    QStringList out;
    for (QQuickItem* child : window->contentItem()->childItems()) {
        if (!child->inherits("QQuickOverlay"))
            continue;
        for (QQuickItem* shown : child->childItems()) {
            if (!shown->isVisible())
                continue;
            QStringList texts;
            for (QQuickItem* item : tessaravolt::test::descendants(shown))
                if (item->isVisible())
                    if (const QString text = item->property("text").toString(); !text.isEmpty())
                        texts << text;
            out << QString::fromLatin1(shown->metaObject()->className()) + QLatin1Char(' ') + shown->objectName()
                    + QStringLiteral(" [") + texts.join(QLatin1String(", ")) + QLatin1Char(']');
        }
    }
    return out;
}

// Runs a function whenever an object emits a signal given by its signature, as it emits it.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    SignalWatcher(QObject* sender, const char* signal, std::function<void()> onSignal)
        : m_onSignal(std::move(onSignal))
    {
        const QMetaMethod emitted = sender->metaObject()->method(sender->metaObject()->indexOfSignal(signal));
        connect(sender, emitted, this, metaObject()->method(metaObject()->indexOfSlot("emitted()")));
    }

private slots:
    void emitted() { m_onSignal(); }

private:
    std::function<void()> m_onSignal;
};

QDir screenshotDir()
{
    return tessaravolt::test::screenshotDir(QStringLiteral("diagnostics-screenshots"));
}

// The sequence numbers of a log as the table must show them: newest first, then highest number.
QList<int> expectedOrder(const QList<SimulatedPowerBank::EventRecord>& records)
{
    QList<SimulatedPowerBank::EventRecord> sorted = records;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.ts != b.ts ? a.ts > b.ts : a.seq > b.seq; });
    QList<int> out;
    for (const auto& r : sorted)
        out << r.seq;
    return out;
}

// Activity-log record requests (0x11/0x02 with log type 0), as the device received them.
QList<QByteArray> activityRecordRequests(const SimulatedPowerBank& bank)
{
    QList<QByteArray> out;
    for (const auto& r : bank.requestsFor(0x11, 0x02))
        if (!r.payload.isEmpty() && r.payload.at(0) == 0)
            out << r.payload;
    return out;
}

int statisticsAnswers(const SimulatedPowerBank& bank)
{
    const auto answers = bank.answers();
    return int(std::count_if(answers.begin(), answers.end(),
                             [](const auto& a) { return a.command == 0x11 && a.subCommand == 0x01 && !a.injected; }));
}

struct DiagnosticsWindow : tessaravolt::test::LoadedMain
{
    QQuickItem* table() const { return item("diagnosticTable"); }
    QAbstractItemModel* rows() const
    {
        return table() ? qvariant_cast<QAbstractItemModel*>(table()->property("rows")) : nullptr;
    }
    QVariant role(int row, const char* name) const
    {
        QAbstractItemModel* model = rows();
        if (!model)
            return {};
        const int r = model->roleNames().key(name, -1);
        return model->data(model->index(row, 0), r);
    }
    QList<int> seqs() const
    {
        QList<int> out;
        for (int i = 0; rows() && i < rows()->rowCount(); ++i)
            out << role(i, "seq").toInt();
        return out;
    }
    QStringList strip() const
    {
        QStringList out;
        for (const char* name : {"minTemp", "maxTemp", "minVol", "maxVol", "maxCharge", "maxDischarge"})
            out << page()->property(name).toString();
        return out;
    }
    void showLog(bool activity) const { QMetaObject::invokeMethod(page(), "showLog", Q_ARG(QVariant, activity)); }
    // Statistics asked for now, their answer handled by the program, and the record requests it
    // queued on that answer written.
    bool askStatistics(const SimulatedPowerBank& bank) const
    {
        HidServiceApi* api = HidServiceApi::instance();
        QSignalSpy handled(api, &HidServiceApi::staticsEvent);
        const int before = statisticsAnswers(bank);
        if (!bank.waitUntil(
                [&] {
                    api->requestStatisticEvents();
                    return statisticsAnswers(bank) > before;
                },
                8000))
            return false;
        if (!QTest::qWaitFor([&] { return handled.count() > 0 && HidBridge::instance()->backgroundQueueDepth() == 0; },
                             5000))
            return false;
        // Every request queued has reached the device, and one that must not come would have.
        return tessaravolt::test::settle(bank);
    }
};

DiagnosticsWindow connectedOnDiagnostics()
{
    DiagnosticsWindow main{tessaravolt::test::loadMainWindow()};
    if (!main.window)
        return main;
    main.window->setProperty("currentPage", 4);
    tessaravolt::test::showConnected(main);
    return main;
}

} // namespace

class TestSimDiagnosticsPage : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper");
        tessaravolt::test::useEnglish();
    }

    void showsAndFollowsBothLogs()
    {
        SimulatedPowerBank bank(SimulatedPowerBank::demoModel(), supportedIdentity());
        const DiagnosticsWindow main = connectedOnDiagnostics();
        QVERIFY(main.window);
        QVERIFY(main.connected());
        QCOMPARE(main.pageType(), QStringLiteral("DiagnosticsPage"));
        const SimulatedPowerBank::Model model = bank.model();

        // The statistics, and the activity log loaded by the first answer.
        QTRY_COMPARE_WITH_TIMEOUT(main.strip(), QStringList({"-5 °C", "45 °C", "12 V", "17 V", "7 A", "10 A"}), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(main.seqs(), expectedOrder(model.activityLog.records), 10000);
        const QList<QByteArray> load = activityRecordRequests(bank);
        QVERIFY2(load.size() >= 12, qPrintable(QString::number(load.size())));
        for (int i = 0; i < 12; ++i)
            QCOMPARE(load[i], QByteArray::fromHex("00") + char(i * 3) + QByteArray::fromHex("0003"));

        // Later answers with the same number and count: one probe of the newest three records each.
        QTRY_COMPARE_WITH_TIMEOUT(HidBridge::instance()->backgroundQueueDepth(), size_t(0), 5000);
        bank.clearRecords();
        QVERIFY(main.askStatistics(bank));
        QVERIFY(main.askStatistics(bank));
        const QList<QByteArray> probes = activityRecordRequests(bank);
        QCOMPARE(probes.size(), statisticsAnswers(bank));
        for (const QByteArray& p : probes)
            QCOMPARE(p, QByteArray::fromHex("00000003"));
        QCOMPARE(main.seqs(), expectedOrder(model.activityLog.records));

        // The abnormal tab: the device's abnormal log, and no more activity requests.
        main.showLog(false);
        QTRY_COMPARE_WITH_TIMEOUT(main.seqs(), expectedOrder(model.abnormalLog.records), 5000);
        bank.clearRecords();
        QVERIFY(main.askStatistics(bank));
        QVERIFY(main.askStatistics(bank));
        QCOMPARE(activityRecordRequests(bank).size(), 0);
        QCOMPARE(main.role(0, "value").toString(), QStringLiteral("11.300 V"));

        const QDir dir = screenshotDir();
        for (const bool english : {true, false}) {
            if (I18n::instance()->isEn() != english)
                I18n::instance()->toggleLanguage();
            QVERIFY(waitForFrame(main.window));
            QVERIFY(main.window->grabWindow().save(
                dir.filePath(english ? QStringLiteral("sim-abnormal-en.png") : QStringLiteral("sim-abnormal-zh.png"))));
        }
        I18n::instance()->toggleLanguage();

        // A record the device adds shows up without leaving the page, on either tab.
        bank.update([](SimulatedPowerBank::Model& m) {
            m.prependEvent(1, SimulatedPowerBank::EventRecord{0, 1790000000, 1, 1, 4, 12345});
        });
        QVERIFY(main.askStatistics(bank));
        QTRY_COMPARE_WITH_TIMEOUT(main.seqs(), expectedOrder(bank.model().abnormalLog.records), 5000);
        QCOMPARE(main.role(0, "value").toString(), QStringLiteral("12.345 A"));

        main.showLog(true);
        QTRY_COMPARE_WITH_TIMEOUT(main.seqs(), expectedOrder(model.activityLog.records), 5000);
        bank.update([](SimulatedPowerBank::Model& m) {
            m.prependEvent(0, SimulatedPowerBank::EventRecord{0, 1790000000, 0, 0, 2, 77});
        });
        QVERIFY(main.askStatistics(bank));
        QTRY_COMPARE_WITH_TIMEOUT(main.seqs(), expectedOrder(bank.model().activityLog.records), 5000);
        QCOMPARE(main.role(0, "value").toString(), QStringLiteral("77"));

        for (const bool english : {true, false}) {
            if (I18n::instance()->isEn() != english)
                I18n::instance()->toggleLanguage();
            QVERIFY(waitForFrame(main.window));
            QVERIFY(main.window->grabWindow().save(
                dir.filePath(english ? QStringLiteral("sim-activity-en.png") : QStringLiteral("sim-activity-zh.png"))));
        }
        I18n::instance()->toggleLanguage();
    }

    // Records at the ends of the wire's ranges (time stamps 0, 2^63 - 1, 2^63, 2^64 - 1 and year
    // 10000; codes -32768 and 0): the table and the report show each the same way, in the same
    // order, and the report is written (the sanitizer build checks the arithmetic on the way).
    void extremeRecordsInTableAndReport()
    {
        const QByteArray savedTz = qgetenv("TZ");
        qputenv("TZ", "UTC");
        tzset();
        const auto restoreTz = qScopeGuard([&] {
            if (savedTz.isNull())
                qunsetenv("TZ");
            else
                qputenv("TZ", savedTz);
            tzset();
        });
        SimulatedPowerBank::Model model = SimulatedPowerBank::demoModel();
        const uint64_t signedMax = uint64_t(std::numeric_limits<int64_t>::max());
        for (const auto& [ts, code] :
             std::initializer_list<std::pair<uint64_t, int16_t>>{{0, -32768},
                                                                 {signedMax, 0},
                                                                 {signedMax + 1, 32767},
                                                                 {std::numeric_limits<uint64_t>::max(), -1},
                                                                 {253402300800, -32768}}) {
            // 2^63 - 1 and 2^63 are one number to the table and tie; the activity table orders equal
            // stamps by arrival, the list by the cache, so that pair goes to the abnormal log only.
            if (ts != signedMax + 1)
                model.prependEvent(0, SimulatedPowerBank::EventRecord{0, ts, 0, 0, 2, code});
            model.prependEvent(1, SimulatedPowerBank::EventRecord{0, ts, 1, 1, 7, code});
        }
        SimulatedPowerBank bank(model, supportedIdentity());
        const DiagnosticsWindow main = connectedOnDiagnostics();
        QVERIFY(main.window);
        QVERIFY(main.connected());
        HidServiceApi* api = HidServiceApi::instance();
        const qsizetype activityCount = model.activityLog.records.size();
        const qsizetype abnormalCount = model.abnormalLog.records.size();
        QTRY_COMPARE_WITH_TIMEOUT(main.seqs().size(), activityCount, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(api->getCachedAbnormalLogs().size(), abnormalCount, 15000);

        const auto tableRows = [&] {
            QStringList out;
            for (int i = 0; main.rows() && i < main.rows()->rowCount(); ++i)
                out << QStringList{main.role(i, "date").toString(), main.role(i, "time").toString(),
                                   main.role(i, "value").toString()}
                           .join(QLatin1String(" | "));
            return out;
        };
        // The report's time carries the zone's name, which the table leaves out.
        const auto reportRows = [](const QVariantList& list) {
            QStringList out;
            for (const QVariant& v : list) {
                const QVariantMap m = v.toMap();
                out << QStringList{m.value("date").toString(),
                                   m.value("time").toString().section(QLatin1Char(' '), 0, 0),
                                   m.value("value").toString()}
                           .join(QLatin1String(" | "));
            }
            return out;
        };
        const QVariantList activity = api->getCachedActivityLogs();
        const QStringList activityRows = reportRows(activity);
        QCOMPARE(tableRows(), activityRows);
        QCOMPARE(activityRows.mid(0, 2), (QStringList{" |  | -1", " |  | 0"}));
        QCOMPARE(activityRows.at(2), QStringLiteral("10000/01/01 | 00:00 | -32768"));
        QCOMPARE(activityRows.last(), QStringLiteral("1970/01/01 | 00:00 | -32768"));

        main.showLog(false);
        const QVariantList abnormal = api->getCachedAbnormalLogs();
        QTRY_COMPARE_WITH_TIMEOUT(main.seqs().size(), abnormalCount, 5000);
        QStringList abnormalTable = tableRows();
        QStringList abnormalReport = reportRows(abnormal);
        // Temperatures and voltages are given more finely in the report; the extremes are plain numbers.
        QCOMPARE(abnormalTable.mid(0, 4), abnormalReport.mid(0, 4));
        QCOMPARE(abnormalReport.at(3), QStringLiteral("10000/01/01 | 00:00 | N/A"));
        QCOMPARE(abnormalTable.last(), abnormalReport.last());

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("extremes.pdf"));
        QMetaObject::invokeMethod(main.page(), "exportPdf", Q_ARG(QVariant, QUrl::fromLocalFile(path).toString()));
        QTRY_VERIFY(QFileInfo(path).size() > 0);
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        QVERIFY(pdftotext.waitForFinished(20000));
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        for (const QString& expected : {QStringLiteral("10000/01/01"), QStringLiteral("1970/01/01"),
                                        QStringLiteral("-32768"), QStringLiteral("32767")})
            QVERIFY2(text.contains(expected),
                     qPrintable(expected + QStringLiteral(" missing in:\n") + text.left(3000)));
        QVERIFY(!text.contains(QStringLiteral("65535")));
    }

    // The report's save dialog in the language chosen with the toggle: the program's title and
    // button, and Qt's own labels (from Qt's catalogues, and the program's words where they lack one).
    void reportDialogSpeaksTheLanguage()
    {
        SimulatedPowerBank bank(SimulatedPowerBank::demoModel(), supportedIdentity());
        const DiagnosticsWindow main = connectedOnDiagnostics();
        QVERIFY(main.window);
        QVERIFY(main.connected());
        QObject* dialog = main.page()->findChild<QObject*>(QStringLiteral("pdfSaveDialog"));
        QVERIFY(dialog);
        QQuickItem* button = main.item("generateReportButton");
        QVERIFY(button);
        for (const bool english : {false, true}) {
            if (I18n::instance()->isEn() != english)
                I18n::instance()->toggleLanguage();
            QTest::mouseClick(main.window, Qt::LeftButton, {},
                              button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint());
            QTRY_VERIFY(dialog->property("visible").toBool());
            QVERIFY(waitForFrame(main.window));
            const QStringList texts = visibleTexts(main.window);
            const QStringList expected = english
                ? QStringList{"Export Diagnostic Report", "Save", "Cancel", "File name", "Filter"}
                : QStringList{"导出诊断报告", "保存", "取消", "文件名", "过滤器"};
            for (const QString& text : expected)
                QVERIFY2(texts.contains(text), qPrintable(text + QStringLiteral(" missing in: ") + texts.join(", ")));
            // Qt resets the button to its own word when the language changes; the program's stays.
            QVERIFY(!texts.contains(english ? QStringLiteral("Open") : QStringLiteral("打开")));
            QVERIFY(main.window->grabWindow().save(
                screenshotDir().filePath(english ? QStringLiteral("sim-report-dialog-toggled-en.png")
                                                 : QStringLiteral("sim-report-dialog-zh.png"))));
            QMetaObject::invokeMethod(dialog, "close");
            QTRY_VERIFY(!dialog->property("visible").toBool());
        }
    }

    // Generate Report: the proposed file in a folder that exists, the file written, and an
    // existing file replaced only once the user confirms.
    void writesTheReport()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        const auto restoreHome = qScopeGuard([&] { qputenv("HOME", savedHome); });

        SimulatedPowerBank bank(SimulatedPowerBank::demoModel(), supportedIdentity());
        const DiagnosticsWindow main = connectedOnDiagnostics();
        QVERIFY(main.window);
        QVERIFY(main.connected());
        HidServiceApi* api = HidServiceApi::instance();
        QTRY_COMPARE_WITH_TIMEOUT(main.seqs().size(), 36, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(api->getCachedAbnormalLogs().size(), 12, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(main.page()->property("productSn").toString(), QStringLiteral("TV25K140-0001234"),
                                  5000);

        QObject* dialog = nullptr;
        for (QObject* o : main.page()->findChildren<QObject*>(QStringLiteral("pdfSaveDialog")))
            dialog = o;
        QVERIFY(dialog);
        QCOMPARE(dialog->property("title").toString(), QStringLiteral("Export Diagnostic Report"));
        QCOMPARE(dialog->property("acceptLabel").toString(), QStringLiteral("Save"));
        QCOMPARE(dialog->property("defaultSuffix").toString(), QStringLiteral("pdf"));
        QCOMPARE(dialog->property("nameFilters").toStringList(), QStringList{QStringLiteral("PDF files (*.pdf)")});
        // The program asks before replacing: a platform dialog must not ask as well.
        QVERIFY(dialog->property("options").toInt() & kDontConfirmOverwrite);

        QQuickItem* button = main.item("generateReportButton");
        QVERIFY(button);
        const auto pressButton = [&] {
            QTest::mouseClick(main.window, Qt::LeftButton, {},
                              button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint());
        };
        const QRegularExpression name(QStringLiteral("/diagnostic_report_\\d{4}(_\\d\\d){5}(\\.pdf)?$"));
        // No Documents folder: the home folder.
        pressButton();
        QTRY_VERIFY(dialog->property("visible").toBool());
        QString proposed = dialog->property("currentFile").toUrl().toLocalFile();
        QCOMPARE(QFileInfo(proposed).absolutePath(), QFileInfo(home.path()).absoluteFilePath());
        QVERIFY2(name.match(proposed).hasMatch(), qPrintable(proposed));
        QVERIFY(waitForFrame(main.window));
        QVERIFY(main.window->grabWindow().save(screenshotDir().filePath(QStringLiteral("sim-report-dialog-en.png"))));
        QMetaObject::invokeMethod(dialog, "close");
        QTRY_VERIFY(!dialog->property("visible").toBool());
        // With one: there.
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Documents")));
        pressButton();
        QTRY_VERIFY(dialog->property("visible").toBool());
        proposed = dialog->property("currentFile").toUrl().toLocalFile();
        QCOMPARE(QFileInfo(proposed).absolutePath(),
                 QFileInfo(home.filePath(QStringLiteral("Documents"))).absoluteFilePath());

        // The user types a name into the dialog and presses Return, in the proposed folder.
        const auto chooseFile = [&](const QString& fileName) {
            QQuickItem* field = nullptr;
            for (QQuickItem* i : main.window->findChildren<QQuickItem*>(QStringLiteral("fileNameTextField")))
                if (i->isVisible())
                    field = i;
            QVERIFY(field);
            QTest::mouseClick(main.window, Qt::LeftButton, {},
                              field->mapToScene(QPointF(field->width() / 2, field->height() / 2)).toPoint());
            QTest::keyClick(main.window, Qt::Key_A, Qt::ControlModifier);
            for (const QChar c : fileName)
                QTest::keyClick(main.window, c.toLatin1());
            QTest::keyClick(main.window, Qt::Key_Return);
            QQuickItem* save = nullptr;
            for (QQuickItem* i : main.window->findChildren<QQuickItem*>())
                if (i->isVisible() && i->property("text").toString() == QLatin1String("Save")
                    && i->inherits("QQuickAbstractButton"))
                    save = i;
            QVERIFY(save);
            QTest::mouseClick(main.window, Qt::LeftButton, {},
                              save->mapToScene(QPointF(save->width() / 2, save->height() / 2)).toPoint());
            QTRY_VERIFY(!dialog->property("visible").toBool());
        };
        const QString documents = home.filePath(QStringLiteral("Documents"));
        // A name chosen without the suffix is written with it.
        const QString chosen = documents + QStringLiteral("/my report");
        chooseFile(QStringLiteral("my report"));
        const QString written = chosen + QStringLiteral(".pdf");
        QTRY_VERIFY(QFileInfo::exists(written));
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"), {written, QStringLiteral("-")});
        QVERIFY(pdftotext.waitForFinished(20000));
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        for (const QString& expected :
             {QStringLiteral("TV-25K140"), QStringLiteral("TV25K140-0001234"), QStringLiteral("HW 1.2"),
              QStringLiteral("FW 1.0.8"), QStringLiteral("UVP Protection Activated"), QStringLiteral("11.3 V"),
              I18n::resolveActivityEvent(bank.model().activityLog.records.first().info, I18n::instance()->language())})
            QVERIFY2(text.contains(expected),
                     qPrintable(expected + QStringLiteral(" missing in:\n") + text.left(2000)));

        // The same file again: nothing is written until the user confirms.
        {
            QFile file(written);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("kept");
        }
        const auto content = [&] {
            QFile file(written);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QObject* confirm = main.object("reportReplaceConfirm");
        QVERIFY(confirm);
        for (const QString& again : {written, chosen}) {
            pressButton();
            QTRY_VERIFY(dialog->property("visible").toBool());
            QSignalSpy asked(confirm, SIGNAL(visibleChanged()));
            chooseFile(QFileInfo(again).fileName());
            QTRY_VERIFY(confirm->property("visible").toBool());
            QTest::qWait(200);         // time for a second question, which must not come
            QCOMPARE(asked.size(), 1); // one question, asked once
            QCOMPARE(content(), QByteArray("kept"));
            if (again == written) {
                QVERIFY(waitForFrame(main.window));
                QVERIFY(main.window->grabWindow().save(
                    screenshotDir().filePath(QStringLiteral("sim-report-replace-en.png"))));
            }
            QQuickItem* cancel = main.item("replaceCancel");
            QVERIFY(cancel);
            QTest::mouseClick(main.window, Qt::LeftButton, {},
                              cancel->mapToScene(QPointF(cancel->width() / 2, cancel->height() / 2)).toPoint());
            QTRY_VERIFY(!confirm->property("visible").toBool());
            QCOMPARE(content(), QByteArray("kept"));
        }
        pressButton();
        QTRY_VERIFY(dialog->property("visible").toBool());
        chooseFile(QFileInfo(written).fileName());
        QTRY_VERIFY(confirm->property("visible").toBool());
        QQuickItem* replace = main.item("replaceAccept");
        QVERIFY(replace);
        QTest::mouseClick(main.window, Qt::LeftButton, {},
                          replace->mapToScene(QPointF(replace->width() / 2, replace->height() / 2)).toPoint());
        QTRY_VERIFY(content().startsWith("%PDF"));
        const QByteArray replaced = content();

        const auto cancelReplace = [&] {
            QTest::mouseClick(main.window, Qt::LeftButton, {},
                              main.item("replaceCancel")
                                  ->mapToScene(QPointF(main.item("replaceCancel")->width() / 2,
                                                       main.item("replaceCancel")->height() / 2))
                                  .toPoint());
            QTRY_VERIFY(!confirm->property("visible").toBool());
        };
        // ".PDF" is the suffix too: an existing REPORT.PDF chosen as REPORT.PDF brings the question.
        const QString upper = documents + QStringLiteral("/REPORT.PDF");
        {
            QFile file(upper);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept");
        }
        pressButton();
        QTRY_VERIFY(dialog->property("visible").toBool());
        chooseFile(QStringLiteral("REPORT.PDF"));
        QTRY_VERIFY(confirm->property("visible").toBool());
        cancelReplace();
        QFile upperFile(upper);
        QVERIFY(upperFile.open(QIODevice::ReadOnly));
        QCOMPARE(upperFile.readAll(), QByteArray("kept"));

        // The name checked is the one that will be written: a dialog that hands over the name
        // without the suffix still brings the question for "my report.pdf".
        QVERIFY(
            QMetaObject::invokeMethod(main.page(), "saveChosenReport", Q_ARG(QVariant, QUrl::fromLocalFile(chosen))));
        QTRY_VERIFY(confirm->property("visible").toBool());
        cancelReplace();
        QCOMPARE(content(), replaced);

        // A report that cannot be saved says so, with the system's reason: its folder went away.
        QObject* failed = main.object("reportSaveFailed");
        QVERIFY(failed);
        QVERIFY(!failed->property("visible").toBool());
        QVERIFY(QMetaObject::invokeMethod(
            main.page(), "saveChosenReport",
            Q_ARG(QVariant, QUrl::fromLocalFile(documents + QStringLiteral("/gone/report")))));
        QTRY_VERIFY(failed->property("visible").toBool());
        QCOMPARE(failed->property("reason").toString(), qt_error_string(ENOENT));
        QQuickItem* ok = main.item("saveFailedOk");
        QVERIFY(ok);
        QTest::mouseClick(main.window, Qt::LeftButton, {},
                          ok->mapToScene(QPointF(ok->width() / 2, ok->height() / 2)).toPoint());
        QTRY_VERIFY(!failed->property("visible").toBool());
        QVERIFY(!QFileInfo::exists(documents + QStringLiteral("/gone")));
    }

    // The page's save dialog (with its filter list open), its replace question and its save-failed
    // message go with the page: nothing of them is left over the start page when the power bank is
    // lost, nor over another page the user chooses, not even for the moment the next page takes
    // the old one's place; after a reconnection Generate Report works again.
    void dialogsCloseWithThePage()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        const auto restoreHome = qScopeGuard([&] { qputenv("HOME", savedHome); });
        const QUrl existing = QUrl::fromLocalFile(home.filePath(QStringLiteral("kept.pdf")));
        {
            QFile file(existing.toLocalFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept");
        }

        SimulatedPowerBank bank(SimulatedPowerBank::demoModel(), supportedIdentity());
        const DiagnosticsWindow main = connectedOnDiagnostics();
        QVERIFY(main.window);
        QVERIFY(main.connected());
        QCOMPARE(main.pageType(), QStringLiteral("DiagnosticsPage"));
        QStringList shownAtChange;
        bool changed = false;
        SignalWatcher atChange(main.item("pageLoader"), "itemChanged()", [&] {
            if (!changed)
                shownAtChange = shownOverPages(main.window);
            changed = true;
        });

        const auto openDialog = [&] {
            QQuickItem* button = main.item("generateReportButton");
            QVERIFY(button);
            QVERIFY(waitForFrame(main.window));
            QTest::mouseClick(main.window, Qt::LeftButton, {},
                              button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint());
            QObject* dialog = main.page()->findChild<QObject*>(QStringLiteral("pdfSaveDialog"));
            QVERIFY(dialog);
            QTRY_VERIFY(dialog->property("visible").toBool());
        };
        const QString openFilterList = QStringLiteral("dialog with its filter list");
        const struct
        {
            QString what;
            bool unplug;
        } cases[] = {{QStringLiteral("dialog"), true},   {openFilterList, true},
                     {QStringLiteral("question"), true}, {QStringLiteral("message"), true},
                     {QStringLiteral("dialog"), false},  {QStringLiteral("question"), false}};
        for (const auto& c : cases) {
            const QString name = c.what + (c.unplug ? QStringLiteral(", unplugged") : QStringLiteral(", page left"));
            if (c.what.startsWith(QLatin1String("dialog"))) {
                openDialog();
                if (QTest::currentTestFailed())
                    return;
                if (c.what == openFilterList) {
                    QQuickItem* filters = nullptr;
                    for (QQuickItem* i : main.window->findChildren<QQuickItem*>())
                        if (i->isVisible() && i->inherits("QQuickComboBox"))
                            filters = i;
                    QVERIFY2(filters, qPrintable(name));
                    QVERIFY(waitForFrame(main.window));
                    const qsizetype before = shownOverPages(main.window).size();
                    QTest::mouseClick(
                        main.window, Qt::LeftButton, {},
                        filters->mapToScene(QPointF(filters->width() / 2, filters->height() / 2)).toPoint());
                    QTRY_VERIFY2(shownOverPages(main.window).size() > before, qPrintable(name));
                }
            } else {
                const QUrl chosen = c.what == QLatin1String("question")
                    ? existing
                    : QUrl::fromLocalFile(home.filePath(QStringLiteral("gone/report")));
                QVERIFY(QMetaObject::invokeMethod(main.page(), "saveChosenReport", Q_ARG(QVariant, chosen)));
                QObject* popup =
                    main.object(c.what == QLatin1String("question") ? "reportReplaceConfirm" : "reportSaveFailed");
                QVERIFY(popup);
                QTRY_VERIFY2(popup->property("visible").toBool(), qPrintable(name));
            }
            QVERIFY2(!shownOverPages(main.window).isEmpty(), qPrintable(name));

            changed = false;
            if (c.unplug) {
                bank.unplug();
                QTRY_COMPARE_WITH_TIMEOUT(main.pageType(), QStringLiteral("StartupPage"), 10000);
            } else {
                main.window->setProperty("currentPage", 1);
                QCOMPARE(main.pageType(), QStringLiteral("PowerPage"));
            }
            QVERIFY2(changed, qPrintable(name));
            QVERIFY2(shownAtChange.isEmpty(), qPrintable(name + QStringLiteral(": ") + shownAtChange.join("; ")));
            QVERIFY(waitForFrame(main.window));
            QVERIFY2(shownOverPages(main.window).isEmpty(),
                     qPrintable(name + QStringLiteral(": ") + shownOverPages(main.window).join("; ")));
            QCOMPARE(QFile(existing.toLocalFile()).size(), qint64(4));

            if (c.unplug) {
                for (const bool english : {true, false}) {
                    if (I18n::instance()->isEn() != english)
                        I18n::instance()->toggleLanguage();
                    QVERIFY(waitForFrame(main.window));
                    QVERIFY2(shownOverPages(main.window).isEmpty(), qPrintable(name));
                    QString picture = QStringLiteral("sim-unplugged-") + c.what + (english ? "-en.png" : "-zh.png");
                    picture.replace(QLatin1Char(' '), QLatin1Char('-'));
                    QVERIFY(main.window->grabWindow().save(screenshotDir().filePath(picture)));
                }
                tessaravolt::test::useEnglish();
                QVERIFY(bank.plug());
                QTRY_VERIFY_WITH_TIMEOUT(main.connected(), tessaravolt::test::kConnectTimeoutMs);
            } else {
                main.window->setProperty("currentPage", 4);
            }
            QCOMPARE(main.pageType(), QStringLiteral("DiagnosticsPage"));
        }
        // The new page's dialog opens and shows.
        openDialog();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!shownOverPages(main.window).isEmpty());
    }
};

QTEST_MAIN(TestSimDiagnosticsPage)
#include "tst_sim_diagnostics_page.moc"
