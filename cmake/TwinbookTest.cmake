# Every test executable goes through this helper, so none is silently left out
# of CTest and all share the same labels, environment and support library.
#
#   twinbook_add_test(NAME model_sync_set SOURCES sync_set_test.cpp
#                     LIBS twinbook_model LABELS unit)
#
# OWN_MAIN: the test brings its own main() (GUI tests create a QApplication).
function(twinbook_add_test)
  cmake_parse_arguments(T "OWN_MAIN" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE twinbook_test_support ${T_LIBS} GTest::gtest GTest::gmock)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    LABELS "${T_LABELS}"
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp;TWINBOOK_SOURCE_DIR=${PROJECT_SOURCE_DIR};TWINBOOK_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
