// QML receivers of the service: numbers arrive as numbers, and a handler that asks again while
// a cached answer is being replayed neither deadlocks nor recurses without end.
#include "transport/hid_service_api_test_support.h"

#include "transport/hid_service_api.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QtQml/qqmlextensionplugin.h>
#include <QtTest>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using namespace tessaravolt::transport;
using namespace tessaravolt::transport::test;

namespace {

const char* kReceiver = R"(
import QtQuick
import Tessaravolt

QtObject {
    property int socCount: 0
    property int lastSoc: -1
    property int brandCount: 0
    property string lastBrand
    property int cellCount: 0
    property int cellItemCount: 0
    property double lastTime: 0
    property bool timeoutSupported: false
    property var cellItem: []
    property int titleCount: 0
    property int portCountCount: 0

    property Connections receiver: Connections {
        target: HidServiceApi
        function onSoc(percent) {
            socCount++
            lastSoc = percent
            HidServiceApi.requestCellRealtimeStatus()
        }
        function onBrand(text) {
            brandCount++
            lastBrand = text
            HidServiceApi.requestStaticInfo()
        }
        function onBatteryInfo(cells, capacity, voltage, power, cycles, fullVoltage) {
            cellCount = cells
            HidServiceApi.requestStaticCellInfo()
        }
        function onCellItemInfo(index, sn, activateTs) {
            cellItemCount++
            cellItem = [index, sn, activateTs]
            HidServiceApi.requestStaticCellInfo()
        }
        function onAppTitle(text) {
            titleCount++
            HidServiceApi.requestAppTitle()
        }
        function onPortCount(count) {
            portCountCount++
            HidServiceApi.requestPortCount()
        }
        function onCurrentTime(ts) { lastTime = ts }
        function onScreenTimeoutResult(support, success) { timeoutSupported = support && !success }
    }
}
)";

} // namespace

class TstHidServiceApiQml : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QQmlEngine> engine;
    std::unique_ptr<QObject> receiver;
    HidServiceApi* api = nullptr;

private slots:
    void init()
    {
        engine = std::make_unique<QQmlEngine>();
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        QQmlComponent component(engine.get());
        component.setData(kReceiver, QUrl(QStringLiteral("qrc:/receiver.qml")));
        receiver.reset(component.create());
        QVERIFY2(receiver, qPrintable(component.errorString()));
        api = HidServiceApi::instance();
        api->setClock([] { return qint64(1'000'000); }); // every cached answer stays fresh
        QCOMPARE(engine->singletonInstance<HidServiceApi*>(qmlTypeId("Tessaravolt", 1, 0, "HidServiceApi")), api);
    }

    void cleanup()
    {
        receiver.reset();
        engine.reset(); // deletes the singleton
    }

    void numbersReachQml()
    {
        api->dispatchDecodedFrame(plainFrame(0x20, 0x01, bytes({57})));
        api->dispatchDecodedFrame(plainFrame(0x12, 0x01, bytes({0x80, 0x00, 0x92, 0x65, 0, 0, 0, 0})));
        api->dispatchDecodedFrame(plainFrame(0xA1, 0x03, bytes({1})));
        QCOMPARE(receiver->property("lastSoc").toInt(), 57);
        QCOMPARE(receiver->property("lastTime").toDouble(), 1704067200.0);
        QCOMPARE(receiver->property("timeoutSupported").toBool(), true);
    }

    void handlerAskingAgainDuringReplay()
    {
        // The device's answer is cached before the handler runs, so the handler's own request
        // replays that same value once; the replay's handler asking again is ignored.
        LogMark mark;
        api->dispatchDecodedFrame(plainFrame(0x20, 0x01, bytes({57})));
        QCOMPARE(receiver->property("socCount").toInt(), 2);
        QCOMPARE(receiver->property("lastSoc").toInt(), 57);
        QCOMPARE(mark.count("requestCellRealtimeStatus: nested call during cache replay ignored"), 1);

        // A newer answer is the last value the receiver sees, not the older cached one.
        api->dispatchDecodedFrame(plainFrame(0x20, 0x01, bytes({60})));
        QCOMPARE(receiver->property("socCount").toInt(), 4);
        QCOMPARE(receiver->property("lastSoc").toInt(), 60);

        // After the replay the request works again.
        api->requestCellRealtimeStatus();
        QCOMPARE(receiver->property("socCount").toInt(), 5);

        api->dispatchDecodedFrame(plainFrame(0x10, 0x01, "Tavrin"));
        QCOMPARE(receiver->property("brandCount").toInt(), 1);
        api->requestStaticInfo();
        QCOMPARE(receiver->property("brandCount").toInt(), 2);
        QCOMPARE(receiver->property("lastBrand").toString(), "Tavrin");

        api->dispatchDecodedFrame(plainFrame(0x10, 0x11, "Tessa"));
        api->dispatchDecodedFrame(plainFrame(0x10, 0x21, "volt"));
        QCOMPARE(receiver->property("titleCount").toInt(), 1);
        api->requestAppTitle();
        QCOMPARE(receiver->property("titleCount").toInt(), 2);

        api->dispatchDecodedFrame(plainFrame(0x10, 0x07, bytes({4})));
        QCOMPARE(receiver->property("portCountCount").toInt(), 1);
        api->requestPortCount();
        QCOMPARE(receiver->property("portCountCount").toInt(), 2);
    }

    void cellItemHandlerAskingAgain()
    {
        api->dispatchDecodedFrame(
            plainFrame(0x10, 0x06, bytes({1, 0x00, 0x64, 0, 0, 0xD0, 0x39, 0, 0, 0x8C, 0, 0xE8, 0x03, 0xA0, 0x41})));
        api->dispatchDecodedFrame(plainFrame(0x10, 0x0A, QByteArray("\x00SN0", 4)));
        api->dispatchDecodedFrame(plainFrame(0x20, 0x05,
                                             QByteArray("\x00"
                                                        "A0",
                                                        3)));
        QCOMPARE(receiver->property("cellCount").toInt(), 1);
        const int items = receiver->property("cellItemCount").toInt();
        QVERIFY(items >= 1);

        api->requestStaticCellInfo();
        QCOMPARE(receiver->property("cellItemCount").toInt(), items + 1);
        const QVariantList item = receiver->property("cellItem").toList();
        QCOMPARE(item.value(0).toInt(), 0);
        QCOMPARE(item.value(1).toString(), "SN0");
        QCOMPARE(item.value(2).toString(), "A0");
    }
};

QTEST_MAIN(TstHidServiceApiQml)
#include "tst_hid_service_api_qml.moc"
