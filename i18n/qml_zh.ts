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
    <message id="display_u">
        <source>Display</source>
        <translation>显示</translation>
    </message>
    <message id="reset_to_default_u">
        <source>Reset to default</source>
        <translation>恢复默认设置</translation>
    </message>
    <message id="brightness_u">
        <source>Brightness</source>
        <translation>亮度</translation>
    </message>
    <message id="screen_timeout_u">
        <source>Screen Timeout</source>
        <translation>屏幕闲置时间</translation>
    </message>
    <message id="seconds_l">
        <source>seconds</source>
        <translation>秒</translation>
    </message>
    <message id="minutes_l">
        <source>minutes</source>
        <translation>分钟</translation>
    </message>
    <message id="hours_l">
        <source>hours</source>
        <translation>小时</translation>
    </message>
    <message id="product_details_u">
        <source>Product Details</source>
        <translation>产品详情</translation>
    </message>
    <message id="flight_compliant_u">
        <source>Flight Compliant</source>
        <translation>符合航空标准</translation>
    </message>
    <message id="safe_for_carry_on_bags_u">
        <source>Safe for carry-on bags</source>
        <translation>可随身登机</translation>
    </message>
    <message id="manufacturer_u">
        <source>Power Bank Manuafacturer</source>
        <translation>移动电源制造商</translation>
    </message>
    <message id="model_no_u">
        <source>Power Bank Model No.</source>
        <translation>移动电源型号</translation>
    </message>
    <message id="serial_no_u">
        <source>Power Bank Serial No.</source>
        <translation>移动电源编码</translation>
    </message>
    <message id="firmware_version_u">
        <source>Power Bank Firmware Version</source>
        <translation>移动电源固件版本</translation>
    </message>
    <message id="charging_protocols_u">
        <source>Power Bank Charging Protocols</source>
        <translation>移动电源充电协议</translation>
    </message>
    <message id="device_production_date">
        <source>Power Bank Production Date</source>
        <translation>移动电源生产日期</translation>
    </message>
    <message id="battery_rated_capacity_energy_u">
        <source>Power Bank Capacity/Energy</source>
        <translation>移动电源额定容量/额定能量</translation>
    </message>
    <message id="battery_cell_manufacturer_u">
        <source>Battery Cell Manufacturer</source>
        <translation>电芯生产厂</translation>
    </message>
    <message id="battery_composition_u">
        <source>Battery Cell Composition</source>
        <translation>电芯类型</translation>
    </message>
    <message id="battery_cell_model_no_u">
        <source>Battery Cell Model No.</source>
        <translation>电芯型号</translation>
    </message>
    <message id="battery_cell_serial_no_u">
        <source>Battery Cell Serial No.</source>
        <translation>电芯编码</translation>
    </message>
    <message id="battery_cell_activation_date_u">
        <source>Battery Cell Production Date</source>
        <translation>电芯生产日期</translation>
    </message>
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
    <message id="file_not_saved_u">
        <source>The file could not be saved.</source>
        <translation>文件无法保存。</translation>
    </message>
    <message id="ok_u">
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
</TS>
