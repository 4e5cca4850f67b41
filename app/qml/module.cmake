# The QML module Tessaravolt 1.0: every .qml file under app/qml, the images and the fonts.
file(GLOB_RECURSE TESSARAVOLT_QML_FILES RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS app/qml/*.qml
  app/qml/*.js)
file(GLOB_RECURSE TESSARAVOLT_QML_RESOURCES RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
  app/qml/assets/* app/qml/fonts/*)
list(FILTER TESSARAVOLT_QML_RESOURCES EXCLUDE REGEX ".*(README|LICENSE).*")
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
