#include "common/i18n.h"
#include "common/logger_manager.h"
#include "common/safe_file_writer.h"
#include "support/main_window.h"
#include "support/quick_frames.h"
#include "support/quick_items.h"
#include "support/screenshots.h"
#include "support/small_file_system.h"
#include "transport/hid_auto_connect.h"
#include "transport/hid_service_api.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>
#include <QUrl>
#include <QtQml/qqmlextensionplugin.h>

#include <cerrno>
#include <memory>
#include <optional>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using tessaravolt::common::I18n;
using tessaravolt::common::LoggerManager;
using tessaravolt::transport::HidAutoConnect;
using tessaravolt::transport::HidServiceApi;

namespace {

// The window with the calls these tests make into it.
struct MainWindow : tessaravolt::test::LoadedMain
{
    QVariant call(const char* function, QVariantList args = {}) const
    {
        QVariant result;
        QGenericArgument a[4];
        QList<QVariant> held = args;
        for (int i = 0; i < held.size(); ++i)
            a[i] = Q_ARG(QVariant, held[i]);
        const bool ok =
            QMetaObject::invokeMethod(window, function, Q_RETURN_ARG(QVariant, result), a[0], a[1], a[2], a[3]);
        if (!ok)
            qWarning("cannot call %s", function);
        return result;
    }

    // A point of the design surface in window coordinates.
    QPoint toWindow(QPointF design) const { return item("designSurface")->mapToScene(design).toPoint(); }
};

MainWindow loadMain(std::optional<QSize> size)
{
    return MainWindow{tessaravolt::test::loadMainWindow(size)};
}

void setEnglish(bool english)
{
    if (I18n::instance()->isEn() != english)
        I18n::instance()->toggleLanguage();
}

QDir screenshotDir()
{
    return tessaravolt::test::screenshotDir(QStringLiteral("shell-screenshots"));
}

bool near(QRgb pixel, QRgb expected, int tolerance = 6)
{
    return qAbs(qRed(pixel) - qRed(expected)) <= tolerance && qAbs(qGreen(pixel) - qGreen(expected)) <= tolerance
        && qAbs(qBlue(pixel) - qBlue(expected)) <= tolerance;
}

// Pixels of a window rectangle that are clearly brighter than the background: drawn text or artwork.
int litPixels(const QImage& image, QRect area)
{
    int lit = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) > 150)
                ++lit;
    return lit;
}

// True when the font draws every character of the text with a real glyph (no .notdef box).
bool hasAllGlyphs(const QFont& font, const QString& text)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.isEmpty())
        return false;
    for (const QGlyphRun& run : runs)
        for (quint32 glyph : run.glyphIndexes())
            if (glyph == 0)
                return false;
    return true;
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

void clickItem(QQuickWindow* window, QQuickItem* item)
{
    QTest::mouseClick(window, Qt::LeftButton, {},
                      item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
}

// An item of a popup's content by its object name.
QQuickItem* inPopup(QObject* popup, const char* name)
{
    return tessaravolt::test::findNamed(qvariant_cast<QQuickItem*>(popup->property("contentItem")),
                                        QString::fromLatin1(name));
}

// The failure message in both languages, pictured, and closed with OK.
void checkSaveFailedMessage(QQuickWindow* window, QObject* message, const QString& picture)
{
    QTRY_VERIFY(message->property("visible").toBool());
    QQuickItem* title = inPopup(message, "saveFailedTitle");
    QQuickItem* reason = inPopup(message, "saveFailedReason");
    QQuickItem* ok = inPopup(message, "saveFailedOk");
    QVERIFY(title && reason && ok);
    for (const bool english : {true, false}) {
        setEnglish(english);
        QCOMPARE(title->property("text").toString(),
                 english ? QStringLiteral("The file could not be saved.") : QStringLiteral("文件无法保存。"));
        QCOMPARE(reason->property("text").toString(), QStringLiteral("No space left on device"));
        QVERIFY(reason->isVisible());
        QVERIFY(reason->y() >= title->y() + title->height());
        QVERIFY(hasAllGlyphs(title->property("font").value<QFont>(), title->property("text").toString()));
        QVERIFY(tessaravolt::test::waitForFrame(window));
        QVERIFY(window->grabWindow().save(
            screenshotDir().filePath(picture + (english ? QStringLiteral("-en.png") : QStringLiteral("-zh.png")))));
    }
    setEnglish(true);
    clickItem(window, ok);
    QTRY_VERIFY(!message->property("visible").toBool());
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    // One window for the checks of pure functions; destroyed before the application object.
    MainWindow m_shared;
    const MainWindow& shared()
    {
        if (!m_shared.window)
            m_shared = loadMain(QSize(1008, 756));
        return m_shared;
    }

private slots:
    void initTestCase() { setEnglish(true); }
    void cleanupTestCase() { m_shared = MainWindow(); }

    void scaleAndCentring_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QPoint>("origin");
        QTest::newRow("full HD at 70 %") << QSize(1008, 756) << 0.7 << QPoint(0, 0);
        QTest::newRow("narrower than 4:3") << QSize(1000, 756) << 1000.0 / 1440 << QPoint(0, 3);
        QTest::newRow("design size") << QSize(1440, 1080) << 1.0 << QPoint(0, 0);
        QTest::newRow("wide") << QSize(1200, 700) << 700.0 / 1080 << QPoint(133, 0);
        QTest::newRow("square") << QSize(800, 800) << 800.0 / 1440 << QPoint(0, 100);
        QTest::newRow("tiny") << QSize(1, 1) << 1.0 / 1440 << QPoint(0, 0);
    }

    void scaleAndCentring()
    {
        QFETCH(QSize, size);
        QFETCH(double, scale);
        QFETCH(QPoint, origin);
        const MainWindow main = loadMain(size);
        QVERIFY(main.window);
        QCOMPARE(main.window->size(), size);
        QCOMPARE(main.window->minimumSize(), size);
        QCOMPARE(main.window->maximumSize(), size);
        QQuickItem* surface = main.item("designSurface");
        QCOMPARE(main.window->property("designScale").toDouble(), scale);
        QCOMPARE(surface->scale(), scale);
        QCOMPARE(QPoint(qRound(surface->x()), qRound(surface->y())), origin);
        QCOMPARE(surface->size(), QSizeF(1440, 1080));
    }

    void withoutRootContextSizeTheWindowHasTheDesignSize()
    {
        const MainWindow main = loadMain(std::nullopt);
        QVERIFY(main.window);
        QCOMPARE(main.window->size(), QSize(1440, 1080));
        QCOMPARE(main.window->title(), QStringLiteral("Tessaravolt"));
        QVERIFY(main.window->flags() & Qt::FramelessWindowHint);
    }

    void pageChoice_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("shown");
        for (int page : {1, 2, 3, 4, 0})
            QTest::addRow("not connected, page %d", page) << false << page << "startup";
        QTest::newRow("power") << true << 1 << "power";
        QTest::newRow("health") << true << 2 << "health";
        QTest::newRow("settings") << true << 3 << "settings";
        QTest::newRow("diagnostics") << true << 4 << "diagnostics";
        QTest::newRow("page 0") << true << 0 << "diagnostics";
        QTest::newRow("page 5") << true << 5 << "diagnostics";
        QTest::newRow("page -1") << true << -1 << "diagnostics";
    }

    void pageChoice()
    {
        QFETCH(bool, connected);
        QFETCH(int, page);
        QFETCH(QString, shown);
        const MainWindow& main = shared();
        QCOMPARE(main.call("pageNameFor", {connected, page}).toString(), shown);
    }

    void idleWindow()
    {
        const MainWindow main = loadMain(std::nullopt);
        QQuickItem* loader = main.item("pageLoader");
        QQuickItem* page = qvariant_cast<QQuickItem*>(loader->property("item"));
        QVERIFY(page);
        QVERIFY(QString::fromLatin1(page->metaObject()->className()).startsWith(QLatin1String("StartupPage")));
        QCOMPARE(loader->position(), QPointF(0, 120));
        QCOMPARE(page->size(), QSizeF(1440, 960));
        QVERIFY(!main.item("sidebar")->isVisible());
        QQuickItem* header = main.item("headerText");
        QCOMPARE(header->property("text").toString(), QStringLiteral("Be Ready for Today."));
        QCOMPARE(header->x() + header->width(), 1440.0 - 72);
        QCOMPARE(header->property("font").value<QFont>().weight(), QFont::Normal);
        QCOMPARE(main.item("windowControls")->position(), QPointF(1349, 10));
        // The choice does not change while not connected, so the start page stays as it is.
        main.window->setProperty("currentPage", 4);
        QCOMPARE(qvariant_cast<QQuickItem*>(loader->property("item")), page);
    }

    void dragBand_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("visibility");
        QTest::addColumn<bool>("moves");
        QTest::newRow("left of the controls") << 1332.5 << int(QWindow::Windowed) << true;
        QTest::newRow("at the limit") << 1333.0 << int(QWindow::Windowed) << false;
        QTest::newRow("maximized") << 10.0 << int(QWindow::Maximized) << false;
        QTest::newRow("full screen") << 10.0 << int(QWindow::FullScreen) << false;
    }

    void dragBand()
    {
        QFETCH(double, x);
        QFETCH(int, visibility);
        QFETCH(bool, moves);
        const MainWindow& main = shared();
        const double controlsX = main.item("windowControls")->x();
        QCOMPARE(main.call("mayStartMove", {x, controlsX, visibility}).toBool(), moves);
    }

    void displaySettingsAreCachedAndClearedOnLoss()
    {
        const MainWindow main = loadMain(QSize(1008, 756));
        HidServiceApi* service = HidServiceApi::instance();
        emit service->brightness(3);
        emit service->screenTimeout(30);
        emit service->appTitle(QStringLiteral("PB-01"));
        QCOMPARE(main.window->property("cachedBrightness").toInt(), 3);
        QCOMPARE(main.window->property("cachedScreenTimeout").toInt(), 30);
        QCOMPARE(main.window->property("appTitle").toString(), QStringLiteral("PB-01"));
        // Not connected: the idle text, whatever the title.
        QCOMPARE(main.window->property("realTitle").toString(), QStringLiteral("Be Ready for Today."));
        // A loss, as the auto-connect object announces it.
        auto* autoConnect =
            main.engine->singletonInstance<HidAutoConnect*>(qmlTypeId("Tessaravolt", 1, 0, "HidAutoConnect"));
        QVERIFY(autoConnect && !autoConnect->connected());
        emit autoConnect->connectedChanged();
        QCOMPARE(main.window->property("cachedBrightness").toInt(), 0);
        QCOMPARE(main.window->property("cachedScreenTimeout").toInt(), 0);
        QCOMPARE(main.window->property("appTitle").toString(), QStringLiteral("PB-01"));
    }

    void connectionAsksForTitleAndDisplaySettings()
    {
        const MainWindow main = loadMain(QSize(1008, 756));
        const auto before = LoggerManager::instance().entries().size();
        main.call("applyConnection", {true});
        const auto entries = LoggerManager::instance().entries().mid(before);
        qsizetype title = -1, settings = -1;
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (title < 0 && entries[i].message.contains(QLatin1String("requestAppTitle")))
                title = i;
            if (settings < 0 && entries[i].message.contains(QLatin1String("requestDeviceSettings")))
                settings = i;
        }
        QVERIFY2(title >= 0, "no title request");
        QVERIFY2(settings > title, "no display-settings request after the title request");
    }

    // The proposed folder is one the dialog can show: Documents when it exists, else the home folder.
    void exportGesture_data()
    {
        QTest::addColumn<bool>("withDocuments");
        QTest::newRow("Documents exists") << true;
        QTest::newRow("no Documents folder") << false;
    }

    void exportGesture()
    {
        QFETCH(bool, withDocuments);
        QTemporaryDir home;
        QVERIFY(home.isValid());
        if (withDocuments)
            QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Documents")));
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        const auto restoreHome = qScopeGuard([&] { qputenv("HOME", savedHome); });

        const MainWindow main = loadMain(QSize(1008, 756));
        QObject* dialog = main.object("logSaveDialog");
        QQuickItem* pressArea = main.item("titlePressArea");
        QVERIFY(dialog && pressArea);
        const QPoint title = main.toWindow(QPointF(128, 71));
        QCOMPARE(dialog->property("title").toString(), QStringLiteral("Export Log"));
        QCOMPARE(dialog->property("acceptLabel").toString(), QStringLiteral("Save"));
        QCOMPARE(dialog->property("nameFilters").toStringList(),
                 QStringList({QStringLiteral("Log files (*.log *.txt)"), QStringLiteral("All files (*)")}));
        QCOMPARE(dialog->property("defaultSuffix").toString(), QString());
        // The program asks before replacing: a platform dialog (FileDialog.DontConfirmOverwrite) must not.
        QVERIFY(dialog->property("options").toInt() & 0x4);

        // Presses away from the diagnostics page are not counted.
        for (int i = 0; i < 12; ++i)
            QTest::mouseClick(main.window, Qt::LeftButton, {}, title);
        QCOMPARE(pressArea->property("exportLogClickCount").toInt(), 0);
        QVERIFY(!dialog->property("visible").toBool());

        main.window->setProperty("currentPage", 4);
        for (int i = 0; i < 9; ++i)
            QTest::mouseClick(main.window, Qt::LeftButton, {}, title);
        QCOMPARE(pressArea->property("exportLogClickCount").toInt(), 9);
        main.window->setProperty("currentPage", 2);
        main.window->setProperty("currentPage", 4);
        QVERIFY(!dialog->property("visible").toBool());
        QTest::mouseClick(main.window, Qt::LeftButton, {}, title);
        QCOMPARE(pressArea->property("exportLogClickCount").toInt(), 0);
        QTRY_VERIFY(dialog->property("visible").toBool());

        const QString proposed = dialog->property("currentFile").toUrl().toString();
        const QString folder =
            QUrl::fromLocalFile(withDocuments ? home.filePath(QStringLiteral("Documents")) : home.path()).toString();
        QVERIFY2(QRegularExpression(
                     QStringLiteral("^%1/app_log_\\d{4}(_\\d\\d){5}_1_0_8$").arg(QRegularExpression::escape(folder)))
                     .match(proposed)
                     .hasMatch(),
                 qPrintable(proposed));
        QMetaObject::invokeMethod(dialog, "close");

        // Accepting hands the chosen file to the log export.
        QTemporaryDir chosenFolder;
        const QString path = chosenFolder.filePath(QStringLiteral("chosen.log"));
        const QString url = QUrl::fromLocalFile(path).toString();
        LoggerManager::instance() << "exported by the gesture" << std::endl;
        QVERIFY(QMetaObject::invokeMethod(dialog, "saveChosenLog", Q_ARG(QVariant, url)));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("exported by the gesture"));
        file.close();

        // An existing file is replaced only after the user says so.
        QObject* confirm = main.object("logReplaceConfirm");
        QVERIFY(confirm);
        LoggerManager::instance() << "second export" << std::endl;
        QVERIFY(QMetaObject::invokeMethod(dialog, "saveChosenLog", Q_ARG(QVariant, url)));
        QTRY_VERIFY(confirm->property("visible").toBool());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("second export"));
        file.close();
        QMetaObject::invokeMethod(confirm, "close");
        QTRY_VERIFY(!confirm->property("visible").toBool());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("second export"));
        file.close();
        QVERIFY(QMetaObject::invokeMethod(dialog, "saveChosenLog", Q_ARG(QVariant, url)));
        QTRY_VERIFY(confirm->property("visible").toBool());
        QVERIFY(QMetaObject::invokeMethod(confirm, "confirm"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("second export"));
    }

    // Saves to a disk with 4 KiB free, as a user makes them, each over an earlier file: the
    // replace question, Replace, then the message with the system's reason; the earlier file stays
    // as it was and no other file is left.
    void saveOnAFullDisk()
    {
        QTemporaryDir dir;
        const auto run = tessaravolt::test::runInSmallFileSystem(dir.path(), QStringLiteral("256k"),
                                                                 QStringLiteral("saveOnAFullDiskChild"),
                                                                 QStringLiteral("TestMainWindow"));
        if (!run.ran)
            QSKIP(qPrintable(QStringLiteral("no private mount here: ") + run.output.left(200)));
        QVERIFY2(run.passed, qPrintable(run.output));
    }

    void saveOnAFullDiskChild()
    {
        const QString folder = qEnvironmentVariable(tessaravolt::test::kSmallFileSystemVariable);
        if (folder.isEmpty())
            QSKIP("run by saveOnAFullDisk");
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(folder));
        const auto restoreHome = qScopeGuard([&] { qputenv("HOME", savedHome); });
        QVERIFY(QDir(folder).mkdir(QStringLiteral("Documents")));
        const QString documents = folder + QStringLiteral("/Documents");
        const QByteArray old = QByteArray("earlier file\n").repeated(370);
        for (const QString& name : {QStringLiteral("old.pdf"), QStringLiteral("old.log")}) {
            QFile file(documents + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(old), old.size());
        }
        for (int i = 0; i < 120; ++i)
            LoggerManager::instance() << "a short log of about ten KiB, line " << i << std::endl;
        QVERIFY(tessaravolt::test::fillLeaving(folder, QStringLiteral("filler"), 4096));
        const QStringList before = entriesOf(documents);

        const MainWindow main = loadMain(std::nullopt);
        QVERIFY(main.window);
        main.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.window));

        // The log, chosen in its dialog.
        QObject* logDialog = main.object("logSaveDialog");
        QObject* logConfirm = main.object("logReplaceConfirm");
        QVERIFY(logDialog && logConfirm);
        QVERIFY(QMetaObject::invokeMethod(logDialog, "saveChosenLog",
                                          Q_ARG(QVariant, QUrl::fromLocalFile(documents + "/old.log").toString())));
        QTRY_VERIFY(logConfirm->property("visible").toBool());
        clickItem(main.window, inPopup(logConfirm, "replaceAccept"));
        checkSaveFailedMessage(main.window, main.object("logSaveFailed"), QStringLiteral("save-failed-log"));
        QCOMPARE(contentOf(documents + "/old.log"), old);
        QCOMPARE(entriesOf(documents), before);

        // The report: Generate Report, the name typed as "old", Save, Replace.
        QQmlComponent component(main.engine.get());
        component.setData("import QtQuick\nimport Tessaravolt\n"
                          "Window { width: 1280; height: 960; visible: true\n"
                          "    DiagnosticsPage { objectName: \"page\"; anchors.fill: parent } }\n",
                          QUrl(QStringLiteral("qrc:/save_test/PageWindow.qml")));
        std::unique_ptr<QObject> pageWindowObject(component.create());
        QVERIFY2(pageWindowObject, qPrintable(component.errorString()));
        auto* pageWindow = qobject_cast<QQuickWindow*>(pageWindowObject.get());
        QVERIFY(QTest::qWaitForWindowExposed(pageWindow));
        QQuickItem* page = pageWindow->findChild<QQuickItem*>(QStringLiteral("page"));
        QVERIFY(page);
        QObject* reportDialog = page->findChild<QObject*>(QStringLiteral("pdfSaveDialog"));
        QVERIFY(reportDialog);
        clickItem(pageWindow, page->findChild<QQuickItem*>(QStringLiteral("generateReportButton")));
        QTRY_VERIFY(reportDialog->property("visible").toBool());
        QQuickItem* field = nullptr;
        for (QQuickItem* i : pageWindow->findChildren<QQuickItem*>(QStringLiteral("fileNameTextField")))
            if (i->isVisible())
                field = i;
        QVERIFY(field);
        clickItem(pageWindow, field);
        QTest::keyClick(pageWindow, Qt::Key_A, Qt::ControlModifier);
        for (const char c : {'o', 'l', 'd'})
            QTest::keyClick(pageWindow, c);
        QQuickItem* save = nullptr;
        for (QQuickItem* i : pageWindow->findChildren<QQuickItem*>())
            if (i->isVisible() && i->property("text").toString() == QLatin1String("Save")
                && i->inherits("QQuickAbstractButton"))
                save = i;
        QVERIFY(save);
        clickItem(pageWindow, save);
        QTRY_VERIFY(!reportDialog->property("visible").toBool());
        QObject* reportConfirm = page->findChild<QObject*>(QStringLiteral("reportReplaceConfirm"));
        QVERIFY(reportConfirm);
        QTRY_VERIFY(reportConfirm->property("visible").toBool());
        clickItem(pageWindow, inPopup(reportConfirm, "replaceAccept"));
        checkSaveFailedMessage(pageWindow, page->findChild<QObject*>(QStringLiteral("reportSaveFailed")),
                               QStringLiteral("save-failed-report"));
        QCOMPARE(contentOf(documents + "/old.pdf"), old);
        QCOMPARE(entriesOf(documents), before);
    }

    void screenshotIdleEnglishAndChinese()
    {
        setEnglish(true);
        const MainWindow main = loadMain(std::nullopt);
        QVERIFY(main.window);
        main.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.window));
        // Once unfolded, the rings are held at their starting angle so that their pixels can be checked.
        QQuickItem* canvas = main.item("coilCanvas");
        QVERIFY(canvas);
        QTRY_COMPARE_WITH_TIMEOUT(canvas->opacity(), 1.0, 5000);
        int stopped = 0;
        for (QObject* animation : canvas->parent()->children())
            if (animation->objectName().endsWith(QLatin1String("Animation")))
                stopped += QMetaObject::invokeMethod(animation, "stop");
        QCOMPARE(stopped, 3);
        canvas->setProperty("spanAngle", 0);
        canvas->setProperty("offset", 0);
        for (const bool english : {true, false}) {
            setEnglish(english);
            const QImage image = main.window->grabWindow();
            QVERIFY(image.save(
                screenshotDir().filePath(english ? QStringLiteral("idle-en.png") : QStringLiteral("idle-zh.png"))));
            QCOMPARE(image.size(), QSize(1440, 1080));
            QVERIFY(near(image.pixel(700, 20), qRgb(0x1E, 0x1E, 0x1E)));
            QVERIFY(near(image.pixel(20, 1060), qRgb(0x1E, 0x1E, 0x1E)));
            // Rings centred in the page area (top 120, 960 high), 20 up.
            QVERIFY(near(image.pixel(720, 580 + 89), qRgb(0x00, 0x96, 0x47), 40));
            QVERIFY(near(image.pixel(720, 580 - 89), qRgb(0x1E, 0x1E, 0x1E)));
            QVERIFY(near(image.pixel(720, 580 - 77), qRgb(0x00, 0xC8, 0x39), 40));
            QVERIFY(near(image.pixel(720, 580), qRgb(0x1E, 0x1E, 0x1E)));
            QVERIFY2(litPixels(image, QRect(60, 52, 136, 38)) > 300, "no title wordmark");
            QVERIFY2(litPixels(image, QRect(1100, 60, 268, 40)) > 150, "no idle header");
            QVERIFY2(litPixels(image, QRect(300, 700, 840, 40)) > 300, "no prompt");

            QQuickItem* loader = main.item("pageLoader");
            QQuickItem* page = qvariant_cast<QQuickItem*>(loader->property("item"));
            QQuickItem* prompt = page->findChild<QQuickItem*>(QStringLiteral("prompt"));
            const QString text = prompt->property("text").toString();
            QCOMPARE(text,
                     english ? QStringLiteral("Please connect device via USB-C.")
                             : QStringLiteral("请将设备通过USB-C插入进行连接"));
            QVERIFY2(hasAllGlyphs(prompt->property("font").value<QFont>(), text), "a character has no glyph");
            // The idle header is not translated.
            QCOMPARE(main.item("headerText")->property("text").toString(), QStringLiteral("Be Ready for Today."));
        }
        setEnglish(true);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
