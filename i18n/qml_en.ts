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
    <message id="diagnostic_log_u">
        <source>Diagnostic Log</source>
        <translation>Diagnostic Log</translation>
    </message>
    <message id="generate_report_u">
        <source>Generate Report</source>
        <translation>Generate Report</translation>
    </message>
    <message id="export_diagnostic_report_u">
        <source>Export Diagnostic Report</source>
        <translation>Export Diagnostic Report</translation>
    </message>
    <message id="product_support_u">
        <source>Product Support</source>
        <translation>Product Support</translation>
    </message>
    <message id="register_your_product_u">
        <source>Register your product</source>
        <translation>Register your product</translation>
    </message>
    <message id="tavrin_support_u">
        <source>Tavrin support</source>
        <translation>Tavrin support</translation>
    </message>
    <message id="min_temperature_u">
        <source>Min Temperature</source>
        <translation>Min Temperature</translation>
    </message>
    <message id="max_temperature_u">
        <source>Max Temperature</source>
        <translation>Max Temperature</translation>
    </message>
    <message id="min_voltage_u">
        <source>Min Voltage</source>
        <translation>Min Voltage</translation>
    </message>
    <message id="max_voltage_u">
        <source>Max Voltage</source>
        <translation>Max Voltage</translation>
    </message>
    <message id="max_charge_current_u">
        <source>Max Charge Current</source>
        <translation>Max Charge Current</translation>
    </message>
    <message id="max_discharge_current_u">
        <source>Max Discharge Current</source>
        <translation>Max Discharge Current</translation>
    </message>
    <message id="activity_logs_u">
        <source>Activity Logs</source>
        <translation>Activity Logs</translation>
    </message>
    <message id="abnormal_logs_u">
        <source>Abnormal Logs</source>
        <translation>Abnormal Logs</translation>
    </message>
    <message id="date_u">
        <source>Date</source>
        <translation>Date</translation>
    </message>
    <message id="time_u">
        <source>Time</source>
        <translation>Time</translation>
    </message>
    <message id="event_u">
        <source>Event</source>
        <translation>Event</translation>
    </message>
    <message id="value_u">
        <source>Value</source>
        <translation>Value</translation>
    </message>
    <message id="save_u">
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message id="replace_file_u">
        <source>Replace File</source>
        <translation>Replace File</translation>
    </message>
    <message id="file_exists_replace_u">
        <source>“%1” already exists. Do you want to replace it?</source>
        <translation>“%1” already exists. Do you want to replace it?</translation>
    </message>
    <message id="replace_u">
        <source>Replace</source>
        <translation>Replace</translation>
    </message>
    <message id="cancel_u">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
</TS>
