#pragma once

#include "support/log_mark.h"
#include "transport/hid_service_api.h"

#include <QByteArray>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <QVariantList>

#include <initializer_list>
#include <map>
#include <memory>

namespace tessaravolt::transport::test {

// A decoded plaintext frame as the dispatch sees it (the CRC bytes are not checked there).
inline QByteArray plainFrame(uint8_t command, uint8_t sub, const QByteArray& payload)
{
    QByteArray frame;
    frame.append(char(0xAA));
    frame.append(char(command));
    frame.append(char(sub));
    frame.append(char(payload.size()));
    frame.append(payload);
    frame.append(2, '\0');
    return frame;
}

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// Device answers and the one signal each must produce, as a table for QTest: the answers in
// "before" are handled first and may emit what they like; then "frame" emits "signal" "count"
// times, the first time with "args", and no other signal.
inline void addAnswerSignalRows()
{
    QTest::addColumn<QList<QByteArray>>("before");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<int>("count");
    QTest::addColumn<QVariantList>("args");

    const QList<QByteArray> none;
    auto text = [&](const char* row, uint8_t sub, const QByteArray& payload, const char* sig, const QString& t) {
        QTest::newRow(row) << none << plainFrame(0x10, sub, payload) << QByteArray(sig) << 1 << QVariantList{t};
    };
    text("brand", 0x01, QByteArray("Tavrin\0junk", 11), "brand", "Tavrin");
    text("brand empty", 0x01, QByteArray(), "brand", "");
    text("factory", 0x02, "Plant 3", "factory", "Plant 3");
    text("battery manufacturer", 0x03, "CellCo", "batteryManufacturer", "CellCo");
    text("product sn", 0x04, "TV123", "productSn", "TV123");
    text("battery type", 0x05, "Li-ion", "batteryType", "Li-ion");
    text("production date", 0x08, "2024-03-01", "productionDate", "2024-03-01");
    text("model", 0x09, "TV-140", "model", "TV-140");
    text("product name", 0x0B, "Power Bank", "productName", "Power Bank");
    text("hardware version", 0x0C, "H1.2", "hardwareVersion", "H1.2");
    text("software version", 0x0D, "S3.4", "softwareVersion", "S3.4");
    text("battery model whole field", 0x10, QByteArray(48, 'M'), "batteryModel", QString(48, 'M'));

    QTest::newRow("battery info")
        << none
        << plainFrame(0x10, 0x06, bytes({3, 0x00, 0x64, 0, 0, 0xD0, 0x39, 0, 0, 0x8C, 0, 0xE8, 0x03, 0xA0, 0x41}))
        << QByteArray("batteryInfo") << 1 << QVariantList{3, 25600, 14800, 140, 1000, 16800};
    QTest::newRow("port count") << none << plainFrame(0x10, 0x07, bytes({4})) << QByteArray("portCount") << 1
                                << QVariantList{4};
    QTest::newRow("support protocol") << none << plainFrame(0x10, 0x0E, bytes({0xFF, 0x01, 0x00, 0x80}))
                                      << QByteArray("supportProtocol") << 1 << QVariantList{0x800001FFu};
    QTest::newRow("app title joined") << QList<QByteArray>{plainFrame(0x10, 0x11, "Tessa")}
                                      << plainFrame(0x10, 0x21, QByteArray("volt X\0", 7)) << QByteArray("appTitle")
                                      << 1 << QVariantList{"Tessavolt X"};
    QTest::newRow("origin manufacturer joined")
        << QList<QByteArray>{plainFrame(0x10, 0x0F, "Origin ")} << plainFrame(0x10, 0x2F, "Works")
        << QByteArray("originManufacturer") << 1 << QVariantList{"Origin Works"};
    // The split falls inside a UTF-8 sequence: the parts are joined as bytes before decoding.
    QTest::newRow("chinese manufacturer joined")
        << QList<QByteArray>{plainFrame(0x10, 0x12, bytes({0xE4, 0xB8}))}
        << plainFrame(0x10, 0x22, bytes({0xAD, 0xE6, 0x96, 0x87})) << QByteArray("batteryManufacturerCn") << 1
        << QVariantList{QString::fromUtf8("中文")};
    QTest::newRow("second part alone") << none << plainFrame(0x10, 0x21, "volt") << QByteArray("appTitle") << 0
                                       << QVariantList{};
    QTest::newRow("cell item, serial first") << QList<QByteArray>{plainFrame(0x10, 0x0A, QByteArray("\x02SN2"))}
                                             << plainFrame(0x20, 0x05,
                                                           QByteArray("\x02"
                                                                      "2024-01-01"))
                                             << QByteArray("cellItemInfo") << 1 << QVariantList{2, "SN2", "2024-01-01"};
    QTest::newRow("cell item, activation first")
        << QList<QByteArray>{plainFrame(0x20, 0x05,
                                        QByteArray("\x01"
                                                   "2023-12-31"))}
        << plainFrame(0x10, 0x0A, QByteArray("\x01SN1")) << QByteArray("cellItemInfo") << 1
        << QVariantList{1, "SN1", "2023-12-31"};
    // Device texts reach the window and the report without control and bidi override characters.
    text("brand with escapes", 0x01, "Ta\x1B[31mvrin\r\n\x7F", "brand", "Ta[31mvrin");
    text("model with C1 and bidi", 0x09,
         "TV\xC2\x9B-\xE2\x80\xAE"
         "140\xE2\x81\xA6",
         "model", "TV-140");
    text("product name markup kept as text", 0x0B, "<h1>Big</h1>", "productName", "<h1>Big</h1>");
    QTest::newRow("app title cleaned") << QList<QByteArray>{plainFrame(0x10, 0x11, "\xE2\x80\xAEtle")}
                                       << plainFrame(0x10, 0x21, "Ti\x07\x09") << QByteArray("appTitle") << 1
                                       << QVariantList{"tleTi"};
    QTest::newRow("cell item cleaned") << QList<QByteArray>{plainFrame(0x10, 0x0A, QByteArray("\x03S\x1BN3"))}
                                       << plainFrame(0x20, 0x05,
                                                     QByteArray("\x03"
                                                                "\xE2\x81\xA7"
                                                                "2024"))
                                       << QByteArray("cellItemInfo") << 1 << QVariantList{3, "SN3", "2024"};
    // A cell shows once both its answers are in, whatever they hold: an empty text is still a line.
    QTest::newRow("cell item, empty serial") << QList<QByteArray>{plainFrame(0x10, 0x0A, bytes({0}))}
                                             << plainFrame(0x20, 0x05,
                                                           QByteArray("\x00"
                                                                      "2024",
                                                                      5))
                                             << QByteArray("cellItemInfo") << 1 << QVariantList{0, "", "2024"};
    QTest::newRow("cell item, empty activation text")
        << QList<QByteArray>{plainFrame(0x10, 0x0A, QByteArray("\x04SN4"))} << plainFrame(0x20, 0x05, bytes({4}))
        << QByteArray("cellItemInfo") << 1 << QVariantList{4, "SN4", ""};
    QTest::newRow("cell item, activation text of controls only")
        << QList<QByteArray>{plainFrame(0x10, 0x0A, QByteArray("\x05SN5"))}
        << plainFrame(0x20, 0x05, QByteArray("\x05\x1B\xE2\x80\xA8")) << QByteArray("cellItemInfo") << 1
        << QVariantList{5, "SN5", ""};

    auto one = [&](const char* row, uint8_t cmd, uint8_t sub, const QByteArray& payload, const char* sig,
                   const QVariantList& args, int count = 1) {
        QTest::newRow(row) << none << plainFrame(cmd, sub, payload) << QByteArray(sig) << count << args;
    };
    one("soc", 0x20, 0x01, bytes({57}), "soc", {57});
    one("soc 100", 0x20, 0x01, bytes({100}), "soc", {100});
    one("soc clamped", 0x20, 0x01, bytes({101}), "soc", {100});
    one("soh", 0x20, 0x02, bytes({97}), "soh", {97});
    one("soh clamped", 0x20, 0x02, bytes({255}), "soh", {100});
    one("cycle count", 0x20, 0x03, bytes({0x2A, 0x01}), "cycleCount", {298});
    QByteArray event(16, '\0');
    event[10] = char(0x13);
    event[12] = char(7);
    one("current event abnormal", 0x20, 0x04, event, "currentEvent", {1, 7});
    event[10] = char(0x20);
    event[12] = char(3);
    one("current event type 2", 0x20, 0x04, event, "currentEvent", {2, 3});
    event[10] = char(0x05);
    one("current event activity", 0x20, 0x04, event, "currentEvent", {0, 3});
    one("cell detail, two records and a rest", 0x30, 0x00,
        bytes({0, 0x10, 0x0E, 0xE8, 0x03, 0xFB, 0xFF, 0, 1, 0x20, 0x0E, 0, 0, 0xFA, 0, 0, 9, 9, 9, 9}),
        "cellDetailInfo", {0, 3600, 1000, -5}, 2);
    one("port info", 0x31, 0x00, bytes({1, 0x21, 0x88, 0x13, 0xB8, 0x0B, 0xF4, 0xFF, 7, 0x96, 0x00, 0}), "portInfo",
        {1, 2, 1, 5000, 3000, -12, 7, 150});
    QByteArray fourPorts;
    for (int i = 0; i < 4; ++i)
        fourPorts += bytes({i, 0x12, 0, 0, 0, 0, 0, 0, 0, 0x34, 0x12, 0});
    one("four ports", 0x31, 0x00, fourPorts, "portInfo", {0, 1, 2, 0, 0, 0, 0, 0x1234}, 4);
    // A type the power page cannot show is dropped (and logged); any status is passed on.
    one("port of type 15", 0x31, 0x00, bytes({3, 0x2F, 0x88, 0x13, 0, 0, 0, 0, 0, 0, 0, 0}), "portInfo", {}, 0);
    one("port of type 0", 0x31, 0x00, bytes({3, 0x20, 0x88, 0x13, 0, 0, 0, 0, 0, 0, 0, 0}), "portInfo", {}, 0);
    one("port of status 15", 0x31, 0x00, bytes({3, 0xF4, 0x88, 0x13, 0, 0, 0, 0, 0, 0, 0, 0}), "portInfo",
        {3, 15, 4, 5000, 0, 0, 0, 0});
    QByteArray mixedPorts = fourPorts;
    mixedPorts[12 + 1] = char(0xFF);
    one("four ports, one of type 15", 0x31, 0x00, mixedPorts, "portInfo", {0, 1, 2, 0, 0, 0, 0, 0x1234}, 3);
    one("device time", 0x12, 0x01, bytes({0x80, 0x00, 0x92, 0x65, 0, 0, 0, 0}), "currentTime",
        {qulonglong(1704067200)});
    one("brightness", 0x12, 0x02, bytes({50}), "brightness", {50});
    one("screen timeout", 0x12, 0x03, bytes({0x2C, 0x01}), "screenTimeout", {300});
    struct Result
    {
        const char* name;
        uint8_t sub;
        const char* sig;
    };
    for (const Result& r : {Result{"time", 0x01, "currentTimeResult"}, Result{"brightness", 0x02, "brightnessResult"},
                            Result{"timeout", 0x03, "screenTimeoutResult"}}) {
        one(qPrintable(QStringLiteral("%1 result 0").arg(r.name)), 0xA1, r.sub, bytes({0}), r.sig, {true, true});
        one(qPrintable(QStringLiteral("%1 result 1").arg(r.name)), 0xA1, r.sub, bytes({1}), r.sig, {true, false});
        one(qPrintable(QStringLiteral("%1 result 2").arg(r.name)), 0xA1, r.sub, bytes({2}), r.sig, {false, false});
        one(qPrintable(QStringLiteral("%1 result 9").arg(r.name)), 0xA1, r.sub, bytes({9}), r.sig, {true, false});
    }
}

// Signal arguments as a spy recorded them against the expected values (texts as text, the rest as numbers).
inline bool sameArgs(const QList<QVariant>& actual, const QVariantList& expected)
{
    if (actual.size() != expected.size())
        return false;
    for (int i = 0; i < expected.size(); ++i) {
        const bool equal = expected[i].typeId() == QMetaType::QString
            ? actual[i].toString() == expected[i].toString()
            : actual[i].toLongLong() == expected[i].toLongLong();
        if (!equal)
            return false;
    }
    return true;
}

// Every signal of the service, spied by name.
class AllSignals
{
public:
    explicit AllSignals(HidServiceApi* api)
    {
        const QMetaObject* meta = api->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() == QMetaMethod::Signal)
                m_spies.emplace(method.name(), std::make_unique<QSignalSpy>(api, method));
        }
    }

    QSignalSpy& operator[](const QByteArray& name) { return *m_spies.at(name); }
    bool has(const QByteArray& name) const { return m_spies.count(name) != 0; }

    int total() const
    {
        int sum = 0;
        for (const auto& [name, spy] : m_spies)
            sum += spy->count();
        return sum;
    }

    QStringList emitted() const
    {
        QStringList names;
        for (const auto& [name, spy] : m_spies)
            if (spy->count())
                names << QString::fromUtf8(name);
        return names;
    }

    void clear()
    {
        for (auto& [name, spy] : m_spies)
            spy->clear();
    }

private:
    std::map<QByteArray, std::unique_ptr<QSignalSpy>> m_spies;
};

using tessaravolt::test::LogMark;

} // namespace tessaravolt::transport::test
