#include "common/i18n.h"

#include <iterator>
#include <utility>

namespace tessaravolt::common {

namespace {

struct TextPair
{
    const char* en;
    const char* zh;
};

// Even codes connect and odd codes disconnect, except C2 whose two codes the device reports the other way round.
constexpr TextPair kActivityEvents[] = {
    {"Input Charging Initiated", "输入充电启动"},
    {"Input Charging Ended", "输入充电结束"},
    {"Output Charging Initiated", "输出充电启动"},
    {"Output Charging Ended", "输出充电结束"},
    {"Passthrough Charging Initiated", "直通充电启动"},
    {"Passthrough Charging Ended", "直通充电结束"},
    {"A Port Connected", "A端口连接成功"},
    {"A Port Disconnected", "A端口断开连接"},
    {"C1 Port Connected", "C1端口连接成功"},
    {"C1 Port Disconnected", "C1端口断开连接"},
    {"C2 Port Disconnected", "C2端口断开连接"},
    {"C2 Port Connected", "C2端口连接成功"},
    {"Wireless Connected", "无线连接成功"},
    {"Wireless Disconnected", "无线断开连接"},
    {"C3 Port Connected", "C3端口连接成功"},
    {"C3 Port Disconnected", "C3端口断开连接"},
    {"C4 Port Connected", "C4端口连接成功"},
    {"C4 Port Disconnected", "C4端口断开连接"},
};

constexpr TextPair kOverTemperatureByState[] = {
    {"OTP Idle-State Overtemperature Protection", "静置高温温度异常已激活"},
    {"OTP Discharging Overtemperature Protection", "高温放电保护已激活"},
    {"OTP Charging Overtemperature Protection", "高温充电保护已激活"},
};

constexpr TextPair kAbnormalEvents[] = {
    {"UTP Protection Activated", "低温保护已激活"},    {"OVP Protection Activated", "过压保护已激活"},
    {"UVP Protection Activated", "低压保护已激活"},    {"OCP Protection Activated", "过流保护已激活"},
    {"Battery imbalance Activated", "电池失衡已激活"},
};

// Codes 1 and 2 mean the opposite for an event state and for a port state.
constexpr TextPair kEventStatuses[] = {
    {"Idle", "空闲"},
    {"Discharge", "放电"},
    {"Charge", "充电"},
    {"Passthrouh", "直通充电中"},
};

constexpr TextPair kPortStatuses[] = {
    {"Idle", "空闲"},
    {"Charge", "充电"},
    {"Discharge", "放电"},
    {"Abnormal", "异常"},
};

constexpr const char* kPortTypes[] = {"TYPE-C", "USBA", "Wireless", "AC"};

constexpr std::pair<uint8_t, const char*> kPortProtocols[] = {
    {1, "APPLE2.4"},     {2, "SDP"},    {3, "CDP"},    {4, "DCP"},    {5, "HVDCP"},  {6, "QC2.0"},  {7, "QC3.0"},
    {8, "QC4.0"},        {9, "QC5.0"},  {10, "AFC"},   {11, "FCP"},   {12, "SCP"},   {13, "VOOC"},  {14, "UFCS"},
    {15, "HyperCharge"}, {16, "QC"},    {32, "PD2.0"}, {33, "PD3.0"}, {34, "PD3.1"}, {35, "PD3.2"}, {36, "PD"},
    {37, "AVS"},         {38, "PD3.3"}, {39, "PD3.4"}, {51, "APL"},   {52, "PPDE"},  {53, "BPP"},   {54, "Qi"},
    {55, "Qi2"},         {56, "Qi2.3"}, {57, "Qi2.4"},
};

// In the order the names are listed: PD and QC (bits 17, 18) come before BC1.2 (bit 16).
constexpr std::pair<int, const char*> kSupportedProtocols[] = {
    {0, "APPLE2.4"}, {1, "QC2.0"},  {2, "QC3.0"},  {3, "QC4.0"},        {4, "QC5.0"},  {5, "AFC"},    {6, "FCP"},
    {7, "SCP"},      {8, "VOOC"},   {9, "UFCS"},   {10, "HyperCharge"}, {11, "PD2.0"}, {12, "PD3.0"}, {13, "PD3.1"},
    {14, "PD3.2"},   {15, "PD3.3"}, {17, "PD"},    {18, "QC"},          {16, "BC1.2"}, {21, "BPP"},   {22, "EPP"},
    {23, "PPDE"},    {24, "APL"},   {25, "QI2.0"}, {26, "QI2.2"},       {27, "QI"},    {28, "QI2.3"}, {29, "QI2.4"},
};

struct CurrentEventTexts
{
    TextPair title;
    TextPair description;
    TextPair warningStatus;
    TextPair productStatus;
};

constexpr TextPair kTemporary{"Temporary", "临时"};
constexpr TextPair kLatchOff{"Latch off (permanently disabled).", "上锁（永久禁用）。"};
constexpr TextPair kAllDisabled{"All functions disabled.", "所有功能已禁用。"};
constexpr TextPair kAllDisabledContactSupport{
    "All functions disabled. Please stop using the product and contact customer support.",
    "所有功能均已禁用。请停止使用该产品并联系客户支持。"};

// Faults of type 1, by info code; info 5 is no fault.
constexpr std::pair<uint8_t, CurrentEventTexts> kCurrentFaults[] = {
    {0,
     {{"Over Temperature Protection", "过温保护"},
      {"Your power bank has detected an unsafe high internal temperature.", "移动电源检测到内部温度过高。"},
      kTemporary,
      kAllDisabled}},
    {1,
     {{"Under Temperature Protection", "低温保护"},
      {"Your power bank has detected an unsafe low internal temperature.", "移动电源检测到内部温度过低。"},
      kTemporary,
      kAllDisabled}},
    {2,
     {{"Over Voltage Protection", "过压保护"},
      {"An unexpected voltage level has been detected, and the power bank has stopped working to protect your "
       "devices.",
       "检测到意外的电压电平，移动电源已停止工作以保护您的设备。"},
      kLatchOff,
      kAllDisabledContactSupport}},
    {3,
     {{"Under Voltage Protection", "低压保护"},
      {"The battery voltage has dropped below a critical level, and a safety protection has permanently "
       "disabled the power bank to prevent damage.",
       "电池电压已降至临界水平以下，安全保护机制已永久禁用移动电源以防止损坏。"},
      kLatchOff,
      kAllDisabledContactSupport}},
    {4,
     {{"Over Current Protection", "过流保护"},
      {"Your power bank has detected an unsafe connection.", "移动电源检测到不安全连接。"},
      kTemporary,
      {"Discharging function disabled.", "放电功能已禁用。"}}},
    {6,
     {{"Low Voltage Warning", "低电量保护"},
      {"The battery level is very low due to prolonged storage or self-discharge. Please recharge the power "
       "bank to maintain normal operation.",
       "由于长时间储存或自放电，电池电量非常低。请给移动电源充电以保持正常运行。"},
      kTemporary,
      {"Please recharge the power bank as soon as possible to prevent it from shutting down.",
       "请尽快给移动电源充电，以防止其关闭。"}}},
};

constexpr CurrentEventTexts kNoFault{
    {"System Check Complete", "系统检查完成"},
    {"All functions active and available.", "设备运行正常。"},
    {"--", "--"},
    {"--", "--"},
};

constexpr std::pair<int16_t, const char*> kTimeZones[] = {
    {-720, "BIT"}, {-660, "SST"}, {-600, "HST"}, {-540, "AKST"}, {-480, "PST"}, {-420, "MST"}, {-360, "CST"},
    {-300, "EST"}, {-240, "AST"}, {-210, "NST"}, {-180, "BRT"},  {-120, "FNT"}, {-60, "CVT"},  {0, "UTC"},
    {60, "CET"},   {120, "EET"},  {180, "MSK"},  {240, "GST"},   {300, "PKT"},  {330, "IST"},  {360, "BST"},
    {420, "WIB"},  {480, "CST"},  {540, "JST"},  {570, "ACST"},  {600, "AEST"}, {660, "SBT"},  {720, "NZST"},
};

template <std::size_t N>
QString pick(const TextPair (&table)[N], std::size_t code, TextPair fallback, const QLocale& language)
{
    const TextPair& entry = code < N ? table[code] : fallback;
    return I18n::text(entry.en, entry.zh, language);
}

} // namespace

QString I18n::resolveActivityEvent(uint8_t event, QLocale language)
{
    return pick(kActivityEvents, event, {"Unknown", "未知事件"}, language);
}

QString I18n::resolveAbnormalEvent(uint8_t event, uint8_t state, QLocale language)
{
    if (event == 0)
        return pick(kOverTemperatureByState, state < 2 ? state : 2, {}, language);
    return pick(kAbnormalEvents, event - 1u, {"Unknown", "未知异常事件"}, language);
}

QStringList I18n::resolveCurrentEvent(uint8_t type, uint8_t info, QLocale language)
{
    const CurrentEventTexts* texts = &kNoFault;
    if (type == 1) {
        for (const auto& [code, fault] : kCurrentFaults) {
            if (code == info)
                texts = &fault;
        }
    }
    return {text(texts->title.en, texts->title.zh, language),
            text(texts->description.en, texts->description.zh, language),
            text(texts->warningStatus.en, texts->warningStatus.zh, language),
            text(texts->productStatus.en, texts->productStatus.zh, language)};
}

QString I18n::resolveEventStatus(uint8_t status, QLocale language)
{
    return pick(kEventStatuses, status, {"Unknown", "未知状态"}, language);
}

QString I18n::resolvePortStatus(uint8_t status, QLocale language)
{
    return pick(kPortStatuses, status, {"Unknown", "未知端口状态"}, language);
}

QString I18n::resolvePortType(uint8_t portType, QLocale language)
{
    if (portType < std::size(kPortTypes))
        return QString::fromLatin1(kPortTypes[portType]);
    return text("Unknown", "未知端口类型", language);
}

QString I18n::resolvePortProtocol(uint8_t protocol, QLocale)
{
    for (const auto& [code, name] : kPortProtocols) {
        if (code == protocol)
            return QString::fromLatin1(name);
    }
    return QStringLiteral("N/A");
}

QStringList I18n::resolveSupportedProtocolName(uint32_t protocol, QLocale)
{
    QStringList names;
    for (const auto& [bit, name] : kSupportedProtocols) {
        if (protocol & (1u << bit))
            names.append(QString::fromLatin1(name));
    }
    return names;
}

QString I18n::offsetToAbbreviation(int16_t offset)
{
    for (const auto& [minutes, abbreviation] : kTimeZones) {
        if (minutes == offset)
            return QString::fromLatin1(abbreviation);
    }
    return QString();
}

} // namespace tessaravolt::common
