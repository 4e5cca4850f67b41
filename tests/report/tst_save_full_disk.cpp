// Both exports on a disk with a few KiB free, on a small file system of the test's own: a file
// that fits the file device's 16 KiB write buffer (whose failure shows only when it is flushed)
// and one that does not, to a new name and over an earlier file.
#include "common/logger_manager.h"
#include "common/safe_file_writer.h"
#include "report/pdf_exporter.h"
#include "support/small_file_system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cerrno>

using tessaravolt::common::LoggerManager;
using tessaravolt::common::PdfExporter;

namespace {

constexpr qint64 kBufferSize = 16 * 1024;
constexpr qint64 kLeftFree = 4096;
const QString kFiller = QStringLiteral("filler");

QVariantList rows(int count)
{
    QVariantList list;
    for (int i = 0; i < count; ++i)
        list << QVariantMap{{QStringLiteral("date"), QStringLiteral("2026/03/04")},
                            {QStringLiteral("time"), QStringLiteral("12:34 UTC")},
                            {QStringLiteral("event"), QStringLiteral("Output Charging Ended")},
                            {QStringLiteral("value"), QString::number(10000 + i)}};
    return list;
}

bool exportReport(const QString& path, int rowCount)
{
    return PdfExporter::instance()->exportDiagnosticReport(path, QStringLiteral("TV-25K140"),
                                                           QStringLiteral("TV25K140-0001234"), QStringLiteral("HW 1.2"),
                                                           QStringLiteral("FW 1.0.8"), rows(rowCount), rows(rowCount));
}

// A log of about `bytes` of text, and nothing else in it.
void fillLog(qint64 bytes)
{
    LoggerManager& log = LoggerManager::instance();
    QTemporaryDir scratch;
    log.exportLog(scratch.filePath(QStringLiteral("emptied.log")));
    while (log.totalBytes() < bytes)
        log.addLog(QStringLiteral("FE 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15"));
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSaveFullDisk : public QObject
{
    Q_OBJECT

private slots:
    void fullDisk()
    {
        QTemporaryDir dir;
        const auto run = tessaravolt::test::runInSmallFileSystem(
            dir.path(), QStringLiteral("256k"), QStringLiteral("fullDiskChild"), QStringLiteral("TestSaveFullDisk"));
        if (!run.ran)
            QSKIP(qPrintable(QStringLiteral("no private mount here: ") + run.output.left(200)));
        QVERIFY2(run.passed, qPrintable(run.output));
        QVERIFY(entriesOf(dir.path()).isEmpty());
    }

    void fullDiskChild_data()
    {
        QTest::addColumn<bool>("report");
        QTest::addColumn<bool>("large");
        QTest::addColumn<bool>("replacing");
        for (const bool report : {true, false})
            for (const bool large : {false, true})
                for (const bool replacing : {false, true})
                    QTest::addRow("%s, %s 16 KiB, %s", report ? "report" : "log", large ? "over" : "under",
                                  replacing ? "replacing" : "new name")
                        << report << large << replacing;
    }

    // Runs inside the small file system: false, the system's reason, an earlier file byte for byte,
    // no other file, and the log keeps what it held.
    void fullDiskChild()
    {
        QFETCH(bool, report);
        QFETCH(bool, large);
        QFETCH(bool, replacing);
        const QString folder = qEnvironmentVariable(tessaravolt::test::kSmallFileSystemVariable);
        if (folder.isEmpty())
            QSKIP("run by fullDisk");
        for (const QString& name : entriesOf(folder))
            QVERIFY(QFile::remove(folder + QLatin1Char('/') + name));

        // The sizes are those asked for: measured with room to spare.
        const int rowCount = large ? 120 : 0;
        const QString probe = folder + (report ? QStringLiteral("/probe.pdf") : QStringLiteral("/probe.log"));
        if (report) {
            QVERIFY(exportReport(probe, rowCount));
        } else {
            fillLog(large ? 40000 : 10000);
            QVERIFY(PdfExporter::instance()->exportLog(probe));
            fillLog(large ? 40000 : 10000);
        }
        const qint64 size = QFileInfo(probe).size();
        QVERIFY2(large ? size > kBufferSize : size > kLeftFree && size < kBufferSize,
                 qPrintable(QString::number(size)));
        QVERIFY(QFile::remove(probe));

        const QString name = report ? QStringLiteral("old.pdf") : QStringLiteral("old.log");
        const QString path = folder + QLatin1Char('/') + name;
        const QByteArray old = QByteArray("earlier file\n").repeated(370); // 4,810 bytes
        if (replacing) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(old), old.size());
        }
        QVERIFY(tessaravolt::test::fillLeaving(folder, kFiller, kLeftFree));
        const auto logBefore = LoggerManager::instance().entries();

        // The report is given the name as typed, without its suffix.
        const bool written = report ? exportReport(folder + QStringLiteral("/old"), rowCount)
                                    : PdfExporter::instance()->exportLog(QUrl::fromLocalFile(path).toString());
        QVERIFY(!written);
        QCOMPARE(PdfExporter::instance()->lastError(), tessaravolt::common::systemErrorText(ENOSPC));
        QCOMPARE(entriesOf(folder), replacing ? QStringList({kFiller, name}) : QStringList{kFiller});
        if (replacing)
            QCOMPARE(contentOf(path), old);
        const auto logAfter = LoggerManager::instance().entries();
        QVERIFY(logAfter.size() > logBefore.size());
        for (qsizetype i = 0; i < logBefore.size(); ++i)
            QCOMPARE(logAfter.at(i).message, logBefore.at(i).message);
        const QString logged = logAfter.last().message;
        QVERIFY2(logged.startsWith(report
                                       ? QStringLiteral("exportDiagnosticReport: the file could not be written whole: ")
                                       : QStringLiteral("exportLog: the file could not be written whole: "))
                     && logged.contains(tessaravolt::common::systemErrorText(ENOSPC)),
                 qPrintable(logged));

        // Room again: the same export succeeds.
        QVERIFY(QFile::remove(folder + QLatin1Char('/') + kFiller));
        QVERIFY(report ? exportReport(folder + QStringLiteral("/old"), rowCount)
                       : PdfExporter::instance()->exportLog(path));
        QVERIFY(PdfExporter::instance()->lastError().isEmpty());
        QCOMPARE(entriesOf(folder), QStringList{name});
        QVERIFY(contentOf(path) != old);
        QVERIFY(QFile::remove(path));
    }
};

QTEST_MAIN(TestSaveFullDisk)
#include "tst_save_full_disk.moc"
