// Texts from a hostile power bank, as the window shows them: markup stays text (no request leaves
// the program, no picture or heading is drawn), control and bidi override characters are gone,
// and a long title is elided within the header's place.
#include "sim/simulated_power_bank.h"
#include "support/simulated_device.h"

#include "common/i18n.h"
#include "support/main_window.h"
#include "support/screenshots.h"
#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using tessaravolt::common::I18n;
using tessaravolt::sim::SimulatedPowerBank;
using tessaravolt::test::supportedIdentity;
using tessaravolt::transport::HidServiceApi;

namespace {

// Where the title image ends (60 + 136) plus the gap the header keeps from it.
constexpr qreal kHeaderLeftLimit = 60 + 136 + 40;

bool isBackground(QRgb pixel)
{
    return qAbs(qRed(pixel) - 0x1E) <= 3 && qAbs(qGreen(pixel) - 0x1E) <= 3 && qAbs(qBlue(pixel) - 0x1E) <= 3;
}

// Pixels of the design surface that are not page background, inside the rectangle.
int drawnPixels(const QImage& image, const QRect& area)
{
    int drawn = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            drawn += isBackground(image.pixel(x, y)) ? 0 : 1;
    return drawn;
}

QDir screenshotDir()
{
    return tessaravolt::test::screenshotDir(QStringLiteral("device-text-screenshots"));
}

// Records every connection made to it; the window must make none.
class HttpWitness : public QObject
{
public:
    HttpWitness()
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                ++connections;
                socket->waitForReadyRead(500);
                requests += QString::fromLatin1(socket->readAll().left(200));
                socket->disconnectFromHost();
                socket->deleteLater();
            }
        });
        server.listen(QHostAddress::LocalHost, 0);
    }
    QTcpServer server;
    int connections = 0;
    QStringList requests;
};

struct Shown
{
    tessaravolt::test::LoadedMain main;
    QQuickItem* header = nullptr;
};

} // namespace

class TestSimDeviceTexts : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper");
        tessaravolt::test::useEnglish();
    }

    void markupTitleIsShownAsText()
    {
        HttpWitness witness;
        QVERIFY(witness.server.isListening());
        const QString image = QStringLiteral("<img src=\"http://127.0.0.1:%1/x.png\" width=\"300\" height=\"200\">")
                                  .arg(witness.server.serverPort());
        const QString title = image + QStringLiteral("<h1>Big</h1>\u202Eabc\u2066\x1B[2J");
        const QString shown = image + QStringLiteral("<h1>Big</h1>abc[2J");
        QVERIFY(title.toUtf8().size() <= 96);

        SimulatedPowerBank::Model model = SimulatedPowerBank::demoModel();
        model.setTwoPartText(0x11, title);
        // A cell serial with the same kind of content reaches the pages cleaned as well.
        model.cellSerials[0] = QStringLiteral("CF\u202E50\x07");
        SimulatedPowerBank bank(model, supportedIdentity());
        QSignalSpy cells(HidServiceApi::instance(), &HidServiceApi::cellItemInfo);

        const auto main = tessaravolt::test::loadMainWindow(QSize(1440, 1080));
        QVERIFY(tessaravolt::test::showConnected(main));
        QTRY_COMPARE(main.get("appTitle").toString(), shown);
        QQuickItem* header = main.item("headerText");
        QCOMPARE(header->property("text").toString(), shown);
        QTRY_VERIFY(!cells.isEmpty());
        QCOMPARE(cells.first().at(1).toString(), QStringLiteral("CF50"));

        // Give a rich-text image load time to reach the server; none may come.
        QTest::qWait(2000);
        QVERIFY2(witness.connections == 0, qPrintable(witness.requests.join(QStringLiteral(" | "))));
        QCOMPARE(header->property("textFormat").toInt(), int(Qt::PlainText));

        // One line at the header's size, as wide as the characters themselves, elided at its place.
        const QFontMetricsF metrics(header->property("font").value<QFont>());
        QVERIFY2(header->height() < 2 * metrics.height(), qPrintable(QString::number(header->height())));
        QVERIFY(header->implicitWidth() >= metrics.horizontalAdvance(shown) - 1);
        QVERIFY(header->x() >= kHeaderLeftLimit);
        QCOMPARE(header->x() + header->width(), 1440.0 - 100);

        const QImage grab = main.window->grabWindow();
        QVERIFY(grab.save(screenshotDir().filePath(QStringLiteral("markup-title-en.png"))));
        // Text is drawn in the header's line; nothing below it down to the sidebar (no heading, no
        // picture box), and nothing left of its place over the title image's gap.
        const int lineBottom = int(header->y() + header->height()) + 2;
        QVERIFY(drawnPixels(grab, QRect(QPoint(int(kHeaderLeftLimit), int(header->y())), QPoint(1340, lineBottom)))
                > 200);
        QCOMPARE(drawnPixels(grab, QRect(QPoint(200, lineBottom + 1), QPoint(1340, 118))), 0);
        QCOMPARE(drawnPixels(grab, QRect(QPoint(200, 40), QPoint(int(kHeaderLeftLimit) - 2, 118))), 0);

        // The header draws exactly what the clean text draws: no reordered run.
        const QRect band(QPoint(int(kHeaderLeftLimit), 40), QPoint(1340, 118));
        main.window->setProperty("appTitle", shown);
        QCOMPARE(main.window->grabWindow().copy(band), grab.copy(band));

        I18n::instance()->toggleLanguage();
        QTRY_COMPARE(main.window->grabWindow().copy(band), grab.copy(band));
        QVERIFY(main.window->grabWindow().save(screenshotDir().filePath(QStringLiteral("markup-title-zh.png"))));
        I18n::instance()->toggleLanguage();
        QCOMPARE(witness.connections, 0);
    }

    // A title of 96 characters (the most two answers carry) stays between the title image and the
    // window controls, elided.
    void longTitleIsElidedWithinItsPlace()
    {
        SimulatedPowerBank::Model model = SimulatedPowerBank::demoModel();
        const QString title = QStringLiteral("Tessaravolt Wide Title ").repeated(5).left(96);
        model.setTwoPartText(0x11, title);
        SimulatedPowerBank bank(model, supportedIdentity());
        const auto main = tessaravolt::test::loadMainWindow(QSize(1440, 1080));
        QVERIFY(tessaravolt::test::showConnected(main));
        QTRY_COMPARE(main.get("appTitle").toString(), title);
        QQuickItem* header = main.item("headerText");
        QTRY_VERIFY(header->property("truncated").toBool());
        QVERIFY2(header->x() >= kHeaderLeftLimit, qPrintable(QString::number(header->x())));
        QCOMPARE(header->x() + header->width(), 1440.0 - 100);

        const QImage grab = main.window->grabWindow();
        QVERIFY(grab.save(screenshotDir().filePath(QStringLiteral("long-title-en.png"))));
        QCOMPARE(drawnPixels(grab, QRect(QPoint(200, 40), QPoint(int(kHeaderLeftLimit) - 2, 118))), 0);
        QVERIFY(drawnPixels(grab, QRect(QPoint(int(kHeaderLeftLimit), 60), QPoint(1340, 100))) > 500);

        // The idle text is short and keeps its own width.
        bank.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!main.connected(), 5000);
        QCOMPARE(header->property("text").toString(), QStringLiteral("Be Ready for Today."));
        QVERIFY(!header->property("truncated").toBool());
        QCOMPARE(header->width(), header->implicitWidth());
    }
};

QTEST_MAIN(TestSimDeviceTexts)
#include "tst_sim_device_texts.moc"
