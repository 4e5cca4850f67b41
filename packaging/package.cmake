# The Debian package (cpack -G DEB, or scripts/package). Libraries come from the binary's links;
# the QML modules and fonts are loaded at run time and must be named.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TESSARAVOLT_EXECUTABLE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tavrin)
set(CPACK_PACKAGE_CONTACT "${TESSARAVOLT_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion for Tavrin smart USB power banks")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tessaravolt finds a Tavrin smart power bank among the USB HID devices and
shows what it reports, live, in English or Chinese: the power flowing
through each port, the state of charge and of health, the cells, the
temperature, the current fault, the identity, the lifetime statistics and
the event logs. It sets the power bank's display brightness, screen
time-out and clock, and exports a diagnostic report as a PDF file.
.
The package's udev rule lets the user at the seat open the power bank.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TESSARAVOLT_HOMEPAGE}/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without the folder list model, QtQuick.Dialogs' file dialog crashes; the CJK font draws the
# Chinese interface (WenQuanYi also keeps the report's Chinese text extractable); Qt's catalogues
# translate the file dialog's own texts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qml6-module-qtquick, qml6-module-qtquick-controls, \
qml6-module-qtquick-templates, qml6-module-qtquick-layouts, qml6-module-qtquick-window, \
qml6-module-qtquick-dialogs, qml6-module-qt-labs-folderlistmodel, qml6-module-qtquick-shapes, \
qml6-module-qtcore, qml6-module-qtqml-workerscript, libqt6svg6, qt6-translations-l10n, \
fonts-wqy-microhei | fonts-noto-cjk")
# Native Wayland windows; the report's Latin font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/packaging/postinst ${CMAKE_CURRENT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
