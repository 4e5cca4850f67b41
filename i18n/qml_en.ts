<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- Id-based catalogue (compiled with lrelease -idbased; contexts only group the ids by area).
     qml_en.ts and qml_zh.ts hold the same ids: add each id to both, in the context of its area. -->
<TS version="2.1" language="en_US">
<context>
    <name>Shell</name>
    <message id="please_connect_device_u">
        <source>Please connect device via USB-C.</source>
        <translation>Please connect device via USB-C.</translation>
    </message>
    <message id="export_log_u">
        <source>Export Log</source>
        <translation>Export Log</translation>
    </message>
</context>
<context>
    <name>PowerPage</name>
    <message id="charge_remaining_u">
        <source>Charge Remaining</source>
        <translation>Charge Remaining</translation>
    </message>
    <message id="output_u">
        <source>Output</source>
        <translation>Output</translation>
    </message>
    <message id="pass_through_u">
        <source>Pass Through</source>
        <translation>Pass Through</translation>
    </message>
    <message id="input_u">
        <source>Input</source>
        <translation>Input</translation>
    </message>
    <message id="power_max_c">
        <source>MAX</source>
        <translation>MAX</translation>
    </message>
</context>
<context>
    <name>HealthPage</name>
    <message id="battery_health_u">
        <source>Battery Health</source>
        <translation>Battery Health</translation>
    </message>
    <message id="charging_cycles_u">
        <source>Charging Cycles</source>
        <translation>Charging Cycles</translation>
    </message>
    <message id="temperature_u">
        <source>Temperature</source>
        <translation>Temperature</translation>
    </message>
    <message id="fahrenheit_u">
        <source>Fahrenheit</source>
        <translation>Fahrenheit</translation>
    </message>
    <message id="celsius">
        <source>Celsius</source>
        <translation>Celsius</translation>
    </message>
    <message id="battery_cell_voltage_u">
        <source>Battery Cell Voltage</source>
        <translation>Battery Cell Voltage</translation>
    </message>
    <message id="cell_total_u">
        <source>Total</source>
        <translation>Total</translation>
    </message>
    <message id="cell_chip_u">
        <source>Cell</source>
        <translation>Cell</translation>
    </message>
    <message id="description_u">
        <source>Description</source>
        <translation>Description</translation>
    </message>
    <message id="warn_status_u">
        <source>Warning Status</source>
        <translation>Warning Status</translation>
    </message>
    <message id="product_status_u">
        <source>Product Status</source>
        <translation>Product Status</translation>
    </message>
</context>
<context>
    <name>SettingsPage</name>
</context>
<context>
    <name>DiagnosticsPage</name>
</context>
</TS>
