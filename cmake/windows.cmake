# Windows build: the executable, and the Windows layer's tests (run under Wine).
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c65001")
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
add_link_options(-static -static-libgcc -static-libstdc++)

file(GLOB KALVANE_WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*/*-win32.cpp)
list(FILTER KALVANE_WIN_SOURCES EXCLUDE REGEX "winmain-win32\\.cpp$")
add_library(kalvane_win STATIC ${KALVANE_WIN_SOURCES})
target_link_libraries(kalvane_win PUBLIC kalvane_core ws2_32 shell32 comctl32 user32 gdi32 kernel32 shcore)
target_compile_definitions(kalvane_win PUBLIC
  KALVANE_SERVER_HOST="${KALVANE_SERVER_HOST}"
  KALVANE_WEB_PAGE="${KALVANE_WEB_PAGE}")

add_executable(Kalvane WIN32 ${CMAKE_SOURCE_DIR}/src/app/winmain-win32.cpp ${CMAKE_SOURCE_DIR}/src/app/kalvane.rc)
target_link_options(Kalvane PRIVATE -municode)
target_link_libraries(Kalvane PRIVATE kalvane_win)
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/app/kalvane.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/src/app/resource_ids.h;${CMAKE_SOURCE_DIR}/src/app/kalvane.manifest;${CMAKE_SOURCE_DIR}/src/app/picture1.ico;${CMAKE_SOURCE_DIR}/src/app/picture2.ico")

if(KALVANE_TESTS)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  file(GLOB KALVANE_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
  add_executable(kalvane_win_tests ${KALVANE_WIN_TESTS})
  target_link_libraries(kalvane_win_tests PRIVATE kalvane_win gtest gtest_main)
  add_dependencies(kalvane_win_tests Kalvane)  # the resource tests read the built executable
  # One Wine process for the whole suite: starting Wine per test case costs seconds each.
  add_test(NAME kalvane_win_tests COMMAND kalvane_win_tests)
  # Again with the Chinese locale, whose ANSI code page (936) is the program's home.
  add_test(NAME kalvane_win_tests_cp936 COMMAND kalvane_win_tests)
  set_tests_properties(kalvane_win_tests PROPERTIES TIMEOUT 600 ENVIRONMENT "LC_ALL=C.UTF-8")
  set_tests_properties(kalvane_win_tests_cp936 PROPERTIES TIMEOUT 600 ENVIRONMENT "LC_ALL=zh_CN.UTF-8")
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e/driver ${CMAKE_BINARY_DIR}/kdriver)
endif()
