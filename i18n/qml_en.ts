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
    <message id="display_u">
        <source>Display</source>
        <translation>Display</translation>
    </message>
    <message id="reset_to_default_u">
        <source>Reset to default</source>
        <translation>Reset to default</translation>
    </message>
    <message id="brightness_u">
        <source>Brightness</source>
        <translation>Brightness</translation>
    </message>
    <message id="screen_timeout_u">
        <source>Screen Timeout</source>
        <translation>Screen Timeout</translation>
    </message>
    <message id="seconds_l">
        <source>seconds</source>
        <translation>seconds</translation>
    </message>
    <message id="minutes_l">
        <source>minutes</source>
        <translation>minutes</translation>
    </message>
    <message id="hours_l">
        <source>hours</source>
        <translation>hours</translation>
    </message>
    <message id="product_details_u">
        <source>Product Details</source>
        <translation>Product Details</translation>
    </message>
    <message id="flight_compliant_u">
        <source>Flight Compliant</source>
        <translation>Flight Compliant</translation>
    </message>
    <message id="safe_for_carry_on_bags_u">
        <source>Safe for carry-on bags</source>
        <translation>Safe for carry-on bags</translation>
    </message>
    <message id="manufacturer_u">
        <source>Power Bank Manuafacturer</source>
        <translation>Power Bank Manuafacturer</translation>
    </message>
    <message id="model_no_u">
        <source>Power Bank Model No.</source>
        <translation>Power Bank Model No.</translation>
    </message>
    <message id="serial_no_u">
        <source>Power Bank Serial No.</source>
        <translation>Power Bank Serial No.</translation>
    </message>
    <message id="firmware_version_u">
        <source>Power Bank Firmware Version</source>
        <translation>Power Bank Firmware Version</translation>
    </message>
    <message id="charging_protocols_u">
        <source>Power Bank Charging Protocols</source>
        <translation>Power Bank Charging Protocols</translation>
    </message>
    <message id="device_production_date">
        <source>Power Bank Production Date</source>
        <translation>Power Bank Production Date</translation>
    </message>
    <message id="battery_rated_capacity_energy_u">
        <source>Power Bank Capacity/Energy</source>
        <translation>Power Bank Capacity/Energy</translation>
    </message>
    <message id="battery_cell_manufacturer_u">
        <source>Battery Cell Manufacturer</source>
        <translation>Battery Cell Manufacturer</translation>
    </message>
    <message id="battery_composition_u">
        <source>Battery Cell Composition</source>
        <translation>Battery Cell Composition</translation>
    </message>
    <message id="battery_cell_model_no_u">
        <source>Battery Cell Model No.</source>
        <translation>Battery Cell Model No.</translation>
    </message>
    <message id="battery_cell_serial_no_u">
        <source>Battery Cell Serial No.</source>
        <translation>Battery Cell Serial No.</translation>
    </message>
    <message id="battery_cell_activation_date_u">
        <source>Battery Cell Production Date</source>
        <translation>Battery Cell Production Date</translation>
    </message>
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
    <message id="file_not_saved_u">
        <source>The file could not be saved.</source>
        <translation>The file could not be saved.</translation>
    </message>
    <message id="ok_u">
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
</TS>
