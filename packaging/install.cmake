# Install rules: the program and its manual page, desktop entry, icons, AppStream metadata, the udev
# rule, and the copyright and change log. Paths are relative to the prefix (/usr for the package).
include(GNUInstallDirs)

# The desktop entry's file name, the icon's name and the AppStream id; the program gives Wayland
# compositors the same name, so the window is matched with its entry.
set(TESSARAVOLT_APP_ID com.tavrin.Tessaravolt)
# The X11 window class, so the dock shows the entry's icon: Qt takes it from the application name.
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/src/app/start_up.h application_name_line
  REGEX "kApplicationName\\[\\] = \"[^\"]+\"")
string(REGEX MATCH "\"([^\"]+)\"" _ "${application_name_line}")
set(TESSARAVOLT_WM_CLASS "${CMAKE_MATCH_1}")
if(NOT TESSARAVOLT_WM_CLASS)
  message(FATAL_ERROR "src/app/start_up.h: kApplicationName not found")
endif()
set(TESSARAVOLT_EXECUTABLE tessaravolt)
set(TESSARAVOLT_HOMEPAGE https://www.tavrin.com)
set(TESSARAVOLT_MAINTAINER "Tavrin <support@tavrin.com>")
set(TESSARAVOLT_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING
  "Where the udev rule goes, relative to the prefix (udev reads /usr/lib/udev/rules.d)")
set(TESSARAVOLT_ICON_SIZES 48 64 128 256 512)
target_compile_definitions(tessaravolt_app PRIVATE TESSARAVOLT_APP_ID="${TESSARAVOLT_APP_ID}")

set(TESSARAVOLT_PACKAGING_DIR ${CMAKE_CURRENT_BINARY_DIR}/packaging)
# Qt's project set-up points the installed program at ../lib, where nothing of ours goes.
set_target_properties(tessaravolt PROPERTIES INSTALL_RPATH "")

# The newest entry of the change log names the release (its version and date) for the metadata.
set(months_of_year Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog changelog_lines)
list(GET changelog_lines 0 changelog_head)
string(REGEX MATCH "^[a-z0-9.+-]+ \\(([^)]+)\\)" _ "${changelog_head}")
set(TESSARAVOLT_RELEASE_VERSION "${CMAKE_MATCH_1}")
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(day ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_3})
    list(FIND months_of_year ${CMAKE_MATCH_2} month)
    break()
  endif()
endforeach()
if(NOT TESSARAVOLT_RELEASE_VERSION OR NOT year OR month LESS 0)
  message(FATAL_ERROR "packaging/changelog: cannot read the version and date of its first entry")
endif()
math(EXPR month "${month} + 1")
foreach(part day month)
  string(LENGTH "${${part}}" digits)
  if(digits EQUAL 1)
    set(${part} 0${${part}})
  endif()
endforeach()
set(TESSARAVOLT_RELEASE_DATE ${year}-${month}-${day})

# Software centres offer the program when a power bank of one of the rule's vendors is plugged in.
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/udev/70-tessaravolt.rules udev_vendor_lines REGEX "idVendor}==\"[0-9a-f]+\"")
set(modaliases "")
foreach(line IN LISTS udev_vendor_lines)
  string(REGEX MATCH "idVendor}==\"([0-9a-f]+)\"" _ "${line}")
  string(TOUPPER "${CMAKE_MATCH_1}" vendor)
  list(APPEND modaliases "    <modalias>usb:v${vendor}p*</modalias>")
endforeach()
list(JOIN modaliases "\n" TESSARAVOLT_MODALIASES)

configure_file(packaging/com.tavrin.Tessaravolt.desktop.in
  ${TESSARAVOLT_PACKAGING_DIR}/${TESSARAVOLT_APP_ID}.desktop @ONLY)
configure_file(packaging/tessaravolt.1.in ${TESSARAVOLT_PACKAGING_DIR}/${TESSARAVOLT_EXECUTABLE}.1 @ONLY)
configure_file(packaging/com.tavrin.Tessaravolt.metainfo.xml.in
  ${TESSARAVOLT_PACKAGING_DIR}/${TESSARAVOLT_APP_ID}.metainfo.xml @ONLY)

# Debian's copyright format: the licence text indented by one space, an empty line as " .".
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/app/qml/fonts/LICENSE.txt ofl_text)
string(REGEX REPLACE "^[^\n]*\n[^\n]*\n\n" "" ofl_text "${ofl_text}")
string(STRIP "${ofl_text}" ofl_text)
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" ofl_text "${ofl_text}")
string(REGEX REPLACE "\n" "\n " ofl_text "${ofl_text}")
set(TESSARAVOLT_OFL_TEXT " ${ofl_text}")
configure_file(packaging/copyright.in ${TESSARAVOLT_PACKAGING_DIR}/copyright @ONLY)

# The PNG icons, rendered from the SVG by a small Qt tool. The tool runs during the build, so it
# is never built with the sanitizers: their reports would fail the build, not a test.
qt_add_executable(tessaravolt_render_icon packaging/render_icon.cpp)
target_link_libraries(tessaravolt_render_icon PRIVATE Qt6::Gui Qt6::Svg)
if(TESSARAVOLT_SANITIZE)
  target_compile_options(tessaravolt_render_icon PRIVATE -fno-sanitize=all)
  target_link_options(tessaravolt_render_icon PRIVATE -fno-sanitize=all)
endif()
set(icon_svg ${CMAKE_CURRENT_SOURCE_DIR}/app/icons/app-icon.svg)
set(icon_args "")
set(icon_pngs "")
foreach(size IN LISTS TESSARAVOLT_ICON_SIZES)
  set(png ${TESSARAVOLT_PACKAGING_DIR}/icons/${size}x${size}/apps/${TESSARAVOLT_APP_ID}.png)
  file(MAKE_DIRECTORY ${TESSARAVOLT_PACKAGING_DIR}/icons/${size}x${size}/apps)
  list(APPEND icon_args ${size}:${png})
  list(APPEND icon_pngs ${png})
endforeach()
add_custom_command(OUTPUT ${icon_pngs}
  COMMAND tessaravolt_render_icon ${icon_svg} ${icon_args}
  DEPENDS tessaravolt_render_icon ${icon_svg}
  COMMENT "Rendering the application icon"
  VERBATIM)

# A Debian native package's change log, compressed as dpkg expects (no name, no time stamp).
set(changelog_gz ${TESSARAVOLT_PACKAGING_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog > ${changelog_gz}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
set(manual_gz ${TESSARAVOLT_PACKAGING_DIR}/${TESSARAVOLT_EXECUTABLE}.1.gz)
add_custom_command(OUTPUT ${manual_gz}
  COMMAND gzip -9nc ${TESSARAVOLT_PACKAGING_DIR}/${TESSARAVOLT_EXECUTABLE}.1 > ${manual_gz}
  DEPENDS ${TESSARAVOLT_PACKAGING_DIR}/${TESSARAVOLT_EXECUTABLE}.1
  VERBATIM)
add_custom_target(tessaravolt_install_files ALL DEPENDS ${icon_pngs} ${changelog_gz} ${manual_gz})

install(TARGETS tessaravolt RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${manual_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TESSARAVOLT_PACKAGING_DIR}/${TESSARAVOLT_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TESSARAVOLT_PACKAGING_DIR}/${TESSARAVOLT_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME ${TESSARAVOLT_APP_ID}.svg)
foreach(size IN LISTS TESSARAVOLT_ICON_SIZES)
  install(FILES ${TESSARAVOLT_PACKAGING_DIR}/icons/${size}x${size}/apps/${TESSARAVOLT_APP_ID}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES udev/70-tessaravolt.rules DESTINATION ${TESSARAVOLT_UDEV_RULES_DIR})
install(FILES ${TESSARAVOLT_PACKAGING_DIR}/copyright ${changelog_gz}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${TESSARAVOLT_EXECUTABLE})
