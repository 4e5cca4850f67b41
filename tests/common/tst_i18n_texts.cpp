#include "common/i18n.h"

#include <QLocale>
#include <QTest>

#include <utility>
#include <vector>

using tessaravolt::common::I18n;

namespace {

const QLocale kEn(QLocale::English, QLocale::UnitedStates);
const QLocale kZh(QLocale::Chinese, QLocale::China);

struct Pair
{
    int code;
    const char* en;
    const char* zh;
};

} // namespace

class TestI18nTexts : public QObject
{
    Q_OBJECT

private:
    // Rows "<what> <code> en|zh" with the expected text, in English and in Chinese.
    static void addPairs(const char* what, const std::vector<Pair>& pairs)
    {
        for (const Pair& pair : pairs) {
            QTest::addRow("%s %d en", what, pair.code)
                << QString::fromLatin1(what) << pair.code << 0 << kEn << QString::fromUtf8(pair.en);
            QTest::addRow("%s %d zh", what, pair.code)
                << QString::fromLatin1(what) << pair.code << 0 << kZh << QString::fromUtf8(pair.zh);
        }
    }

    static QString resolve(const QString& what, int a, int b, const QLocale& locale)
    {
        const auto u8 = [](int v) { return static_cast<uint8_t>(v); };
        if (what == "activity")
            return I18n::resolveActivityEvent(u8(a), locale);
        if (what == "abnormal")
            return I18n::resolveAbnormalEvent(u8(a), u8(b), locale);
        if (what == "eventStatus")
            return I18n::resolveEventStatus(u8(a), locale);
        if (what == "portStatus")
            return I18n::resolvePortStatus(u8(a), locale);
        if (what == "portType")
            return I18n::resolvePortType(u8(a), locale);
        if (what == "portProtocol")
            return I18n::resolvePortProtocol(u8(a), locale);
        if (what == "current")
            return I18n::resolveCurrentEvent(u8(a), u8(b), locale).join(QLatin1Char('|'));
        if (what == "supported")
            return I18n::resolveSupportedProtocolName(static_cast<uint32_t>(a), locale).join(QLatin1Char('|'));
        qFatal("unknown resolver %s", qPrintable(what));
    }

private slots:
    void resolvers_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("expected");

        addPairs("activity",
                 {
                     {0, "Input Charging Initiated", "输入充电启动"},
                     {1, "Input Charging Ended", "输入充电结束"},
                     {2, "Output Charging Initiated", "输出充电启动"},
                     {3, "Output Charging Ended", "输出充电结束"},
                     {4, "Passthrough Charging Initiated", "直通充电启动"},
                     {5, "Passthrough Charging Ended", "直通充电结束"},
                     {6, "A Port Connected", "A端口连接成功"},
                     {7, "A Port Disconnected", "A端口断开连接"},
                     {8, "C1 Port Connected", "C1端口连接成功"},
                     {9, "C1 Port Disconnected", "C1端口断开连接"},
                     {10, "C2 Port Disconnected", "C2端口断开连接"},
                     {11, "C2 Port Connected", "C2端口连接成功"},
                     {12, "Wireless Connected", "无线连接成功"},
                     {13, "Wireless Disconnected", "无线断开连接"},
                     {14, "C3 Port Connected", "C3端口连接成功"},
                     {15, "C3 Port Disconnected", "C3端口断开连接"},
                     {16, "C4 Port Connected", "C4端口连接成功"},
                     {17, "C4 Port Disconnected", "C4端口断开连接"},
                     {18, "Unknown", "未知事件"},
                     {255, "Unknown", "未知事件"},
                 });
        addPairs("eventStatus",
                 {
                     {0, "Idle", "空闲"},
                     {1, "Discharge", "放电"},
                     {2, "Charge", "充电"},
                     {3, "Passthrouh", "直通充电中"},
                     {4, "Unknown", "未知状态"},
                     {255, "Unknown", "未知状态"},
                 });
        addPairs("portStatus",
                 {
                     {0, "Idle", "空闲"},
                     {1, "Charge", "充电"},
                     {2, "Discharge", "放电"},
                     {3, "Abnormal", "异常"},
                     {4, "Unknown", "未知端口状态"},
                     {255, "Unknown", "未知端口状态"},
                 });
        addPairs("portType",
                 {
                     {0, "TYPE-C", "TYPE-C"},
                     {1, "USBA", "USBA"},
                     {2, "Wireless", "Wireless"},
                     {3, "AC", "AC"},
                     {4, "Unknown", "未知端口类型"},
                     {255, "Unknown", "未知端口类型"},
                 });

        // Abnormal events: the state matters for code 0 only.
        const struct
        {
            int event;
            int state;
            const char* en;
            const char* zh;
        } abnormal[] = {
            {0, 0, "OTP Idle-State Overtemperature Protection", "静置高温温度异常已激活"},
            {0, 1, "OTP Discharging Overtemperature Protection", "高温放电保护已激活"},
            {0, 2, "OTP Charging Overtemperature Protection", "高温充电保护已激活"},
            {0, 7, "OTP Charging Overtemperature Protection", "高温充电保护已激活"},
            {0, 255, "OTP Charging Overtemperature Protection", "高温充电保护已激活"},
            {1, 0, "UTP Protection Activated", "低温保护已激活"},
            {1, 1, "UTP Protection Activated", "低温保护已激活"},
            {2, 200, "OVP Protection Activated", "过压保护已激活"},
            {3, 1, "UVP Protection Activated", "低压保护已激活"},
            {4, 2, "OCP Protection Activated", "过流保护已激活"},
            {5, 0, "Battery imbalance Activated", "电池失衡已激活"},
            {6, 0, "Unknown", "未知异常事件"},
            {255, 1, "Unknown", "未知异常事件"},
        };
        for (const auto& row : abnormal) {
            QTest::addRow("abnormal %d/%d en", row.event, row.state)
                << QStringLiteral("abnormal") << row.event << row.state << kEn << QString::fromUtf8(row.en);
            QTest::addRow("abnormal %d/%d zh", row.event, row.state)
                << QStringLiteral("abnormal") << row.event << row.state << kZh << QString::fromUtf8(row.zh);
        }

        // Protocol names are the same in both languages; every code outside the table is "N/A".
        const std::pair<int, const char*> protocols[] = {
            {0, "N/A"},    {1, "APPLE2.4"},     {2, "SDP"},   {3, "CDP"},  {4, "DCP"},    {5, "HVDCP"},  {6, "QC2.0"},
            {7, "QC3.0"},  {8, "QC4.0"},        {9, "QC5.0"}, {10, "AFC"}, {11, "FCP"},   {12, "SCP"},   {13, "VOOC"},
            {14, "UFCS"},  {15, "HyperCharge"}, {16, "QC"},   {17, "N/A"}, {31, "N/A"},   {32, "PD2.0"}, {33, "PD3.0"},
            {34, "PD3.1"}, {35, "PD3.2"},       {36, "PD"},   {37, "AVS"}, {38, "PD3.3"}, {39, "PD3.4"}, {40, "N/A"},
            {50, "N/A"},   {51, "APL"},         {52, "PPDE"}, {53, "BPP"}, {54, "Qi"},    {55, "Qi2"},   {56, "Qi2.3"},
            {57, "Qi2.4"}, {58, "N/A"},         {255, "N/A"},
        };
        for (const auto& [code, name] : protocols) {
            for (const QLocale& locale : {kEn, kZh})
                QTest::addRow("portProtocol %d %s", code, qPrintable(locale.name()))
                    << QStringLiteral("portProtocol") << code << 0 << locale << QString::fromLatin1(name);
        }

        // Supported protocols: listed in table order (bits 17 and 18 before 16); 19, 20, 30, 31 ignored.
        const struct
        {
            const char* tag;
            uint32_t bits;
            const char* names;
        } supported[] = {
            {"none", 0u, ""},
            {"0 16 17 18", (1u << 0) | (1u << 16) | (1u << 17) | (1u << 18), "APPLE2.4|PD|QC|BC1.2"},
            {"ignored bits", (1u << 19) | (1u << 20) | (1u << 30) | (1u << 31), ""},
            {"all", 0xFFFFFFFFu,
             "APPLE2.4|QC2.0|QC3.0|QC4.0|QC5.0|AFC|FCP|SCP|VOOC|UFCS|HyperCharge|PD2.0|PD3.0|PD3.1|PD3.2|"
             "PD3.3|PD|QC|BC1.2|BPP|EPP|PPDE|APL|QI2.0|QI2.2|QI|QI2.3|QI2.4"},
            {"wireless", (1u << 25) | (1u << 26) | (1u << 27) | (1u << 28) | (1u << 29), "QI2.0|QI2.2|QI|QI2.3|QI2.4"},
            {"15 and 21", (1u << 15) | (1u << 21), "PD3.3|BPP"},
        };
        for (const auto& row : supported) {
            for (const QLocale& locale : {kEn, kZh})
                QTest::addRow("supported %s %s", row.tag, qPrintable(locale.name()))
                    << QStringLiteral("supported") << static_cast<int>(row.bits) << 0 << locale
                    << QString::fromLatin1(row.names);
        }

        const char* noFaultEn = "System Check Complete|All functions active and available.|--|--";
        const char* noFaultZh = "系统检查完成|设备运行正常。|--|--";
        const struct
        {
            int type;
            int info;
            const char* en;
            const char* zh;
        } current[] = {
            {1, 0,
             "Over Temperature Protection|Your power bank has detected an unsafe high internal temperature."
             "|Temporary|All functions disabled.",
             "过温保护|移动电源检测到内部温度过高。|临时|所有功能已禁用。"},
            {1, 1,
             "Under Temperature Protection|Your power bank has detected an unsafe low internal temperature."
             "|Temporary|All functions disabled.",
             "低温保护|移动电源检测到内部温度过低。|临时|所有功能已禁用。"},
            {1, 2,
             "Over Voltage Protection|An unexpected voltage level has been detected, and the power bank has "
             "stopped working to protect your devices.|Latch off (permanently disabled).|All functions disabled. "
             "Please stop using the product and contact customer support.",
             "过压保护|检测到意外的电压电平，移动电源已停止工作以保护您的设备。|上锁（永久禁用）。"
             "|所有功能均已禁用。请停止使用该产品并联系客户支持。"},
            {1, 3,
             "Under Voltage Protection|The battery voltage has dropped below a critical level, and a safety "
             "protection has permanently disabled the power bank to prevent damage.|Latch off (permanently "
             "disabled).|All functions disabled. Please stop using the product and contact customer support.",
             "低压保护|电池电压已降至临界水平以下，安全保护机制已永久禁用移动电源以防止损坏。|上锁（永久禁用）。"
             "|所有功能均已禁用。请停止使用该产品并联系客户支持。"},
            {1, 4,
             "Over Current Protection|Your power bank has detected an unsafe connection.|Temporary"
             "|Discharging function disabled.",
             "过流保护|移动电源检测到不安全连接。|临时|放电功能已禁用。"},
            {1, 5, noFaultEn, noFaultZh},
            {1, 6,
             "Low Voltage Warning|The battery level is very low due to prolonged storage or self-discharge. "
             "Please recharge the power bank to maintain normal operation.|Temporary|Please recharge the power "
             "bank as soon as possible to prevent it from shutting down.",
             "低电量保护|由于长时间储存或自放电，电池电量非常低。请给移动电源充电以保持正常运行。|临时"
             "|请尽快给移动电源充电，以防止其关闭。"},
            {1, 7, noFaultEn, noFaultZh},
            {1, 255, noFaultEn, noFaultZh},
            {0, 0, noFaultEn, noFaultZh},
            {2, 1, noFaultEn, noFaultZh},
            {255, 6, noFaultEn, noFaultZh},
        };
        for (const auto& row : current) {
            QTest::addRow("current %d/%d en", row.type, row.info)
                << QStringLiteral("current") << row.type << row.info << kEn << QString::fromUtf8(row.en);
            QTest::addRow("current %d/%d zh", row.type, row.info)
                << QStringLiteral("current") << row.type << row.info << kZh << QString::fromUtf8(row.zh);
        }
    }

    void resolvers()
    {
        QFETCH(QString, what);
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(QLocale, locale);
        QFETCH(QString, expected);
        QCOMPARE(resolve(what, a, b, locale), expected);
        if (what == "current")
            QCOMPARE(I18n::resolveCurrentEvent(uint8_t(a), uint8_t(b), locale).size(), 4);
    }

    // Chinese only for exactly Chinese (China), by BCP 47 name; every other locale gets English.
    void languageChoice_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<bool>("chinese");
        QTest::newRow("zh_CN") << kZh << true;
        QTest::newRow("zh_Hans_CN by name") << QLocale(QStringLiteral("zh_Hans_CN")) << true;
        QTest::newRow("zh_CN by name") << QLocale(QStringLiteral("zh_CN")) << true;
        QTest::newRow("zh_TW") << QLocale(QLocale::Chinese, QLocale::Taiwan) << false;
        QTest::newRow("zh_HK") << QLocale(QLocale::Chinese, QLocale::HongKong) << false;
        QTest::newRow("zh_SG") << QLocale(QLocale::Chinese, QLocale::Singapore) << false;
        QTest::newRow("en_US") << kEn << false;
        QTest::newRow("en_GB") << QLocale(QLocale::English, QLocale::UnitedKingdom) << false;
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << false;
        QTest::newRow("C") << QLocale::c() << false;
    }

    void languageChoice()
    {
        QFETCH(QLocale, locale);
        QFETCH(bool, chinese);
        QCOMPARE(I18n::resolveActivityEvent(18, locale),
                 chinese ? QStringLiteral("未知事件") : QStringLiteral("Unknown"));
        QCOMPARE(I18n::text("en", "中", locale), chinese ? QStringLiteral("中") : QStringLiteral("en"));
        QCOMPARE(I18n::resolvePortType(2, locale), QStringLiteral("Wireless"));
    }

    void offsetToAbbreviation_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("abbreviation");
        const std::pair<int, const char*> zones[] = {
            {-720, "BIT"},
            {-660, "SST"},
            {-600, "HST"},
            {-540, "AKST"},
            {-480, "PST"},
            {-420, "MST"},
            {-360, "CST"},
            {-300, "EST"},
            {-240, "AST"},
            {-210, "NST"},
            {-180, "BRT"},
            {-120, "FNT"},
            {-60, "CVT"},
            {0, "UTC"},
            {60, "CET"},
            {120, "EET"},
            {180, "MSK"},
            {240, "GST"},
            {300, "PKT"},
            {330, "IST"},
            {360, "BST"},
            {420, "WIB"},
            {480, "CST"},
            {540, "JST"},
            {570, "ACST"},
            {600, "AEST"},
            {660, "SBT"},
            {720, "NZST"},
            // Matched exactly: everything else is empty.
            {45, ""},
            {345, ""},
            {-270, ""},
            {1, ""},
            {-1, ""},
            {481, ""},
            {780, ""},
            {-780, ""},
            {32767, ""},
            {-32768, ""},
        };
        for (const auto& [offset, abbreviation] : zones)
            QTest::addRow("%d", offset) << offset << QString::fromLatin1(abbreviation);
    }

    void offsetToAbbreviation()
    {
        QFETCH(int, offset);
        QFETCH(QString, abbreviation);
        QCOMPARE(I18n::offsetToAbbreviation(static_cast<int16_t>(offset)), abbreviation);
    }
};

QTEST_APPLESS_MAIN(TestI18nTexts)
#include "tst_i18n_texts.moc"
