// The power page of the whole program against the simulated power bank: the device's values soon
// after the connection, and the page following the device when they change.
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
#include <QFont>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <memory>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using tessaravolt::common::I18n;
using tessaravolt::sim::SimulatedPowerBank;
using tessaravolt::test::kMustShowMs;
using tessaravolt::test::supportedIdentity;
using tessaravolt::test::waitForFrame;
using tessaravolt::transport::HidServiceApi;

namespace {

using Port = SimulatedPowerBank::Port;

// The four ports of the page's worked example: C1 out, C2 idle, A in, W out.
SimulatedPowerBank::Model fourPortModel()
{
    SimulatedPowerBank::Model model = SimulatedPowerBank::demoModel();
    model.soc = 76;
    model.portCount = 4;
    model.ports = {
        Port{0, 2, 1, 9000, 2220, 310, 33, 300},
        Port{1, 0, 1, 0, 0, 250, 0, 300},
        Port{2, 1, 2, 5000, 1000, 280, 4, 150},
        Port{3, 2, 3, 9000, 1000, 300, 55, 150},
    };
    return model;
}

using tessaravolt::test::descendants;

// What the page shows, read from its items the way a user reads the screen.
struct PageView
{
    QQuickItem* page = nullptr;

    QList<QQuickItem*> cards() const
    {
        QList<QQuickItem*> found;
        for (QQuickItem* i : descendants(page))
            if (i->property("isWireless").isValid() && i->property("portName").isValid())
                found << i;
        std::sort(found.begin(), found.end(), [this](QQuickItem* a, QQuickItem* b) {
            const QPointF pa = a->mapToItem(page, QPointF()), pb = b->mapToItem(page, QPointF());
            return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
        });
        return found;
    }

    // "name:watts/volts/current/protocol" per card, idle cards as "name:idle".
    QString cardSummary() const
    {
        QStringList parts;
        for (QQuickItem* c : cards()) {
            const QString name = c->property("portName").toString();
            if (!c->property("active").toBool()) {
                parts << name + QStringLiteral(":idle");
                continue;
            }
            parts << QStringLiteral("%1:%2/%3/%4/%5")
                         .arg(name, c->property("watts").toString(), c->property("volts").toString(),
                              c->property("current").toString(), c->property("protocol").toString());
        }
        return parts.join(QLatin1Char(' '));
    }

    // The state of charge, the output total and the input total, left to right.
    QString bigNumbers() const
    {
        QList<QQuickItem*> numbers;
        for (QQuickItem* i : descendants(page))
            if (i->property("skipLangCheck").isValid() && i->property("font").value<QFont>().pixelSize() == 90)
                numbers << i;
        std::sort(numbers.begin(), numbers.end(), [this](QQuickItem* a, QQuickItem* b) {
            return a->mapToItem(page, QPointF()).x() < b->mapToItem(page, QPointF()).x();
        });
        QStringList texts;
        for (QQuickItem* n : numbers)
            texts << n->property("text").toString();
        return texts.join(QLatin1Char(','));
    }

    bool shows(const QString& text) const
    {
        const QList<QQuickItem*> all = descendants(page);
        return std::any_of(all.begin(), all.end(), [&](QQuickItem* i) {
            return i->property("skipLangCheck").isValid() && i->property("text").toString() == text && i->isVisible();
        });
    }
};

// The window with its power page read as a user reads it.
struct MainWindow : tessaravolt::test::LoadedMain
{
    PageView page() const
    {
        QQuickItem* item = LoadedMain::page();
        if (item && !QString::fromLatin1(item->metaObject()->className()).startsWith(QLatin1String("PowerPage")))
            item = nullptr;
        return PageView{item};
    }
};

MainWindow loadMain()
{
    return MainWindow{tessaravolt::test::loadMainWindow()};
}

QDir screenshotDir()
{
    return tessaravolt::test::screenshotDir(QStringLiteral("power-screenshots"));
}

} // namespace

class TestSimPowerPage : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper");
        tessaravolt::test::useEnglish();
    }

    void showsAndFollowsTheDevice()
    {
        SimulatedPowerBank bank(fourPortModel(), supportedIdentity());
        const MainWindow main = loadMain();
        QVERIFY(tessaravolt::test::showConnected(main));

        // How soon after the connection they show is measured by bench_sim_pages.
        const QString expectedCards =
            QStringLiteral("A:5.0/5.0/1.0/DCP C1:20.0/9.0/2.2/PD3.0 C2:idle W:9.0/9.0/1.0/Qi2");
        QTRY_COMPARE_WITH_TIMEOUT(main.page().cardSummary(), expectedCards, kMustShowMs);
        QTRY_COMPARE_WITH_TIMEOUT(main.page().bigNumbers(), QStringLiteral("76,29,5"), kMustShowMs);
        QVERIFY(main.page().shows(QStringLiteral("Pass Through")));
        QVERIFY(!main.page().shows(QStringLiteral("Output")));

        // The page asked for the port count, then for all four ports in one request, and for the
        // state of charge at its creation.
        QVERIFY(!bank.requestsFor(0x10, 0x07).isEmpty());
        const auto portRequests = bank.requestsFor(0x31, 0x00);
        QVERIFY(!portRequests.isEmpty());
        QCOMPARE(portRequests.first().payload, QByteArray::fromHex("0004"));
        QCOMPARE(bank.requestsFor(0x20, 0x01).size(), 1);

        QVERIFY(waitForFrame(main.window));
        const QDir dir = screenshotDir();
        for (const bool english : {true, false}) {
            if (I18n::instance()->isEn() != english)
                I18n::instance()->toggleLanguage();
            QVERIFY(main.window->grabWindow().save(
                dir.filePath(english ? QStringLiteral("sim-power-en.png") : QStringLiteral("sim-power-zh.png"))));
        }
        QVERIFY(main.page().shows(QStringLiteral("边充边放")));
        I18n::instance()->toggleLanguage();

        // The input port stops and the idle C port starts giving power: output only, with its rating.
        bank.update([](SimulatedPowerBank::Model& m) {
            m.ports[1] = Port{1, 2, 1, 5000, 3000, 260, 33, 150};
            m.ports[2] = Port{2, 0, 2, 0, 0, 280, 0, 150};
        });
        QTRY_COMPARE_WITH_TIMEOUT(
            main.page().cardSummary(),
            QStringLiteral("A:idle C1:20.0/9.0/2.2/PD3.0 C2:15.0/5.0/3.0/PD3.0 W:9.0/9.0/1.0/Qi2"), kMustShowMs);
        QTRY_COMPARE_WITH_TIMEOUT(main.page().bigNumbers(), QStringLiteral("76,44,0"), kMustShowMs);
        QVERIFY(main.page().shows(QStringLiteral("Output")));
        QVERIFY(main.page().shows(QStringLiteral("60")));
        QVERIFY(main.page().shows(QStringLiteral("MAX")));
        QVERIFY(!main.page().shows(QStringLiteral("Pass Through")));

        // A port the device no longer reports keeps its card and its share.
        bank.update([](SimulatedPowerBank::Model& m) { m.ports.removeLast(); });
        const int before = bank.requestsFor(0x31, 0x00).size();
        QSignalSpy portAnswers(HidServiceApi::instance(), &HidServiceApi::portInfo);
        QVERIFY(bank.waitForRequest(0x31, 0x00, before + 2, kMustShowMs));
        // Two answers taken (each begins with port 0): one may have been on its way before the
        // change, the other was made after it.
        QTRY_VERIFY(std::count_if(portAnswers.cbegin(), portAnswers.cend(),
                                  [](const QList<QVariant>& args) { return args.at(0).toInt() == 0; })
                    >= 2);
        QCOMPARE(main.page().cardSummary(),
                 QStringLiteral("A:idle C1:20.0/9.0/2.2/PD3.0 C2:15.0/5.0/3.0/PD3.0 W:9.0/9.0/1.0/Qi2"));
        QCOMPARE(main.page().bigNumbers(), QStringLiteral("76,44,0"));
        // The state of charge waits for the page's slow timer.
        QCOMPARE(bank.requestsFor(0x20, 0x01).size(), 1);
    }
};

QTEST_MAIN(TestSimPowerPage)
#include "tst_sim_power_page.moc"
