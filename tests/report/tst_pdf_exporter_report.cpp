// The diagnostic report as a reader of the file sees it: pages, text and positions through poppler's
// pdfinfo, pdftotext and pdftoppm.
#include "report/pdf_reading.h"
#include "support/log_mark.h"
#include "transport/tst_event_log_access.h"

#include "common/i18n.h"
#include "common/logger_manager.h"
#include "common/safe_file_writer.h"
#include "report/pdf_exporter.h"
#include "transport/hid_service_api.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPdfWriter>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtQml/qqmlextensionplugin.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <thread>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using namespace tessaravolt::test;
using tessaravolt::common::I18n;
using tessaravolt::common::LoggerManager;
using tessaravolt::common::PdfExporter;
using tessaravolt::common::systemErrorText;
using tessaravolt::transport::CacheEvtInfo;
using tessaravolt::transport::EventLogTestAccess;
using tessaravolt::transport::HidServiceApi;

namespace {

QVariantMap row(const QString& date, const QString& time, const QString& event, const QString& value)
{
    return {{QStringLiteral("date"), date},
            {QStringLiteral("time"), time},
            {QStringLiteral("event"), event},
            {QStringLiteral("value"), value}};
}

// Rows whose value names the log and the row, so every one can be found in the text.
QVariantList numberedRows(int count, QChar log)
{
    QVariantList rows;
    for (int i = 0; i < count; ++i)
        rows << row(QStringLiteral("2026/03/04"), QStringLiteral("12:34 UTC"), QStringLiteral("Output Charging Ended"),
                    QStringLiteral("%1%2").arg(log).arg(i, 5, 10, QLatin1Char('0')));
    return rows;
}

bool exportReport(const QString& path, const QVariantList& activity, const QVariantList& abnormal)
{
    return PdfExporter::instance()->exportDiagnosticReport(path, QStringLiteral("TV-20K"), QStringLiteral("SN-000123"),
                                                           QStringLiteral("H1.2"), QStringLiteral("F3.4.5"), activity,
                                                           abnormal);
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

bool hasLog(const QString& text)
{
    for (const LoggerManager::LogEntry& entry : LoggerManager::instance().entries()) {
        if (entry.message.contains(text))
            return true;
    }
    return false;
}

// True while the process holds a file open in the folder (the report's file, named or not).
bool fileOpenIn(const QString& folder)
{
    const QString prefix = folder + QLatin1Char('/');
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        if (QFile::symLinkTarget(fds.filePath(fd)).startsWith(prefix))
            return true;
    }
    return false;
}

// The folder's write permission goes away before an export, and while one is drawing its report
// after it opened its file: neither answers true, neither leaves a file.
void checkUnwritableFolder(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    const QString path = folder + QStringLiteral("/report.pdf");
    QCOMPARE(chmod(native.constData(), 0555), 0);
    QVERIFY(!exportReport(path, numberedRows(10, QLatin1Char('A')), {}));
    QVERIFY(entriesOf(folder).isEmpty());
    QCOMPARE(chmod(native.constData(), 0755), 0);

    std::atomic<bool> stop{false};
    std::atomic<bool> revoked{false};
    std::thread watcher([&] {
        while (!stop) {
            if (fileOpenIn(folder)) {
                revoked = chmod(native.constData(), 0555) == 0;
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    const bool written = exportReport(path, numberedRows(3000, QLatin1Char('A')), numberedRows(3000, QLatin1Char('B')));
    stop = true;
    watcher.join();
    QCOMPARE(chmod(native.constData(), 0755), 0);
    QVERIFY(revoked);
    QVERIFY(!written);
    QVERIFY(entriesOf(folder).isEmpty());
    // The whole report was on disk, without a name it could keep.
    QVERIFY(hasLog(QStringLiteral("exportDiagnosticReport: the file was written but could not take its name: ")
                   + systemErrorText(EACCES)));
}

// Sets TZ for the process and restores it on leaving.
class ZoneScope
{
public:
    explicit ZoneScope(const QByteArray& zone)
        : m_had(qEnvironmentVariableIsSet("TZ"))
        , m_old(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneScope()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    bool m_had;
    QByteArray m_old;
};

} // namespace

class TestPdfExporterReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(), "poppler-utils is needed");
        I18n::instance()->setLanguage(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void pageCounts_data()
    {
        QTest::addColumn<int>("activity");
        QTest::addColumn<int>("abnormal");
        QTest::addColumn<int>("pages");
        QTest::newRow("empty") << 0 << 0 << 1;
        QTest::newRow("abnormal section fits below") << 28 << 2 << 1;
        QTest::newRow("third abnormal row breaks") << 28 << 3 << 2;
        QTest::newRow("abnormal section moves") << 29 << 0 << 2;
        QTest::newRow("activity breaks") << 36 << 0 << 2;
        QTest::newRow("three pages") << 79 << 0 << 3;
        QTest::newRow("100 and 100") << 100 << 100 << 5;
        QTest::newRow("1000 and 1000") << 1000 << 1000 << 46;
    }

    // Every record is printed once, in order, and every continuation page opens with the table
    // header (or, when the break came at a section's start, with the section title and its header).
    void pageCounts()
    {
        QFETCH(int, activity);
        QFETCH(int, abnormal);
        QFETCH(int, pages);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        QVERIFY(exportReport(path, numberedRows(activity, QLatin1Char('A')), numberedRows(abnormal, QLatin1Char('B'))));
        QCOMPARE(pageCount(path), pages);

        const Geometry& g = Geometry::a4();
        const QList<Page> all = words(path);
        QCOMPARE(all.size(), pages);
        QStringList values;
        for (int p = 0; p < all.size(); ++p) {
            const QList<Page> pageLines = lines(all[p]);
            QVERIFY(!pageLines.isEmpty());
            if (p > 0) {
                const QString first = joined(pageLines.first());
                if (first == QLatin1String("Abnormal Logs")) {
                    // Title 312 to 381, header 416 to 457.
                    QVERIFY(std::abs(pageLines.first().first().box.center().y() - g.yPt(346.5)) < 3.0);
                    QCOMPARE(joined(pageLines.value(1)), QStringLiteral("Date Time Event Value"));
                    QVERIFY(std::abs(pageLines.value(1).first().box.center().y() - g.yPt(436.5)) < 3.0);
                } else {
                    QCOMPARE(first, QStringLiteral("Date Time Event Value"));
                    // Centred in its row, 230 to 271 dots from the top of the paintable area.
                    QVERIFY(std::abs(pageLines.first().first().box.center().y() - g.yPt(250.5)) < 3.0);
                }
            }
            for (const Page& line : pageLines) {
                const QString value = line.last().text;
                if (value.size() == 6 && (value.startsWith(QLatin1Char('A')) || value.startsWith(QLatin1Char('B')))) {
                    values << value;
                    // No row reaches past the bottom limit.
                    QVERIFY(line.last().box.bottom() <= g.yPt(g.height - 180));
                }
            }
        }
        QStringList expected;
        for (int i = 0; i < activity; ++i)
            expected << QStringLiteral("A%1").arg(i, 5, 10, QLatin1Char('0'));
        for (int i = 0; i < abnormal; ++i)
            expected << QStringLiteral("B%1").arg(i, 5, 10, QLatin1Char('0'));
        QCOMPARE(values, expected);
    }

    // The fixed layout of a report with empty logs: text at its rows, the three rules drawn across.
    void emptyReportLayout()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("empty.pdf"));
        QVERIFY(exportReport(path, {}, {}));
        QVERIFY(run(QStringLiteral("pdfinfo"), {path}).contains(QStringLiteral("Title:           Diagnostic Report")));
        QVERIFY(run(QStringLiteral("pdfinfo"), {path}).contains(QStringLiteral("(A4)")));

        const Geometry& g = Geometry::a4();
        const QList<Page> pages = words(path);
        QCOMPARE(pages.size(), 1);
        const QList<Page> pageLines = lines(pages.first());
        // Each text is centred in its rectangle: (top, bottom) in dots.
        const QList<std::pair<QString, std::pair<int, int>>> expected{
            {QStringLiteral("Diagnostic Report"), {230, 330}},
            {QStringLiteral("Generated At:"), {376, 414}},
            {QStringLiteral("Model no.: TV-20K"), {466, 504}},
            {QStringLiteral("Serial no.: SN-000123"), {514, 552}},
            {QStringLiteral("Hardware Version: H1.2"), {562, 600}},
            {QStringLiteral("Firmware Version: F3.4.5"), {610, 648}},
            {QStringLiteral("Activity Logs"), {768, 838}},
            {QStringLiteral("Date Time Event Value"), {872, 914}},
            {QStringLiteral("Abnormal Logs"), {1072, 1142}},
            {QStringLiteral("Date Time Event Value"), {1176, 1218}},
        };
        QCOMPARE(pageLines.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const QString text = joined(pageLines[i]);
            QVERIFY2(text.startsWith(expected[i].first), qPrintable(text));
            const qreal centre = pageLines[i].first().box.center().y();
            const qreal wanted = g.yPt((expected[i].second.first + expected[i].second.second) / 2.0);
            QVERIFY2(std::abs(centre - wanted) < 3.0,
                     qPrintable(QStringLiteral("%1 at %2, wanted %3").arg(text).arg(centre).arg(wanted)));
            QVERIFY(pageLines[i].first().box.left() >= g.xPt(180) && pageLines[i].first().box.left() < g.xPt(200));
        }
        // Values stand at x 600, the header's columns at their fifths.
        QVERIFY(std::abs(pageLines[2].last().box.left() - g.xPt(600)) < 2.0);
        const Page& header = pageLines[7];
        for (int c = 0; c < 4; ++c)
            QVERIFY(std::abs(header[c].box.left() - g.xPt(g.column(c).first)) < 2.0);

        const QString image = dir.filePath(QStringLiteral("page"));
        run(QStringLiteral("pdftoppm"),
            {QStringLiteral("-gray"), QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-singlefile"), path,
             image});
        const QImage page(image + QStringLiteral(".pgm"));
        QVERIFY(!page.isNull());
        const qreal marginX = g.marginsPt.left() * 300 / 72;
        const qreal marginY = g.marginsPt.top() * 300 / 72;
        auto darkAcross = [&](qreal yDots) {
            const int y = qRound(marginY + yDots);
            for (int x = qRound(marginX + 182); x <= qRound(marginX + g.rightEdge() - 2); x += 7) {
                if (qGray(page.pixel(x, y)) > 96)
                    return false;
            }
            return true;
        };
        for (int rule : {686, 926, 1230}) {
            QVERIFY2(darkAcross(rule), qPrintable(QString::number(rule)));
            QVERIFY(!darkAcross(rule - 6) && !darkAcross(rule + 6));
        }
    }

    // Texts from the service's readers come back whole: identity, Chinese event names without
    // compatibility ideographs, and the abnormal values signed.
    void textsFromTheReaders_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("English") << false;
        QTest::newRow("Chinese") << true;
    }

    void textsFromTheReaders()
    {
        QFETCH(bool, chinese);
        I18n::instance()->setLanguage(chinese ? QLocale(QLocale::Chinese, QLocale::China)
                                              : QLocale(QLocale::English, QLocale::UnitedStates));
        HidServiceApi api(nullptr);
        auto& store = EventLogTestAccess::store(api);
        const uint64_t ts = 1767225600; // 2026-01-01 00:00 UTC
        // Activity: output charging ended (5), value 7; abnormal: over temperature while discharging
        // at -25.5 °C, an over-voltage at 12 V, a battery imbalance with a negative code.
        store.activityCache.append(CacheEvtInfo{1, ts, 0, 4, 7});
        store.abnormalCache.append(CacheEvtInfo{1, ts + 60, 1, 0, -255});
        store.abnormalCache.append(CacheEvtInfo{2, ts + 120, 0, 2, 12000});
        store.abnormalCache.append(CacheEvtInfo{3, ts + 180, 0, 5, -5});
        const QVariantList activity = api.getCachedActivityLogs();
        const QVariantList abnormal = api.getCachedAbnormalLogs();
        I18n::instance()->setLanguage(QLocale(QLocale::English, QLocale::UnitedStates));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("readers.pdf"));
        QVERIFY(PdfExporter::instance()->exportDiagnosticReport(path, QStringLiteral("TV-20K Pro"),
                                                                QStringLiteral("SN 42/7"), QStringLiteral("HW 1.0"),
                                                                QStringLiteral("FW 2.3.4"), activity, abnormal));
        const QString text = layoutText(path);
        QVERIFY(text.startsWith(QStringLiteral("Diagnostic Report")));
        const QStringList found = cellLines(path);
        QVERIFY(found.contains(QStringLiteral("Model no.: | TV-20K Pro")));
        QVERIFY(found.contains(QStringLiteral("Serial no.: | SN 42/7")));
        QVERIFY(found.contains(QStringLiteral("Hardware Version: | HW 1.0")));
        QVERIFY(found.contains(QStringLiteral("Firmware Version: | FW 2.3.4")));

        for (const QVariant& record : activity + abnormal) {
            const QString line = recordLine(record.toMap());
            QVERIFY2(found.contains(line), qPrintable(line + QStringLiteral("\n") + text));
        }
        if (chinese) {
            QVERIFY(text.contains(QStringLiteral("高温放电保护已激活")));
            QVERIFY(text.contains(QStringLiteral("电池失衡已激活")));
        } else {
            QVERIFY(text.contains(QStringLiteral("OTP Discharging Overtemperature Protection")));
        }
        QVERIFY(text.contains(QStringLiteral("-25.5 °C")));
        for (const QChar c : text) {
            // Kangxi radicals and CJK compatibility ideographs: what a face with its own mapping
            // of the ideographs gives back.
            QVERIFY2(!(c.unicode() >= 0x2F00 && c.unicode() <= 0x2FDF)
                         && !(c.unicode() >= 0xF900 && c.unicode() <= 0xFAFF),
                     qPrintable(QStringLiteral("U+%1").arg(c.unicode(), 4, 16)));
        }
    }

    // The output does not follow LANG (fontconfig ranks faces by it): the same faces are embedded
    // under any locale. Fontconfig reads LANG once per process, so each export runs in a child.
    void fontsDoNotFollowTheLocale_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::newRow("C") << "C";
        QTest::newRow("en_US") << "en_US.UTF-8";
        QTest::newRow("zh_CN") << "zh_CN.UTF-8";
        QTest::newRow("ja_JP") << "ja_JP.UTF-8";
    }

    void fontsDoNotFollowTheLocale()
    {
        QFETCH(QString, lang);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("fonts.pdf"));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TESSARAVOLT_FONTS_REPORT"), path);
        env.insert(QStringLiteral("LANG"), lang);
        env.insert(QStringLiteral("LC_ALL"), lang);
        env.insert(QStringLiteral("LANGUAGE"), lang);
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("fontsChild")});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitCode() == 0, child.readAll().constData());
        QStringList faces;
        for (const QString& line : run(QStringLiteral("pdffonts"), {path}).split(QLatin1Char('\n')).mid(2)) {
            if (!line.isEmpty())
                faces << line.section(QLatin1Char(' '), 0, 0);
        }
        faces.sort();
        QCOMPARE(faces,
                 (QStringList{QStringLiteral("LiberationSans"), QStringLiteral("LiberationSans-Bold"),
                              QStringLiteral("WenQuanYiMicroHei")}));
        QVERIFY(layoutText(path).contains(QStringLiteral("高温放电保护已激活")));
    }

    void fontsChild()
    {
        const QString path = qEnvironmentVariable("TESSARAVOLT_FONTS_REPORT");
        if (path.isEmpty())
            QSKIP("run by fontsDoNotFollowTheLocale");
        QVERIFY(exportReport(path, {row("2026/01/01", "00:00 UTC", QStringLiteral("高温放电保护已激活"), "1")}, {}));
    }

    void generatedAt_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<int>("offsetMinutes");
        QTest::addColumn<QString>("abbreviation");
        QTest::newRow("UTC") << QByteArray("UTC") << 0 << QStringLiteral("UTC");
        QTest::newRow("Asia/Shanghai") << QByteArray("Asia/Shanghai") << 480 << QStringLiteral("CST");
        // Zones without daylight-saving time, so the offset is the same on any day.
        QTest::newRow("Pacific/Honolulu") << QByteArray("Pacific/Honolulu") << -600 << QStringLiteral("HST");
        QTest::newRow("no abbreviation") << QByteArray("Asia/Kathmandu") << 345 << QString();
    }

    void generatedAt()
    {
        QFETCH(QByteArray, zone);
        QFETCH(int, offsetMinutes);
        QFETCH(QString, abbreviation);
        ZoneScope scope(zone);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("time.pdf"));
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(offsetMinutes * 60);
        QVERIFY(exportReport(path, {}, {}));
        const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(offsetMinutes * 60);
        static const QRegularExpression generated(QStringLiteral("Generated At: +(.*)\n"));
        const QString shown = generated.match(layoutText(path)).captured(1).trimmed();
        const QString format = QStringLiteral("yyyy/MM/dd HH:mm");
        QVERIFY2(shown == (before.toString(format) + QLatin1Char(' ') + abbreviation).trimmed()
                     || shown == (after.toString(format) + QLatin1Char(' ') + abbreviation).trimmed(),
                 qPrintable(shown));
    }

    // A text wider than its cell is drawn smaller until it fits, down to 8 pt, and elided only
    // past that: its drawn glyphs stay inside the cell, clear of the next column.
    void longTextsFitTheirCell()
    {
        const QString longest = QStringLiteral("OTP Discharging Overtemperature Protection");
        const QString chinese = QStringLiteral("静置高温温度异常已激活静置高温温度异常已激活");
        const QString endless = QStringLiteral("Battery imbalance Activated while the pack was idle and cold, "
                                               "twice in one hour, on cells two and four");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("long.pdf"));
        QVERIFY(
            exportReport(path,
                         {row("2026/01/01", "00:00 UTC", QStringLiteral("Charging"), "V1"),
                          row("2026/01/01", "00:00 UTC", longest, "V2"), row("2026/01/01", "00:00 UTC", chinese, "V3"),
                          row("2026/01/01", "00:00 UTC", endless, "V4")},
                         {}));
        const Geometry& g = Geometry::a4();
        const auto [eventLeft, eventRight] = g.column(2);
        const QList<Page> pageLines = lines(words(path).first());
        QMap<QString, Page> eventWords; // by the row's value
        for (const Page& line : pageLines) {
            if (line.last().text.size() == 2 && line.last().text.startsWith(QLatin1Char('V'))) {
                Page event;
                for (const Word& w : line) {
                    if (w.box.left() >= g.xPt(eventLeft) - 1 && w.box.left() < g.xPt(g.column(3).first) - 1)
                        event << w;
                }
                eventWords.insert(line.last().text, event);
                QVERIFY(std::abs(line.last().box.left() - g.xPt(g.column(3).first)) < 1.0);
            }
        }
        QCOMPARE(eventWords.size(), 4);
        const qreal normalHeight = eventWords["V1"].first().box.height();
        for (const QString& key : eventWords.keys()) {
            const Page& event = eventWords[key];
            QVERIFY2(event.last().box.right() <= g.xPt(eventRight) + 0.5,
                     qPrintable(QStringLiteral("%1 ends at %2, cell at %3")
                                    .arg(key)
                                    .arg(event.last().box.right())
                                    .arg(g.xPt(eventRight))));
            QVERIFY(event.first().box.left() >= g.xPt(eventLeft) - 0.5);
        }
        // Smaller, but whole.
        QCOMPARE(joined(eventWords["V2"]), longest);
        QVERIFY(eventWords["V2"].first().box.height() < normalHeight * 0.97);
        QVERIFY(eventWords["V2"].first().box.height() > normalHeight * 0.79);
        QCOMPARE(joined(eventWords["V3"]), chinese);
        QVERIFY(eventWords["V3"].first().box.height() < normalHeight * 0.97);
        // At the smallest size, and cut with an ellipsis.
        const QString cut = joined(eventWords["V4"]);
        QVERIFY2(cut.endsWith(QChar(0x2026)), qPrintable(cut));
        QVERIFY(endless.startsWith(cut.chopped(1).trimmed()));
        QVERIFY(cut.size() > endless.size() / 2);
        QVERIFY(std::abs(eventWords["V4"].first().box.height() - normalHeight * 0.8) < normalHeight * 0.03);
    }

    // Elements that are not maps, or maps short of some keys, give rows with empty cells.
    void rowsFromAnyElement()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("odd.pdf"));
        const QVariantList list{QVariant(314159),
                                QVariantMap{{QStringLiteral("event"), QStringLiteral("Only an event")}}, QVariant(),
                                QVariantMap{{QStringLiteral("value"), 98765}}};
        QVERIFY(exportReport(path, list, list));
        const QString text = layoutText(path);
        QCOMPARE(text.count(QStringLiteral("Only an event")), 2);
        // Numbers no time stamp of the "Generated At:" line can hold.
        QCOMPARE(text.count(QStringLiteral("98765")), 2);
        QVERIFY(!text.contains(QStringLiteral("314159")));
    }

    // The diagnostics page calls the writer from QML with the readers' lists as JS arrays.
    void calledFromQml()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("from qml"));
        QQmlEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        QQmlComponent component(&engine);
        component.setData(
            "import QtQuick\nimport Tessaravolt\nQtObject {\n"
            "    property string path\n"
            "    function run() {\n"
            "        return PdfExporter.exportDiagnosticReport(path, 'TV-20K', 'SN1', 'H1', 'F1',\n"
            "            [{date: '2026/01/01', time: '08:00 CST', event: '高温放电保护已激活', value: '-25.5 °C',\n"
            "              ts: 1767225600, status: 1}],\n"
            "            [{date: '2026/01/02', time: '09:00 CST', event: 'OVP Protection Activated', value: '12 V'}, "
            "7])\n"
            "    }\n"
            "}\n",
            QUrl(QStringLiteral("qrc:/pdf_exporter_report_test/Caller.qml")));
        std::unique_ptr<QObject> caller(component.create());
        QVERIFY2(caller, qPrintable(component.errorString()));
        caller->setProperty("path", QUrl::fromLocalFile(path).toString());
        QVariant answer;
        QVERIFY(QMetaObject::invokeMethod(caller.get(), "run", Q_RETURN_ARG(QVariant, answer)));
        QCOMPARE(answer, QVariant(true));
        const QString text = layoutText(path + QStringLiteral(".pdf"));
        QVERIFY(text.contains(QStringLiteral("高温放电保护已激活")));
        QVERIFY(text.contains(QStringLiteral("OVP Protection Activated")));
        QCOMPARE(pageCount(path + QStringLiteral(".pdf")), 1);
    }

    void paths_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("asUrl");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << "报告 one" << false << "报告 one.pdf";
        QTest::newRow("file URL") << "from dialog" << true << "from dialog.pdf";
        QTest::newRow("file URL with extension") << "dialog#1.pdf" << true << "dialog#1.pdf";
        QTest::newRow(".pdf") << "report.pdf" << false << "report.pdf";
        QTest::newRow(".PDF kept") << "REPORT.PDF" << false << "REPORT.PDF";
        QTest::newRow(".Pdf kept") << "Report.Pdf" << false << "Report.Pdf";
        QTest::newRow(".pdf.txt") << "x.pdf.txt" << false << "x.pdf.txt.pdf";
        QTest::newRow("dot at the end") << "x." << false << "x..pdf";
    }

    void paths()
    {
        QFETCH(QString, name);
        QFETCH(bool, asUrl);
        QFETCH(QString, written);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("with space"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QLatin1Char('/') + name;
        QVERIFY(
            exportReport(asUrl ? QUrl::fromLocalFile(path).toString() : path, numberedRows(3, QLatin1Char('A')), {}));
        QCOMPARE(entriesOf(folder), QStringList{written});
        QCOMPARE(pageCount(folder + QLatin1Char('/') + written), 1);
    }

    // An earlier file of the name is replaced whole.
    void replacesAnEarlierFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("again.pdf"));
        QVERIFY(exportReport(path, numberedRows(300, QLatin1Char('A')), {}));
        QVERIFY(exportReport(path, numberedRows(2, QLatin1Char('A')), {}));
        QCOMPARE(pageCount(path), 1);
        QCOMPARE(entriesOf(dir.path()), QStringList{QStringLiteral("again.pdf")});
    }

    // Each refusal reaches the application log: nothing was created, why, and at which step.
    void refusedPaths()
    {
        QTemporaryDir dir;
        const QString noName =
            QStringLiteral("exportDiagnosticReport: the file could not be created: %1 (naming the file)")
                .arg(systemErrorText(ENOENT));
        const QString noFolder =
            QStringLiteral("exportDiagnosticReport: the file could not be created: %1 (creating the file)")
                .arg(systemErrorText(ENOENT));
        LogMark mark;
        QVERIFY(!exportReport(QString(), {}, {}));
        QVERIFY(!exportReport(QStringLiteral("file:"), {}, {}));
        QCOMPARE(mark.lines(), QStringList({noName, noName}));
        // A missing folder is not created.
        QVERIFY(!exportReport(dir.filePath(QStringLiteral("missing/deeper/report")), {}, {}));
        QVERIFY(
            !exportReport(QUrl::fromLocalFile(dir.filePath(QStringLiteral("missing/report.pdf"))).toString(), {}, {}));
        QVERIFY(entriesOf(dir.path()).isEmpty());
        QCOMPARE(mark.lines().mid(2), QStringList({noFolder, noFolder}));
        // A folder standing at the name is left alone.
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("taken.pdf"))));
        QVERIFY(!exportReport(dir.filePath(QStringLiteral("taken")), {}, {}));
        QCOMPARE(entriesOf(dir.path()), QStringList{QStringLiteral("taken.pdf")});
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("taken.pdf"))).isDir());
        QCOMPARE(
            mark.lines().mid(4),
            QStringList{QStringLiteral("exportDiagnosticReport: the file could not be created: %1 (checking the name)")
                            .arg(systemErrorText(EISDIR))});
    }

    // The file-size limit stands in for a full disk where no small file system can be mounted:
    // writes past it fail part-way, as on a full disk.
    void fileSizeLimit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("limited.pdf"));
        {
            QFile earlier(path);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier report");
        }
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit limited = old;
        limited.rlim_cur = 40000;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool written =
            exportReport(path, numberedRows(1000, QLatin1Char('A')), numberedRows(1000, QLatin1Char('B')));
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!written);
        QVERIFY(hasLog(QStringLiteral("exportDiagnosticReport: the file could not be written whole")));
        QCOMPARE(entriesOf(dir.path()), QStringList{QStringLiteral("limited.pdf")});
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier report"));
    }

    void folderBecomesUnwritable()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("reports"));
        QVERIFY(QDir().mkdir(folder));
        if (geteuid() != 0) {
            checkUnwritableFolder(folder);
            return;
        }
        // Permissions do not bind root: the checks run in a child as nobody, in a folder of its own.
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            QSKIP("running as root, and no setpriv to run as another user");
        QCOMPARE(chown(QFile::encodeName(dir.path()).constData(), 65534, 65534), 0);
        QCOMPARE(chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TESSARAVOLT_UNWRITABLE_FOLDER"), folder);
        env.insert(QStringLiteral("TMPDIR"), dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(setpriv,
                    {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                     QCoreApplication::applicationFilePath(), QStringLiteral("folderBecomesUnwritableChild")});
        QVERIFY(child.waitForFinished(120000));
        const QString output = QString::fromUtf8(child.readAll());
        QVERIFY2(
            child.exitCode() == 0
                && output.contains(QStringLiteral("PASS   : TestPdfExporterReport::folderBecomesUnwritableChild()")),
            qPrintable(output));
    }

    void folderBecomesUnwritableChild()
    {
        const QString folder = qEnvironmentVariable("TESSARAVOLT_UNWRITABLE_FOLDER");
        if (folder.isEmpty())
            QSKIP("run by folderBecomesUnwritable");
        checkUnwritableFolder(folder);
    }

    // A real small file system, mounted in a private mount namespace where the system allows it.
    void smallFileSystem()
    {
        const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
        if (unshare.isEmpty())
            QSKIP("no unshare");
        QTemporaryDir dir;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TESSARAVOLT_SMALL_FS"), dir.path());
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(
            unshare,
            {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
             QStringLiteral("mount -t tmpfs -o size=256k tmpfs \"$1\" || exit 77; exec \"$2\" smallFileSystemChild"),
             QStringLiteral("sh"), dir.path(), QCoreApplication::applicationFilePath()});
        QVERIFY(child.waitForFinished(120000));
        const QString output = QString::fromUtf8(child.readAll());
        if (child.exitCode() == 77 || output.contains(QStringLiteral("unshare: ")))
            QSKIP(qPrintable(QStringLiteral("no private mount here: ") + output.left(200)));
        QVERIFY2(child.exitCode() == 0
                     && output.contains(QStringLiteral("PASS   : TestPdfExporterReport::smallFileSystemChild()")),
                 qPrintable(output));
        QVERIFY(entriesOf(dir.path()).isEmpty());
    }

    // Runs inside the private mount of smallFileSystem: a 256 KiB file system of its own.
    void smallFileSystemChild()
    {
        const QString folder = qEnvironmentVariable("TESSARAVOLT_SMALL_FS");
        if (folder.isEmpty())
            QSKIP("run by smallFileSystem");
        const QString path = folder + QStringLiteral("/report.pdf");

        // Full: the report does not fit, and the one already there stays as it was.
        QVERIFY(exportReport(path, {}, {}));
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        const QByteArray earlierBytes = earlier.readAll();
        earlier.close();
        QVERIFY(!exportReport(path, numberedRows(3000, QLatin1Char('A')), numberedRows(3000, QLatin1Char('B'))));
        QCOMPARE(entriesOf(folder), QStringList{QStringLiteral("report.pdf")});
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), earlierBytes);
        earlier.close();
        QVERIFY(QFile::remove(path));

        // The folder became read-only before the export.
        QCOMPARE(mount(nullptr, folder.toLocal8Bit().constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
        QVERIFY(!exportReport(path, numberedRows(10, QLatin1Char('A')), {}));
        QVERIFY(entriesOf(folder).isEmpty());
        QCOMPARE(mount(nullptr, folder.toLocal8Bit().constData(), nullptr, MS_REMOUNT, nullptr), 0);

        umount(folder.toLocal8Bit().constData());
    }
};

QTEST_MAIN(TestPdfExporterReport)
#include "tst_pdf_exporter_report.moc"
