// The shell against the simulated power bank: the connected state, the requests it makes, and a loss.
#include "sim/simulated_power_bank.h"
#include "support/simulated_device.h"

#include "common/i18n.h"
#include "support/main_window.h"
#include "transport/hid_bridge.h"

#include <QDir>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <chrono>
#include <memory>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using tessaravolt::common::I18n;
using tessaravolt::sim::SimulatedPowerBank;
using tessaravolt::test::kConnectTimeoutMs;
using tessaravolt::test::kMustShowMs;
using tessaravolt::test::supportedIdentity;

namespace {

const QString kTitle = QStringLiteral("PB-140 Demo");

using MainWindow = tessaravolt::test::LoadedMain;

MainWindow loadMain()
{
    return tessaravolt::test::loadMainWindow();
}

SimulatedPowerBank::Model titledModel()
{
    SimulatedPowerBank::Model model = SimulatedPowerBank::demoModel();
    model.setTwoPartText(0x11, kTitle);
    model.brightness = 70;
    model.screenTimeout = 30;
    return model;
}

bool near(QRgb pixel, QRgb expected, int tolerance = 4)
{
    return qAbs(qRed(pixel) - qRed(expected)) <= tolerance && qAbs(qGreen(pixel) - qGreen(expected)) <= tolerance
        && qAbs(qBlue(pixel) - qBlue(expected)) <= tolerance;
}

QString describe(QRgb pixel)
{
    return QColor(pixel).name();
}

} // namespace

// Notes the moments at which the window's connection state changes, on the clock the simulated
// power bank stamps its requests with.
class ConnectionClock : public QObject
{
    Q_OBJECT

public:
    explicit ConnectionClock(QObject* window)
        : m_window(window)
    {
        QQmlProperty(window, QStringLiteral("appConnected")).connectNotifySignal(this, SLOT(changed()));
    }
    QList<std::chrono::steady_clock::time_point> connectedAt;

public slots:
    void changed()
    {
        if (m_window->property("appConnected").toBool())
            connectedAt << std::chrono::steady_clock::now();
    }

private:
    QObject* m_window = nullptr;
};

class TestSimMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper");
        tessaravolt::test::useEnglish();
    }

    void connectionLossAndReconnection()
    {
        SimulatedPowerBank bank(titledModel(), supportedIdentity());
        const MainWindow main = loadMain();
        QVERIFY(main.window);
        ConnectionClock clock(main.window);
        QCOMPARE(main.pageType(), QStringLiteral("StartupPage"));

        QTRY_VERIFY_WITH_TIMEOUT(main.get("appConnected").toBool(), kConnectTimeoutMs);
        QCOMPARE(main.get("currentPage").toInt(), 1);
        QTRY_COMPARE(main.pageType(), QStringLiteral("PowerPage"));
        QVERIFY(main.item("sidebar")->isVisible());
        QCOMPARE(main.item("pageLoader")->x(), 160.0);

        // The window asks for the device title and the display settings.
        QVERIFY(bank.waitForRequest(0x10, 0x11));
        QVERIFY(bank.waitForRequest(0x10, 0x21));
        QVERIFY(bank.waitForRequest(0x12, 0x03));
        QTRY_COMPARE(main.get("appTitle").toString(), kTitle);
        QTRY_COMPARE(main.get("cachedBrightness").toInt(), 70);
        QTRY_COMPARE(main.get("cachedScreenTimeout").toInt(), 30);
        QQuickItem* header = main.item("headerText");
        QCOMPARE(header->property("text").toString(), kTitle);
        QCOMPARE(header->x() + header->width(), 1440.0 - 100);
        QCOMPARE(header->property("font").value<QFont>().weight(), 275);

        // The sidebar's poll: nothing in the first second, then one a second.
        QVERIFY(bank.waitForRequest(0x20, 0x04, 2, kMustShowMs));
        const auto polls = bank.requestsFor(0x20, 0x04);
        QVERIFY(!clock.connectedAt.isEmpty());
        const auto afterConnection = [&](const SimulatedPowerBank::Request& poll) {
            return qint64(
                std::chrono::duration_cast<std::chrono::milliseconds>(poll.at - clock.connectedAt.first()).count());
        };
        QVERIFY2(afterConnection(polls[0]) >= 990, qPrintable(QString::number(afterConnection(polls[0]))));
        // Writes can only come later than the requests (the link spaces them), never earlier.
        QVERIFY2(afterConnection(polls[1]) >= 1990, qPrintable(QString::number(afterConnection(polls[1]))));

        // An abnormal current event puts the dot on the health tab.
        bank.update([](SimulatedPowerBank::Model& m) {
            m.currentEvent.type = 1;
            m.currentEvent.info = 3;
        });
        QTRY_VERIFY_WITH_TIMEOUT(main.item("sidebar")->property("warnEvent").toBool(), kMustShowMs);

        // A window created while a power bank is connected asks at once: the title comes from the
        // service's cache, the display settings from the power bank.
        {
            const auto settingsAsked = bank.requestsFor(0x12, 0x03).size();
            main.engine->load(QUrl(QStringLiteral("qrc:/qt/qml/Tessaravolt/app/qml/Main.qml")));
            QCOMPARE(main.engine->rootObjects().size(), 2);
            std::unique_ptr<QObject> second(main.engine->rootObjects().last());
            QCOMPARE(second->property("appTitle").toString(), kTitle);
            QVERIFY(bank.waitForRequest(0x12, 0x03, int(settingsAsked) + 1));
            QTRY_COMPARE(second->property("cachedBrightness").toInt(), 70);
        }

        // The settings page starts from the cached values.
        main.window->setProperty("currentPage", 3);
        QCOMPARE(main.pageType(), QStringLiteral("SettingsPage"));
        QCOMPARE(main.page()->property("initialBrightness").toInt(), 70);
        QCOMPARE(main.page()->property("initialScreenTimeout").toInt(), 30);

        bank.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!main.get("appConnected").toBool(), kMustShowMs);
        QCOMPARE(main.pageType(), QStringLiteral("StartupPage"));
        QVERIFY(!main.item("sidebar")->isVisible());
        QCOMPARE(main.get("cachedBrightness").toInt(), 0);
        QCOMPARE(main.get("cachedScreenTimeout").toInt(), 0);
        QCOMPARE(main.get("currentPage").toInt(), 3);
        QCOMPARE(main.get("appTitle").toString(), kTitle);
        QCOMPARE(header->property("text").toString(), QStringLiteral("Be Ready for Today."));
        // The sidebar's current-event poll stops with the loss.
        QCOMPARE(main.object("currentEventTimer")->property("running").toBool(), false);

        // Back on the page chosen before, created anew; the dot keeps its state until an answer.
        bank.update([](SimulatedPowerBank::Model& m) {
            m.brightness = 55;
            m.currentEvent.type = 0;
        });
        QVERIFY(bank.plug());
        QTRY_VERIFY_WITH_TIMEOUT(main.get("appConnected").toBool(), kConnectTimeoutMs);
        QCOMPARE(main.pageType(), QStringLiteral("SettingsPage"));
        QVERIFY(main.item("sidebar")->property("warnEvent").toBool());
        QTRY_COMPARE(main.get("cachedBrightness").toInt(), 55);
        QTRY_VERIFY_WITH_TIMEOUT(!main.item("sidebar")->property("warnEvent").toBool(), kMustShowMs);
    }

    void screenshotConnectedShell()
    {
        SimulatedPowerBank bank(titledModel(), supportedIdentity());
        const MainWindow main = loadMain();
        QVERIFY(tessaravolt::test::showConnected(main));
        QTRY_COMPARE(main.get("appTitle").toString(), kTitle);
        main.window->setProperty("currentPage", 2);
        QCOMPARE(main.pageType(), QStringLiteral("HealthPage"));
        QTRY_VERIFY(main.page()->property("soh").toInt() > 0 && main.page()->property("cycles").toInt() > 0);

        const QString configured = qEnvironmentVariable("TESSARAVOLT_SCREENSHOT_DIR");
        QDir dir(configured.isEmpty() ? QDir::current().absoluteFilePath(QStringLiteral("shell-screenshots"))
                                      : configured);
        dir.mkpath(QStringLiteral("."));
        for (const bool english : {true, false}) {
            if (I18n::instance()->isEn() != english)
                I18n::instance()->toggleLanguage();
            const QImage image = main.window->grabWindow();
            QVERIFY(image.save(
                dir.filePath(english ? QStringLiteral("connected-en.png") : QStringLiteral("connected-zh.png"))));
            QCOMPARE(image.size(), QSize(1440, 1080));
            // Sidebar at x 60..160 from y 120; its body ends 60 above the bottom.
            QVERIFY2(near(image.pixel(62, 700), qRgb(0x28, 0x28, 0x28)), qPrintable(describe(image.pixel(62, 700))));
            QVERIFY2(near(image.pixel(157, 700), qRgb(0x32, 0x32, 0x32)), qPrintable(describe(image.pixel(157, 700))));
            QVERIFY2(near(image.pixel(110, 1050), qRgb(0x1E, 0x1E, 0x1E)),
                     qPrintable(describe(image.pixel(110, 1050))));
            // The selected health tab (y 220..320) is filled; the power tab is not.
            QVERIFY2(near(image.pixel(75, 235), qRgb(0x43, 0x43, 0x43)), qPrintable(describe(image.pixel(75, 235))));
            QVERIFY2(!near(image.pixel(75, 135), qRgb(0x43, 0x43, 0x43)), qPrintable(describe(image.pixel(75, 135))));
            // Active language label white, the other black.
            QQuickItem* label = main.item("sidebar")->findChild<QQuickItem*>(english ? QStringLiteral("englishLabel")
                                                                                     : QStringLiteral("chineseLabel"));
            QCOMPARE(label->property("color").value<QColor>(), QColor(Qt::white));
        }
        tessaravolt::test::useEnglish();
    }
};

QTEST_MAIN(TestSimMainWindow)
#include "tst_sim_main_window.moc"
