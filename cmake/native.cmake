# Native (Linux) build: the portable core's unit tests, benchmarks and fuzzers.
if(KALVANE_TESTS)
  find_package(GTest REQUIRED)
  find_package(OpenSSL REQUIRED) # an independent MD5 for comparison, tests only
  add_executable(kalvane_native_tests
    tests/account/account_form_test.cpp
    tests/account/account_settings_test.cpp
    tests/account/settings_file_test.cpp
    tests/status/balloon_rule_test.cpp
    tests/status/connect_reason_test.cpp
    tests/status/history_file_test.cpp
    tests/status/row_proof_test.cpp
    tests/app/cycle_timing_test.cpp
    tests/instance/instance_command_test.cpp
    tests/status/status_journal_test.cpp
    tests/status/status_line_test.cpp
    tests/status/tray_outcome_test.cpp
    tests/app/update_controller_test.cpp
    tests/app/window_layout_test.cpp
    tests/base/file_path_test.cpp
    tests/base/text_test.cpp
    tests/http/connect_race_test.cpp
    tests/http/http_client_test.cpp
    tests/http/proxy_route_test.cpp
    tests/http/response_completion_test.cpp
    tests/md5/digest_text_test.cpp
    tests/md5/md5_test.cpp
    tests/sync/hosts_section_test.cpp
    tests/sync/hosts_store_test.cpp
    tests/sync/refused_rows_test.cpp
    tests/sync/section_guard_test.cpp
    tests/sync/section_restore_test.cpp
    tests/sync/service_page_test.cpp
    tests/sync/update_cycle_test.cpp
    tests/tray/status_icon_rule_test.cpp)
  target_link_libraries(kalvane_native_tests PRIVATE ${KALVANE_MODULE_LIBRARIES}
    GTest::gtest GTest::gtest_main OpenSSL::Crypto)
  target_include_directories(kalvane_native_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  include(GoogleTest)
  gtest_discover_tests(kalvane_native_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  add_test(NAME module_order
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/check_layers.py --self-test
            ${CMAKE_SOURCE_DIR}/src)
endif()

if(KALVANE_BENCHMARKS)
  find_package(benchmark REQUIRED)
  find_package(OpenSSL REQUIRED)
  foreach(name change_count_bench hosts_bench md5_bench service_page_bench)
    add_executable(${name} bench/${name}.cpp)
    target_link_libraries(${name} PRIVATE ${KALVANE_MODULE_LIBRARIES} benchmark::benchmark
      benchmark::benchmark_main OpenSSL::Crypto)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  endforeach()
endif()

if(KALVANE_FUZZERS)
  foreach(library ${KALVANE_MODULE_LIBRARIES})
    target_compile_options(${library} PRIVATE -fsanitize=fuzzer-no-link)
  endforeach()
  foreach(name account_settings_fuzz hosts_section_fuzz service_page_fuzz
      response_completion_fuzz)
    add_executable(${name} tests/fuzz/${name}.cpp)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${KALVANE_MODULE_LIBRARIES})
  endforeach()
endif()
