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
</context>
<context>
    <name>SettingsPage</name>
</context>
<context>
    <name>DiagnosticsPage</name>
</context>
</TS>
