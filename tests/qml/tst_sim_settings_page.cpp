// The settings page of the whole program against the simulated power bank, used with the mouse:
// what each press, drag and reset sends, how the device's answers are taken, and the product
// details of a six-cell device with long serials.
#include "sim/simulated_power_bank.h"
#include "support/quick_frames.h"
#include "support/simulated_device.h"

#include "common/i18n.h"
#include "support/main_window.h"
#include "support/quick_items.h"
#include "support/screenshots.h"
#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <functional>
#include <memory>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using tessaravolt::common::I18n;
using tessaravolt::sim::SimulatedPowerBank;
using tessaravolt::test::supportedIdentity;
using tessaravolt::test::waitForFrame;
using tessaravolt::transport::HidServiceApi;

namespace {

// 47 bytes: the most a cell serial answer carries after its index byte.
QString longSerial(int cell)
{
    return QStringLiteral("CF50E21700%1X7Q9ZK4M2P8R5T3W6Y1B0N7H4J2L9D5F8G3S6V1C4A7E0U").arg(cell).left(47);
}

SimulatedPowerBank::Model sixCellModel()
{
    SimulatedPowerBank::Model model = SimulatedPowerBank::demoModel();
    model.battery.cellCount = 6;
    model.battery.capacityMah = 25000;
    model.battery.voltageMv = 3630;
    model.cellSerials.clear();
    model.cellActivations.clear();
    for (uint8_t i = 0; i < 6; ++i) {
        model.cellSerials[i] = longSerial(i);
        model.cellActivations[i] = QStringLiteral("2025-06-%1 09:30:00").arg(20 + i);
    }
    model.supportedProtocols = 0x1805;
    model.brightness = 50;
    model.screenTimeout = 300;
    return model;
}

QQuickItem* findIn(QQuickItem* root, const QString& name)
{
    return tessaravolt::test::findNamed(root, name);
}

QDir screenshotDir()
{
    return tessaravolt::test::screenshotDir(QStringLiteral("settings-screenshots"));
}

struct MainWindow : tessaravolt::test::LoadedMain
{
    QQuickItem* settings() const
    {
        QQuickItem* p = page();
        return pageType() == QLatin1String("SettingsPage") ? p : nullptr;
    }
    QQuickItem* find(const char* name) const { return findIn(settings(), QString::fromLatin1(name)); }

    // The window point of (x, y) in an item's own coordinates.
    QPoint at(QQuickItem* item, qreal x, qreal y) const { return item->mapToScene(QPointF(x, y)).toPoint(); }

    void clickTab(int index) const
    {
        QQuickItem* tab = findIn(window->contentItem(), QStringLiteral("tab%1").arg(index));
        QVERIFY(tab);
        QTest::mouseClick(window, Qt::LeftButton, {}, at(tab, tab->width() / 2, tab->height() / 2));
    }

    QStringList rowValues() const
    {
        QStringList out;
        QQuickItem* list = find("detailList");
        if (!list)
            return out;
        const QVariantList rows = list->property("model").toList();
        for (const QVariant& row : rows)
            out << row.toList().value(1).toString();
        return out;
    }
};

MainWindow loadMain()
{
    return MainWindow{tessaravolt::test::loadMainWindow()};
}

QList<QByteArray> payloads(const QList<SimulatedPowerBank::Request>& requests)
{
    QList<QByteArray> out;
    for (const auto& r : requests)
        out << r.payload;
    return out;
}

// Consecutive repeats dropped: the steps a drag passed through.
QList<QByteArray> steps(const QList<QByteArray>& list)
{
    QList<QByteArray> out;
    for (const QByteArray& p : list)
        if (out.isEmpty() || out.last() != p)
            out << p;
    return out;
}

} // namespace

class TestSimSettingsPage : public QObject
{
    Q_OBJECT

    SimulatedPowerBank* bank = nullptr;
    MainWindow main;

    // The results of the display-setting commands that this thread has taken, since the start.
    std::unique_ptr<QSignalSpy> brightnessResults;
    std::unique_ptr<QSignalSpy> timeoutResults;

    int answersTo(int command, int subCommand) const
    {
        int n = 0;
        for (const auto& a : bank->answers())
            n += a.command == command && a.subCommand == subCommand;
        return n;
    }

    // Every result the device has sent is taken here, and there are at least the given numbers.
    bool resultsTaken(int brightness, int timeout) const
    {
        const int b = answersTo(0xA1, 0x02);
        const int t = answersTo(0xA1, 0x03);
        return b >= brightness && t >= timeout && brightnessResults->size() == b && timeoutResults->size() == t;
    }

    int settingsAnswers() const
    {
        int n = 0;
        for (const auto& a : bank->answers())
            n += a.command == 0x12 && a.subCommand == 0x03;
        return n;
    }

    // Opens the page and waits for its own answer of the display settings, which would otherwise
    // overwrite a choice made before it arrives.
    void openSettings()
    {
        const int answered = settingsAnswers();
        QSignalSpy timeoutAnswers(HidServiceApi::instance(), &HidServiceApi::screenTimeout);
        main.clickTab(3);
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY(main.settings());
        QTRY_COMPARE(main.settings()->property("brightness").toInt(), int(bank->model().brightness));
        QTRY_COMPARE(main.settings()->property("timeoutSeconds").toInt(), int(bank->model().screenTimeout));
        QVERIFY(bank->waitUntil([&] { return settingsAnswers() > answered; }));
        QTRY_VERIFY(!timeoutAnswers.isEmpty());
        // Laid out and drawn before the mouse comes.
        QTRY_VERIFY(main.find("timeoutSlider") && main.find("timeoutSlider")->x() > 0);
        QVERIFY(waitForFrame(main.window));
    }

    // Presses the slider at x of its track, then lets go.
    void pressSlider(const char* slider, qreal x)
    {
        QQuickItem* s = main.find(slider);
        QVERIFY(s);
        const QPoint p = main.at(s, x, 30);
        QTest::mousePress(main.window, Qt::LeftButton, {}, p);
        QTest::mouseRelease(main.window, Qt::LeftButton, {}, p);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper");
        tessaravolt::test::useEnglish();
        bank = new SimulatedPowerBank(sixCellModel(), supportedIdentity());
        main = loadMain();
        QVERIFY(main.window);
        QSignalSpy cellItems(HidServiceApi::instance(), &HidServiceApi::cellItemInfo);
        brightnessResults = std::make_unique<QSignalSpy>(HidServiceApi::instance(), &HidServiceApi::brightnessResult);
        timeoutResults = std::make_unique<QSignalSpy>(HidServiceApi::instance(), &HidServiceApi::screenTimeoutResult);
        QSignalSpy timeoutAnswers(HidServiceApi::instance(), &HidServiceApi::screenTimeout);
        QVERIFY(tessaravolt::test::showConnected(main));
        // The connection's own requests first (display settings, battery and cells).
        QVERIFY(bank->waitForRequest(0x12, 0x03, 1));
        QVERIFY(bank->waitForRequest(0x20, 0x05, 6));
        // ...and their answers taken.
        QTRY_VERIFY(!timeoutAnswers.isEmpty());
        QTRY_COMPARE(cellItems.size(), 6);
    }

    void cleanupTestCase()
    {
        brightnessResults.reset();
        timeoutResults.reset();
        main.engine.reset();
        delete bank;
        bank = nullptr;
    }

    void init() { tessaravolt::test::useEnglish(); }

    // The page asks for the identity, then the display settings, on every visit.
    void eachVisitAsks()
    {
        const int before = bank->requestCount();
        const int settingsBefore = bank->requestsFor(0x12, 0x02).size();
        openSettings();
        QVERIFY(main.settings());
        QVERIFY(bank->waitForRequest(0x12, 0x02, settingsBefore + 1));
        const QList<SimulatedPowerBank::Request> sent = bank->requests().mid(before);
        qsizetype firstIdentity = -1, firstSettings = -1;
        for (qsizetype i = 0; i < sent.size(); ++i) {
            if (firstIdentity < 0 && sent[i].command == 0x10 && sent[i].subCommand == 0x01)
                firstIdentity = i;
            if (firstSettings < 0 && sent[i].command == 0x12 && sent[i].subCommand == 0x02)
                firstSettings = i;
        }
        QVERIFY(firstIdentity >= 0);
        QVERIFY(firstSettings > firstIdentity);
        QCOMPARE(bank->requestsFor(0x12, 0x02).size(), settingsBefore + 1);
        QVERIFY(main.find("displayPanel")->isVisible());

        main.clickTab(1);
        QTRY_COMPARE(main.pageType(), QStringLiteral("PowerPage"));
        openSettings();
        QTRY_COMPARE(bank->requestsFor(0x12, 0x02).size(), settingsBefore + 2);
    }

    void pressesSendTheirStep_data()
    {
        QTest::addColumn<QByteArray>("slider");
        QTest::addColumn<qreal>("x");
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("property");
        QTest::addColumn<int>("value");
        QTest::newRow("brightness 20") << QByteArray("brightnessSlider") << 10.0 << 0x02 << QByteArray::fromHex("14")
                                       << "brightness" << 20;
        QTest::newRow("brightness 100") << QByteArray("brightnessSlider") << 380.0 << 0x02 << QByteArray::fromHex("64")
                                        << "brightness" << 100;
        QTest::newRow("time-out 300 s") << QByteArray("timeoutSlider") << 260.0 << 0x03 << QByteArray::fromHex("2c01")
                                        << "timeoutSeconds" << 300;
        QTest::newRow("time-out 10 s") << QByteArray("timeoutSlider") << 0.0 << 0x03 << QByteArray::fromHex("0a00")
                                       << "timeoutSeconds" << 10;
        QTest::newRow("time-out 600 s") << QByteArray("timeoutSlider") << 399.0 << 0x03 << QByteArray::fromHex("5802")
                                        << "timeoutSeconds" << 600;
    }

    void pressesSendTheirStep()
    {
        QFETCH(QByteArray, slider);
        QFETCH(qreal, x);
        QFETCH(int, command);
        QFETCH(QByteArray, payload);
        QFETCH(QString, property);
        QFETCH(int, value);
        if (!main.settings())
            openSettings();
        QVERIFY(main.settings());
        const int before = bank->requestsFor(0xA1, command).size();
        pressSlider(slider.constData(), x);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(main.settings()->property(qPrintable(property)).toInt(), value);
        QVERIFY(bank->waitForRequest(0xA1, command, before + 1));
        // A press sends one command: a second one would have reached the device by now.
        QVERIFY(tessaravolt::test::settle(*bank));
        const auto sent = bank->requestsFor(0xA1, command).mid(before);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.first().payload, payload);
        // Pressing the step already chosen sends it again.
        pressSlider(slider.constData(), x);
        QVERIFY(bank->waitForRequest(0xA1, command, before + 2));
        QCOMPARE(bank->requestsFor(0xA1, command).last().payload, payload);
    }

    // One command for the press and one for every move while held, repeats included.
    void dragSendsEveryMove()
    {
        if (!main.settings())
            openSettings();
        QVERIFY(main.settings());
        QQuickItem* slider = main.find("timeoutSlider");
        const int before = bank->requestsFor(0xA1, 0x03).size();
        QTest::mousePress(main.window, Qt::LeftButton, {}, main.at(slider, 0, 30));
        int moves = 0;
        for (int x = 10; x <= 440; x += 30, ++moves)
            QTest::mouseMove(main.window, main.at(slider, x, x > 400 ? 90 : 30));
        QTest::mouseRelease(main.window, Qt::LeftButton, {}, main.at(slider, 430, 90));
        QVERIFY(bank->waitForRequest(0xA1, 0x03, before + 1 + moves, 10000));
        // A command beyond one a move would have reached the device by now.
        QVERIFY(tessaravolt::test::settle(*bank));
        const QList<QByteArray> sent = payloads(bank->requestsFor(0xA1, 0x03).mid(before));
        QCOMPARE(sent.size(), 1 + moves);
        const QList<QByteArray> expected{QByteArray::fromHex("0a00"), QByteArray::fromHex("1e00"),
                                         QByteArray::fromHex("3c00"), QByteArray::fromHex("2c01"),
                                         QByteArray::fromHex("5802")};
        QCOMPARE(steps(sent), expected);
        QCOMPARE(main.settings()->property("timeoutSeconds").toInt(), 600);
        QCOMPARE(main.find("timeoutValue")->property("text").toString(), QStringLiteral("10 minutes"));
        QTRY_COMPARE(int(bank->model().screenTimeout), 600);
    }

    // Brightness 100 first, then time-out 30, also when they already are.
    void resetSendsBothInOrder()
    {
        if (!main.settings())
            openSettings();
        QVERIFY(main.settings());
        QQuickItem* button = main.find("resetButton");
        QVERIFY(button);
        for (int round = 0; round < 2; ++round) {
            const int before = bank->requestCount();
            QTest::mouseClick(main.window, Qt::LeftButton, {}, main.at(button, 20, 26));
            QVERIFY(bank->waitForRequest(0xA1, 0x03, 1));
            QVERIFY(bank->waitFor([&](const QList<SimulatedPowerBank::Request>& all) {
                int found = 0;
                for (qsizetype i = before; i < all.size(); ++i)
                    found += all[i].command == 0xA1;
                return found >= 2;
            }));
            QList<SimulatedPowerBank::Request> sets;
            for (const auto& r : bank->requests().mid(before))
                if (r.command == 0xA1)
                    sets << r;
            QCOMPARE(sets.size(), 2);
            QCOMPARE(sets[0].subCommand, uint8_t(0x02));
            QCOMPARE(sets[0].payload, QByteArray::fromHex("64"));
            QCOMPARE(sets[1].subCommand, uint8_t(0x03));
            QCOMPARE(sets[1].payload, QByteArray::fromHex("1e00"));
            QCOMPARE(main.settings()->property("brightness").toInt(), 100);
            QCOMPARE(main.settings()->property("timeoutSeconds").toInt(), 30);
        }
        QTRY_COMPARE(int(bank->model().brightness), 100);
        QTRY_COMPARE(int(bank->model().screenTimeout), 30);
    }

    // 0 success, 1 failed, 2 not supported: one console line each; the page keeps the pick.
    void answersOfTheDevice_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("words");
        QTest::newRow("0") << 0 << "true,true";
        QTest::newRow("1") << 1 << "true,false";
        QTest::newRow("2") << 2 << "false,false";
    }

    void answersOfTheDevice()
    {
        QFETCH(int, result);
        QFETCH(QString, words);
        if (!main.settings())
            openSettings();
        QVERIFY(main.settings());
        bank->update([&](SimulatedPowerBank::Model& m) {
            m.setBrightnessResult = uint8_t(result);
            m.setScreenTimeoutResult = uint8_t(result);
            m.brightness = 50;
            m.screenTimeout = 60;
        });
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("onBrightnessResult:") + words));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("onScreenTimeoutResult:") + words));
        const int b = bank->requestsFor(0xA1, 0x02).size();
        const int t = bank->requestsFor(0xA1, 0x03).size();
        pressSlider("brightnessSlider", 10);
        pressSlider("timeoutSlider", 399);
        QVERIFY(bank->waitForRequest(0xA1, 0x02, b + 1));
        QVERIFY(bank->waitForRequest(0xA1, 0x03, t + 1));
        QTRY_VERIFY(resultsTaken(b + 1, t + 1));
        QCOMPARE(main.settings()->property("brightness").toInt(), 20);
        QCOMPARE(main.settings()->property("timeoutSeconds").toInt(), 600);
        QCOMPARE(main.find("brightnessValue")->property("text").toString(), QStringLiteral("20%"));
        QCOMPARE(int(bank->model().brightness), result == 0 ? 20 : 50);
        QCOMPARE(int(bank->model().screenTimeout), result == 0 ? 600 : 60);
        bank->update([](SimulatedPowerBank::Model& m) {
            m.setBrightnessResult = 0;
            m.setScreenTimeoutResult = 0;
        });
    }

    // Six cells with 47-byte serials: every detail is there, in order, and readable.
    void sixCellDetails()
    {
        if (!main.settings())
            openSettings();
        QVERIFY(main.settings());
        QStringList serials, activations;
        for (int i = 0; i < 6; ++i) {
            serials << QStringLiteral("Cell%1:%2").arg(i + 1).arg(longSerial(i));
            activations << QStringLiteral("Cell%1:2025-06-%2 09:30:00").arg(i + 1).arg(20 + i);
        }
        QTRY_COMPARE_WITH_TIMEOUT(main.rowValues().value(10), serials.join(QLatin1Char('\n')), 5000);
        QTRY_COMPARE(main.rowValues().value(11), activations.join(QLatin1Char('\n')));
        const QStringList rows = main.rowValues();
        QCOMPARE(rows.value(0), QStringLiteral("Tessaravolt"));
        QCOMPARE(rows.value(4), QStringLiteral("APPLE2.4, QC3.0, PD2.0, PD3.0"));
        QCOMPARE(rows.value(6), QStringLiteral("25000 mAh / 90.8 Wh"));
        QCOMPARE(main.find("flightEnergy")->property("text").toString(), QStringLiteral("90.8 Wh"));

        QVERIFY(waitForFrame(main.window));
        const QDir dir = screenshotDir();
        for (const bool english : {true, false}) {
            if (I18n::instance()->isEn() != english)
                I18n::instance()->toggleLanguage();
            QTRY_COMPARE(
                main.rowValues().value(10).startsWith(english ? QStringLiteral("Cell1:") : QString::fromUtf8("电芯1:")),
                true);
            QCOMPARE(main.rowValues().value(7),
                     english ? QStringLiteral("Cellforge Energy") : QString::fromUtf8("芯锻能源科技有限公司"));
            // Every value text stays inside its column.
            for (QQuickItem* t : tessaravolt::test::descendants(main.find("detailList"))) {
                if (t->objectName() != QLatin1String("detailValue"))
                    continue;
                QVERIFY2(t->property("contentWidth").toReal() <= t->width() + 0.5,
                         qPrintable(t->property("text").toString()));
            }
            QVERIFY(waitForFrame(main.window));
            QVERIFY(main.window->grabWindow().save(
                dir.filePath(english ? QStringLiteral("sim-settings-en.png") : QStringLiteral("sim-settings-zh.png"))));
        }
    }

    // A device that reports a brightness of 0 keeps the display panel hidden on the next visit.
    void zeroBrightnessHidesTheDisplayPanel()
    {
        bank->update([](SimulatedPowerBank::Model& m) { m.brightness = 0; });
        main.clickTab(1);
        QTRY_COMPARE(main.pageType(), QStringLiteral("PowerPage"));
        main.clickTab(3);
        QTRY_VERIFY(main.settings());
        QTRY_COMPARE(main.settings()->property("brightness").toInt(), 0);
        QTRY_VERIFY(!main.find("displayPanel")->isVisible());
        QCOMPARE(main.find("detailsPanel")->y(), 0.0);
        QCOMPARE(main.find("detailsPanel")->height(), 660.0);
        QVERIFY(waitForFrame(main.window));
        QVERIFY(main.window->grabWindow().save(screenshotDir().filePath(QStringLiteral("sim-settings-hidden-en.png"))));
    }
};

QTEST_MAIN(TestSimSettingsPage)
#include "tst_sim_settings_page.moc"
