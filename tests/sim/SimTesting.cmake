# tessaravolt_add_sim_test(name SOURCES a.cpp ... [LIBS ...] [LABELS ...] [QML] [TIMEOUT s] [ENV ...])
# A test that serves a simulated power bank in its own process: links tessaravolt_sim and runs
# under umockdev-wrapper, with the same headless environment as tessaravolt_add_test.
include_guard(GLOBAL)

find_program(TESSARAVOLT_UMOCKDEV_WRAPPER umockdev-wrapper REQUIRED)

function(tessaravolt_add_sim_test name)
  cmake_parse_arguments(T "QML" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  qt_add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE tessaravolt_sim tessaravolt_lib Qt6::Test ${T_LIBS})
  set(asan_options "${TESSARAVOLT_ASAN_OPTIONS}")
  if(T_QML)
    target_link_libraries(${name} PRIVATE tessaravolt_libplugin Qt6::QuickTest)
    set(asan_options "${TESSARAVOLT_QML_ASAN_OPTIONS}")
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${TESSARAVOLT_UMOCKDEV_WRAPPER} $<TARGET_FILE:${name}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${TESSARAVOLT_TEST_TIMEOUT})
  endif()
  # The preload comes before a sanitizer runtime in the library list.
  set(sim_env "ASAN_OPTIONS=${asan_options}:verify_asan_link_order=0")
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${TESSARAVOLT_TEST_ENV};${sim_env};${T_ENV}"
    TIMEOUT ${T_TIMEOUT} LABELS "sim;${T_LABELS}")
endfunction()
