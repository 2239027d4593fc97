# Windows build: the Windows layer's tests (run under Wine) and the end-to-end window driver. The
# executable itself is built in src/.
if(KALVANE_TESTS)
  # GoogleTest from its sources (Debian's googletest package), cross-built with the project.
  find_path(KALVANE_GOOGLETEST_SOURCE NAMES googletest/include/gtest/gtest.h
    PATHS /usr/src/googletest /usr/local/src/googletest NO_CMAKE_FIND_ROOT_PATH
    DOC "GoogleTest's source tree, built for Windows with the tests")
  if(NOT KALVANE_GOOGLETEST_SOURCE)
    message(FATAL_ERROR "GoogleTest sources not found: install googletest or set KALVANE_GOOGLETEST_SOURCE")
  endif()
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KALVANE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_executable(kalvane_win_tests
    tests/account/settings_file-win32_test.cpp
    tests/app/hosts_failure_status-win32_test.cpp
    tests/app/resources-win32_test.cpp
    tests/instance/single_instance-win32_test.cpp
    tests/status/balloon_setting-win32_test.cpp
    tests/status/row_proof-win32_test.cpp
    tests/status/status_window-win32_test.cpp
    tests/http/proxy_system-win32_test.cpp
    tests/http/winsock_transport-win32_test.cpp
    tests/platform/ansi_code_page-win32_test.cpp
    tests/platform/dll_search-win32_test.cpp
    tests/platform/file_identity-win32_test.cpp
    tests/platform/file_system-win32_test.cpp
    tests/platform/input_wait-win32_test.cpp
    tests/platform/message_pump-win32_test.cpp
    tests/platform/process_info-win32_test.cpp
    tests/platform/network_change-win32_test.cpp
    tests/platform/shell_open-win32_test.cpp
    tests/platform/unique_handle-win32_test.cpp
    tests/platform/window_timer-win32_test.cpp
    tests/sync/hosts_store-win32_test.cpp
    tests/sync/hosts_watch-win32_test.cpp
    tests/tray/tray_icon-win32_test.cpp
    tests/tray/tray_menu-win32_test.cpp)
  target_link_libraries(kalvane_win_tests PRIVATE kalvane_app gtest gtest_main)
  target_include_directories(kalvane_win_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  # The DLL that the DLL-search test plants beside the test program.
  add_library(kalvane_planted SHARED tests/platform/planted_dll.cpp)
  set_target_properties(kalvane_planted PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY
                                                             ${CMAKE_BINARY_DIR})
  target_link_options(kalvane_planted PRIVATE -static-libgcc)
  add_dependencies(kalvane_win_tests kalvane_planted)
  add_dependencies(kalvane_win_tests Kalvane)  # the resource tests read the built executable
  # The proof's look-ups for 1,000 rows, timed (bench/row_proof_bench-win32.cpp tells how to run).
  add_executable(row_proof_bench bench/row_proof_bench-win32.cpp)
  target_link_options(row_proof_bench PRIVATE -municode)
  target_link_libraries(row_proof_bench PRIVATE kalvane_status)
  # One Wine process for the whole suite: starting Wine per test case costs seconds each.
  add_test(NAME kalvane_win_tests COMMAND kalvane_win_tests)
  # Again with the Chinese locale, whose ANSI code page (936) is the program's home.
  add_test(NAME kalvane_win_tests_cp936 COMMAND kalvane_win_tests)
  set_tests_properties(kalvane_win_tests PROPERTIES TIMEOUT 600 ENVIRONMENT "LC_ALL=C.UTF-8")
  set_tests_properties(kalvane_win_tests_cp936 PROPERTIES TIMEOUT 600 ENVIRONMENT "LC_ALL=zh_CN.UTF-8")
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e/driver ${CMAKE_BINARY_DIR}/kdriver)
endif()
