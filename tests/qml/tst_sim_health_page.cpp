// The health page of the whole program against the simulated power bank: the device's values soon
// after the user opens the tab, and the fault panel following the device's current event.
#include "sim/simulated_power_bank.h"
#include "support/quick_frames.h"
#include "support/simulated_device.h"

#include "common/i18n.h"
#include "support/main_window.h"
#include "support/quick_items.h"
#include "support/screenshots.h"
#include "transport/hid_bridge.h"

#include <QDir>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using tessaravolt::common::I18n;
using tessaravolt::sim::SimulatedPowerBank;

namespace {

// Fontconfig picks the CJK fallback face by language; fixed before the application starts so the
// screenshots' pixels are stable.
const bool kFixedLanguage = [] {
    qputenv("LANG", "en_US.UTF-8");
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("FC_LANG", "zh-cn");
    return true;
}();

using tessaravolt::test::descendants;
using tessaravolt::test::kMustShowMs;

QQuickItem* named(QQuickItem* root, const QString& name)
{
    return tessaravolt::test::findNamed(root, name);
}

// What the health page shows, read from its items the way a user reads the screen.
struct HealthView
{
    QQuickItem* page = nullptr;

    QString text(const char* name) const
    {
        QQuickItem* item = named(page, QString::fromLatin1(name));
        return item ? item->property("text").toString() : QString();
    }

    // "soh% cycles F C" as the hero and temperature panels show them.
    QString numbers() const
    {
        return QStringList{text("sohValue") + text("sohPercent"), text("cycleValue"), text("fahrenheitValue"),
                           text("celsiusValue")}
            .join(QLatin1Char(' '));
    }

    // "label=voltage" for each row shown, top to bottom.
    QString rows() const
    {
        QStringList out;
        for (QQuickItem* i : descendants(page)) {
            if (!i->property("isTotal").isValid() || !i->isVisible())
                continue;
            out << named(i, QStringLiteral("cellLabel"))->property("text").toString() + QLatin1Char('=')
                    + named(i, QStringLiteral("cellVoltage"))->property("text").toString();
        }
        return out.join(QLatin1Char(' '));
    }

    QQuickItem* fault() const { return named(page, QStringLiteral("faultPanel")); }
    bool warning() const { return fault() && fault()->property("warning").toBool(); }
    QString faultTitle() const
    {
        QQuickItem* loader = named(page, QStringLiteral("faultContent"));
        QQuickItem* item = loader ? qvariant_cast<QQuickItem*>(loader->property("item")) : nullptr;
        QQuickItem* title = item ? named(item, QStringLiteral("titleLabel")) : nullptr;
        return title ? title->property("text").toString() : QString();
    }
};

struct MainWindow : tessaravolt::test::LoadedMain
{
    HealthView health() const
    {
        QQuickItem* item = LoadedMain::page();
        return HealthView{pageType() == QLatin1String("HealthPage") ? item : nullptr};
    }

    void clickTab(int index) const
    {
        // Repeater delegates are found by the item tree, not the object tree.
        QQuickItem* tab = named(window->contentItem(), QStringLiteral("tab%1").arg(index));
        QVERIFY(tab);
        const QPointF centre = tab->mapToScene(QPointF(tab->width() / 2, tab->height() / 2));
        QTest::mouseClick(window, Qt::LeftButton, {}, centre.toPoint());
    }
};

QString voltageText(int millivolts)
{
    return QString::number(millivolts / 1000.0, 'f', 2) + QStringLiteral(" V");
}

QDir screenshotDir()
{
    return tessaravolt::test::screenshotDir(QStringLiteral("health-screenshots"));
}

} // namespace

class TestSimHealthPage : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(kFixedLanguage);
        QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper");
        tessaravolt::test::useEnglish();
    }

    void showsAndFollowsTheDevice()
    {
        const SimulatedPowerBank::Model model = SimulatedPowerBank::demoModel();
        SimulatedPowerBank bank(model, tessaravolt::test::supportedIdentity());
        const MainWindow main{tessaravolt::test::loadMainWindow()};
        QVERIFY(tessaravolt::test::showConnected(main));

        main.clickTab(2);
        QTRY_VERIFY(main.health().page);

        // Pack 29.1 °C: 29° and 84° (from the unrounded value); four cells and their total.
        int total = 0;
        QStringList rows{QString()};
        for (const auto& cell : model.cellDetails) {
            if (cell.index == 0)
                continue;
            total += cell.voltageMv;
            rows << QStringLiteral("Cell %1=%2").arg(cell.index).arg(voltageText(cell.voltageMv));
        }
        rows[0] = QStringLiteral("Total=") + QString::number(total / 1000.0, 'f', 2) + QStringLiteral(" V");
        // How soon after opening the tab, and how soon a fault shows below, bench_sim_pages measures.
        QTRY_COMPARE_WITH_TIMEOUT(main.health().numbers(), QStringLiteral("98% 37 84\u00B0 29\u00B0"), kMustShowMs);
        QTRY_COMPARE_WITH_TIMEOUT(main.health().rows(), rows.join(QLatin1Char(' ')), kMustShowMs);
        QVERIFY(!main.health().warning());
        QCOMPARE(main.health().faultTitle(), QStringLiteral("System Check Complete"));

        // The page asked for the state of health and the cycles, and polls the cells each second.
        QVERIFY(!bank.requestsFor(0x20, 0x02).isEmpty());
        QVERIFY(!bank.requestsFor(0x20, 0x03).isEmpty());
        const int cellPolls = bank.requestsFor(0x30, 0x00).size();
        QVERIFY(bank.waitForRequest(0x30, 0x00, cellPolls + 2, kMustShowMs));

        // The device reports its longest fault: the panel switches at the sidebar's next poll.
        bank.update([](SimulatedPowerBank::Model& m) {
            m.currentEvent.type = 1;
            m.currentEvent.info = 3;
        });
        QTRY_VERIFY_WITH_TIMEOUT(main.health().warning(), kMustShowMs);
        QTRY_COMPARE(main.health().faultTitle(), QStringLiteral("Under Voltage Protection"));

        QVERIFY(tessaravolt::test::waitForFrame(main.window));
        const QDir dir = screenshotDir();
        for (const bool english : {true, false}) {
            if (I18n::instance()->isEn() != english)
                I18n::instance()->toggleLanguage();
            QVERIFY(tessaravolt::test::waitForFrame(main.window));
            const QImage image = main.window->grabWindow();
            QVERIFY(image.save(dir.filePath(english ? QStringLiteral("sim-health-fault-en.png")
                                                    : QStringLiteral("sim-health-fault-zh.png"))));
            QCOMPARE(main.health().faultTitle(),
                     english ? QStringLiteral("Under Voltage Protection") : QStringLiteral("低压保护"));
            // Every text of the fault form is drawn whole inside the panel.
            QQuickItem* panel = main.health().fault();
            const QRectF panelRect = panel->mapRectToScene(QRectF(0, 0, panel->width(), panel->height()));
            for (const char* name : {"descValue", "warnValue", "prodValue"}) {
                QQuickItem* value = named(panel, QString::fromLatin1(name));
                QVERIFY(value);
                QVERIFY2(!value->property("truncated").toBool(), name);
                const QRectF r = value->mapRectToScene(QRectF(0, 0, value->width(), value->height()));
                QVERIFY2(panelRect.contains(r), name);
            }
        }
        I18n::instance()->toggleLanguage();

        // And back to normal operation.
        bank.update([](SimulatedPowerBank::Model& m) { m.currentEvent.type = 0; });
        QTRY_VERIFY_WITH_TIMEOUT(!main.health().warning(), kMustShowMs);
        QTRY_COMPARE(main.health().faultTitle(), QStringLiteral("System Check Complete"));

        // A visit starts anew: leave and come back, the values are there again from the service's
        // caches and the next answers.
        main.clickTab(1);
        QTRY_VERIFY(!main.health().page);
        main.clickTab(2);
        QTRY_VERIFY(main.health().page);
        QTRY_COMPARE_WITH_TIMEOUT(main.health().numbers(), QStringLiteral("98% 37 84\u00B0 29\u00B0"), kMustShowMs);
        QTRY_COMPARE_WITH_TIMEOUT(main.health().rows(), rows.join(QLatin1Char(' ')), kMustShowMs);
    }
};

QTEST_MAIN(TestSimHealthPage)
#include "tst_sim_health_page.moc"
