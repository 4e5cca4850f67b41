<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- Id-based catalogue (compiled with lrelease -idbased; contexts only group the ids by area).
     qml_en.ts and qml_zh.ts hold the same ids: add each id to both, in the context of its area. -->
<TS version="2.1" language="zh_CN">
<context>
    <name>Shell</name>
    <message id="please_connect_device_u">
        <source>Please connect device via USB-C.</source>
        <translation>请将设备通过USB-C插入进行连接</translation>
    </message>
    <message id="export_log_u">
        <source>Export Log</source>
        <translation>导出日志</translation>
    </message>
</context>
<context>
    <name>PowerPage</name>
    <message id="charge_remaining_u">
        <source>Charge Remaining</source>
        <translation>剩余电量</translation>
    </message>
    <message id="output_u">
        <source>Output</source>
        <translation>输出</translation>
    </message>
    <message id="pass_through_u">
        <source>Pass Through</source>
        <translation>边充边放</translation>
    </message>
    <message id="input_u">
        <source>Input</source>
        <translation>输入</translation>
    </message>
    <message id="power_max_c">
        <source>MAX</source>
        <translation>峰值功率</translation>
    </message>
</context>
<context>
    <name>HealthPage</name>
    <message id="battery_health_u">
        <source>Battery Health</source>
        <translation>电池健康度</translation>
    </message>
    <message id="charging_cycles_u">
        <source>Charging Cycles</source>
        <translation>充电循环次数</translation>
    </message>
    <message id="temperature_u">
        <source>Temperature</source>
        <translation>温度</translation>
    </message>
    <message id="fahrenheit_u">
        <source>Fahrenheit</source>
        <translation>华氏</translation>
    </message>
    <message id="celsius">
        <source>Celsius</source>
        <translation>摄氏</translation>
    </message>
    <message id="battery_cell_voltage_u">
        <source>Battery Cell Voltage</source>
        <translation>电池电压</translation>
    </message>
    <message id="cell_total_u">
        <source>Total</source>
        <translation>总电压</translation>
    </message>
    <message id="cell_chip_u">
        <source>Cell</source>
        <translation>电芯</translation>
    </message>
    <message id="description_u">
        <source>Description</source>
        <translation>描述</translation>
    </message>
    <message id="warn_status_u">
        <source>Warning Status</source>
        <translation>警告状态</translation>
    </message>
    <message id="product_status_u">
        <source>Product Status</source>
        <translation>产品状态</translation>
    </message>
</context>
<context>
    <name>SettingsPage</name>
</context>
<context>
    <name>DiagnosticsPage</name>
</context>
</TS>
