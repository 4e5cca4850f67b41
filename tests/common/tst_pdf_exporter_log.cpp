#include "common/logger_manager.h"
#include "common/pdf_exporter.h"

#include <QFile>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <iostream>

using tessaravolt::common::LoggerManager;
using tessaravolt::common::PdfExporter;

class TestPdfExporterLog : public QObject
{
    Q_OBJECT

private slots:
    void exportLog_data()
    {
        QTest::addColumn<bool>("asUrl");
        QTest::newRow("path") << false;
        QTest::newRow("file url") << true;
    }

    void exportLog()
    {
        QFETCH(bool, asUrl);
        LoggerManager::instance() << "hello export" << std::endl;
        QTemporaryDir dir;
        const QString path = dir.filePath("with space/app log.txt");
        const QString argument = asUrl ? QUrl::fromLocalFile(path).toString() : path;
        QVERIFY(PdfExporter::instance()->exportLog(argument));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().endsWith("  hello export\n"));
        QCOMPARE(LoggerManager::instance().entries().size(), 0);
    }

    void emptyTextLeavesTheLog()
    {
        LoggerManager::instance() << "stays" << std::endl;
        QVERIFY(!PdfExporter::instance()->exportLog(QString()));
        QVERIFY(!PdfExporter::instance()->exportLog(QStringLiteral("file:")));
        QCOMPARE(LoggerManager::instance().entries().size(), 1);
    }

    void engineOwnedSingletonIsNeverStale()
    {
        for (int i = 0; i < 3; ++i) {
            QQmlEngine engine;
            PdfExporter* exporter = PdfExporter::create(&engine, &engine);
            QCOMPARE(PdfExporter::instance(), exporter);
            delete exporter; // as the engine does when it is destroyed
            QVERIFY(PdfExporter::instance() != nullptr);
            QVERIFY(!PdfExporter::instance()->exportLog(QString()));
        }
    }
};

QTEST_MAIN(TestPdfExporterLog)
#include "tst_pdf_exporter_log.moc"
