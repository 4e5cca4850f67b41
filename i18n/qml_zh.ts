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
</context>
<context>
    <name>SettingsPage</name>
</context>
<context>
    <name>DiagnosticsPage</name>
    <message id="diagnostic_log_u">
        <source>Diagnostic Log</source>
        <translation>诊断日志</translation>
    </message>
    <message id="generate_report_u">
        <source>Generate Report</source>
        <translation>生成报告</translation>
    </message>
    <message id="export_diagnostic_report_u">
        <source>Export Diagnostic Report</source>
        <translation>导出诊断报告</translation>
    </message>
    <message id="product_support_u">
        <source>Product Support</source>
        <translation>帮助与支持</translation>
    </message>
    <message id="register_your_product_u">
        <source>Register your product</source>
        <translation>注册你的产品</translation>
    </message>
    <message id="tavrin_support_u">
        <source>Tavrin support</source>
        <translation>塔夫林支持服务</translation>
    </message>
    <message id="min_temperature_u">
        <source>Min Temperature</source>
        <translation>最低温度</translation>
    </message>
    <message id="max_temperature_u">
        <source>Max Temperature</source>
        <translation>最高温度</translation>
    </message>
    <message id="min_voltage_u">
        <source>Min Voltage</source>
        <translation>最低电压</translation>
    </message>
    <message id="max_voltage_u">
        <source>Max Voltage</source>
        <translation>最高电压</translation>
    </message>
    <message id="max_charge_current_u">
        <source>Max Charge Current</source>
        <translation>最大充电电流</translation>
    </message>
    <message id="max_discharge_current_u">
        <source>Max Discharge Current</source>
        <translation>最大放电电流</translation>
    </message>
    <message id="activity_logs_u">
        <source>Activity Logs</source>
        <translation>运行日志</translation>
    </message>
    <message id="abnormal_logs_u">
        <source>Abnormal Logs</source>
        <translation>异常日志</translation>
    </message>
    <message id="date_u">
        <source>Date</source>
        <translation>日期</translation>
    </message>
    <message id="time_u">
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message id="event_u">
        <source>Event</source>
        <translation>事件</translation>
    </message>
    <message id="value_u">
        <source>Value</source>
        <translation>数值</translation>
    </message>
    <message id="save_u">
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message id="replace_file_u">
        <source>Replace File</source>
        <translation>替换文件</translation>
    </message>
    <message id="file_exists_replace_u">
        <source>“%1” already exists. Do you want to replace it?</source>
        <translation>“%1”已存在。要替换它吗？</translation>
    </message>
    <message id="replace_u">
        <source>Replace</source>
        <translation>替换</translation>
    </message>
    <message id="cancel_u">
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
</TS>
