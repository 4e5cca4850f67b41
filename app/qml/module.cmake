# The QML module Tessaravolt 1.0: its QML and JavaScript files, the images and the fonts. A new file
# is added here by name. The drawings in app/qml/assets/power/ are the sources of two PNG images and
# are not packed.
set(TESSARAVOLT_QML_FILES
  app/qml/Main.qml
  app/qml/animations/ConnectionRings.qml
  app/qml/animations/CycleSpinMotion.qml
  app/qml/components/AppSlider.qml
  app/qml/components/AppText.qml
  app/qml/components/ChoiceButton.qml
  app/qml/components/CornerMask.qml
  app/qml/components/CornerRectangle.qml
  app/qml/components/HeaderBand.qml
  app/qml/components/MessagePopup.qml
  app/qml/components/PageShell.qml
  app/qml/components/ReplaceFileConfirm.qml
  app/qml/components/SaveFailedMessage.qml
  app/qml/components/Sidebar.qml
  app/qml/components/WindowControls.qml
  app/qml/components/cornerMask.js
  app/qml/pages/DiagnosticsPage.qml
  app/qml/pages/HealthPage.qml
  app/qml/pages/PowerPage.qml
  app/qml/pages/SettingsPage.qml
  app/qml/pages/StartupPage.qml
  app/qml/pages/diagnostics/DiagnosticTable.qml
  app/qml/pages/diagnostics/StatisticsStrip.qml
  app/qml/pages/diagnostics/SupportPanel.qml
  app/qml/pages/diagnostics/diagnosticsData.js
  app/qml/pages/health/CellVoltagePanel.qml
  app/qml/pages/health/FaultPanel.qml
  app/qml/pages/health/HealthHeroPanel.qml
  app/qml/pages/health/TemperaturePanel.qml
  app/qml/pages/power/BatteryGauge.qml
  app/qml/pages/power/FlowArrows.qml
  app/qml/pages/power/PortCard.qml
  app/qml/pages/power/RatingRow.qml
  app/qml/pages/power/powerData.js
  app/qml/pages/settings/DetailsPanel.qml
  app/qml/pages/settings/DisplayPanel.qml
  app/qml/pages/settings/settingsData.js
  app/qml/theme/Theme.qml)
set(TESSARAVOLT_QML_RESOURCES
  app/qml/assets/battery_heart.svg
  app/qml/assets/brightness_empty.svg
  app/qml/assets/brightness_full.svg
  app/qml/assets/brightness_half.svg
  app/qml/assets/circle_rails.svg
  app/qml/assets/circle_routing.svg
  app/qml/assets/diagnostics_arrow.svg
  app/qml/assets/diagnostics_report.svg
  app/qml/assets/flight.svg
  app/qml/assets/health_safety.svg
  app/qml/assets/health_warning.svg
  app/qml/assets/home_title.svg
  app/qml/assets/power_a.svg
  app/qml/assets/power_c.svg
  app/qml/assets/power_cable.svg
  app/qml/assets/power_input_big.svg
  app/qml/assets/power_input_italic.svg
  app/qml/assets/power_input_small.svg
  app/qml/assets/power_none.svg
  app/qml/assets/power_output_big.svg
  app/qml/assets/power_output_italic.svg
  app/qml/assets/power_output_small.svg
  app/qml/assets/power_w.svg
  app/qml/assets/protocol_qi.png
  app/qml/assets/protocol_qi2.png
  app/qml/assets/reset_default.svg
  app/qml/assets/screen_timeout.svg
  app/qml/assets/tab_diagnostics.svg
  app/qml/assets/tab_diagnostics_select.svg
  app/qml/assets/tab_health.svg
  app/qml/assets/tab_health_dot.svg
  app/qml/assets/tab_health_select.svg
  app/qml/assets/tab_health_select_dot.svg
  app/qml/assets/tab_power.svg
  app/qml/assets/tab_power_select.svg
  app/qml/assets/tab_settings.svg
  app/qml/assets/tab_settings_select.svg
  app/qml/assets/thermometer_1.svg
  app/qml/assets/thermometer_2.svg
  app/qml/assets/thermometer_3.svg
  app/qml/assets/thermometer_4.svg
  app/qml/assets/thermometer_5.svg
  app/qml/assets/thermometer_6.svg
  app/qml/fonts/Inter-Light.otf
  app/qml/fonts/Inter-Regular.otf
  app/qml/fonts/Inter-SemiBold.otf)
set_source_files_properties(app/qml/theme/Theme.qml PROPERTIES QT_QML_SINGLETON_TYPE TRUE)

qt_add_qml_module(tessaravolt_lib
  URI Tessaravolt
  VERSION 1.0
  RESOURCE_PREFIX /qt/qml
  # Under a folder named as the module, so qmllint finds the module's qmldir and types.
  OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/qml/Tessaravolt
  TYPEINFO Tessaravolt.qmltypes
  PLUGIN_TARGET tessaravolt_libplugin
  QML_FILES ${TESSARAVOLT_QML_FILES}
  RESOURCES ${TESSARAVOLT_QML_RESOURCES}
  DEPENDENCIES QtQuick)
