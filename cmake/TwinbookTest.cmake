# Every test executable goes through this helper, so none is silently left out
# of CTest and all share the same labels, environment and support library.
#
#   twinbook_add_test(NAME model_sync_set SOURCES sync_set_test.cpp
#                     LIBS twinbook_model LABELS unit)
#
# OWN_MAIN: the test brings its own main() (GUI tests create a QApplication).
function(twinbook_add_test)
  cmake_parse_arguments(T "OWN_MAIN" "NAME;TIMEOUT;OLDER_KERNEL" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE twinbook_test_support ${T_LIBS} GTest::gtest GTest::gmock)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set(environment "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp;TWINBOOK_SOURCE_DIR=${PROJECT_SOURCE_DIR};TWINBOOK_BINARY_DIR=${PROJECT_BINARY_DIR}")
  set_tests_properties(${T_NAME} PROPERTIES
    LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${environment}")
  # OLDER_KERNEL <gtest filter>: run those tests again without the system
  # calls that older kernels and some file systems lack, so that the ways
  # around them are proven.
  if(T_OLDER_KERNEL)
    target_sources(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/older_kernel.cpp)
    add_test(NAME ${T_NAME}_older_kernel COMMAND ${T_NAME} --gtest_filter=${T_OLDER_KERNEL})
    set_tests_properties(${T_NAME}_older_kernel PROPERTIES
      LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${environment};TWINBOOK_OLDER_KERNEL=1")
  endif()
endfunction()
