#include "common/logger_manager.h"
#include "common/safe_file_writer.h"
#include "report/pdf_exporter.h"
#include "support/log_mark.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtQml/qqmlextensionplugin.h>

#include <cerrno>
#include <iostream>
#include <memory>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

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
        QVERIFY(QDir(dir.path()).mkdir("with space"));
        const QString path = dir.filePath("with space/app log.txt");
        const QString argument = asUrl ? QUrl::fromLocalFile(path).toString() : path;
        QVERIFY(PdfExporter::instance()->exportLog(argument));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().endsWith("  hello export\n"));
        QCOMPARE(LoggerManager::instance().entries().size(), 0);
        QVERIFY(PdfExporter::instance()->lastError().isEmpty());
    }

    // A failed export says why, for the window's message; the next good one clears it.
    void failureReason()
    {
        LoggerManager::instance() << "stays" << std::endl;
        QTemporaryDir dir;
        QSignalSpy changed(PdfExporter::instance(), &PdfExporter::lastErrorChanged);
        QVERIFY(!PdfExporter::instance()->exportLog(QUrl::fromLocalFile(dir.filePath("missing/app.log")).toString()));
        QCOMPARE(PdfExporter::instance()->lastError(), tessaravolt::common::systemErrorText(ENOENT));
        QCOMPARE(changed.count(), 1);
        QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
        QCOMPARE(LoggerManager::instance().entries().first().message, QStringLiteral("stays"));
        QVERIFY(PdfExporter::instance()->exportLog(dir.filePath("app.log")));
        QVERIFY(PdfExporter::instance()->lastError().isEmpty());
        QCOMPARE(changed.count(), 2);
    }

    // No name keeps the log whole, and adds the failure to it.
    void emptyTextLeavesTheLog()
    {
        const tessaravolt::test::LogMark mark;
        LoggerManager::instance() << "stays" << std::endl;
        QVERIFY(!PdfExporter::instance()->exportLog(QString()));
        QVERIFY(!PdfExporter::instance()->exportLog(QStringLiteral("file:")));
        const QString failure = QStringLiteral("exportLog: the file could not be created: %1 (naming the file)")
                                    .arg(tessaravolt::common::systemErrorText(ENOENT));
        QCOMPARE(mark.lines(), QStringList({QStringLiteral("stays"), failure, failure}));
        QCOMPARE(PdfExporter::instance()->lastError(), tessaravolt::common::systemErrorText(ENOENT));
    }

    // Engines come and go (each test engine, and the program's at shutdown); native callers must
    // never get the object a finished engine destroyed.
    void singletonAcrossEngineLifetimes()
    {
        const QByteArray snippet = "import QtQuick\nimport Tessaravolt\n"
                                   "Item { property bool refused: !PdfExporter.exportLog('') }\n";
        for (int round = 0; round < 3; ++round) {
            auto first = std::make_unique<QQmlEngine>();
            first->addImportPath(QStringLiteral("qrc:/qt/qml"));
            QQmlComponent component(first.get());
            component.setData(snippet, QUrl(QStringLiteral("qrc:/pdf_exporter_test/Snippet.qml")));
            std::unique_ptr<QObject> root(component.create());
            QVERIFY2(root, qPrintable(component.errorString()));
            QVERIFY(root->property("refused").toBool());
            QPointer<PdfExporter> used = PdfExporter::instance();
            QVERIFY(used);

            // A second engine at the same time shares the one object.
            QQmlEngine second;
            QCOMPARE(PdfExporter::create(&second, &second), used.data());

            root.reset();
            first.reset();
            PdfExporter* now = PdfExporter::instance();
            QVERIFY(now);
            QVERIFY(used.isNull() || now == used.data());
            QVERIFY(!now->exportLog(QString()));
        }
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
