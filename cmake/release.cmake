# The program's one version, from project(VERSION), for everything that shows it:
# - kalvane_version.h: the resource script's VERSIONINFO (what Explorer shows for Kalvane.exe);
# - kalvane.nsh: the installer's version and icon (release/kalvane.nsi);
# - version.txt: the package names (scripts/release.sh).
set(KALVANE_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
get_target_property(kalvane_sources Kalvane SOURCES)
list(FILTER kalvane_sources INCLUDE REGEX "\\.rc$")
get_filename_component(kalvane_rc_dir "${kalvane_sources}" DIRECTORY)

configure_file(${CMAKE_CURRENT_LIST_DIR}/kalvane_version.h.in ${KALVANE_GENERATED_DIR}/kalvane_version.h @ONLY)
file(CONFIGURE OUTPUT ${KALVANE_GENERATED_DIR}/kalvane.nsh CONTENT
  "!define VERSION \"@PROJECT_VERSION@\"\n!define ICON \"@kalvane_rc_dir@/updated.ico\"\n" @ONLY)
file(CONFIGURE OUTPUT ${KALVANE_GENERATED_DIR}/version.txt CONTENT "@PROJECT_VERSION@\n" @ONLY)

target_include_directories(Kalvane PRIVATE ${KALVANE_GENERATED_DIR})
# windres gives no dependency list: rebuild the resources when the version changes.
set_property(SOURCE ${kalvane_sources} TARGET_DIRECTORY Kalvane APPEND PROPERTY OBJECT_DEPENDS ${KALVANE_GENERATED_DIR}/kalvane_version.h)

# A link map beside the executable, to see what makes up its size.
target_link_options(Kalvane PRIVATE -Wl,-Map=${CMAKE_BINARY_DIR}/Kalvane.map)

option(KALVANE_RELEASE "The shipped build: smaller icons, no demangler" OFF)
if(KALVANE_RELEASE)
  # libstdc++'s terminate handler and its demangler: nothing to show them on in a GUI program.
  target_sources(Kalvane PRIVATE ${CMAKE_SOURCE_DIR}/release/quiet_terminate.cpp)

  # The program's size budget (640 KiB), checked on every release link.
  add_custom_target(kalvane_size_budget ALL
    COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:Kalvane> -DMAP=${CMAKE_BINARY_DIR}/Kalvane.map
            -DLIMIT=655360 -P ${CMAKE_SOURCE_DIR}/cmake/check_release_size.cmake
    VERBATIM)
  add_dependencies(kalvane_size_budget Kalvane)

  # The icons' 128x128 true-colour images as PNG (same pixels, a fifth of the size). The packed
  # copies carry the same file names in a folder that windres searches before the resource
  # script's own folder, so the script stays as it is.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(kalvane_icons ${kalvane_rc_dir}/updated.ico ${kalvane_rc_dir}/failed.ico
    ${kalvane_rc_dir}/unconfirmed.ico)
  set(kalvane_packed_icons)
  foreach(icon ${kalvane_icons})
    get_filename_component(name ${icon} NAME)
    add_custom_command(OUTPUT ${KALVANE_GENERATED_DIR}/icons/${name}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${KALVANE_GENERATED_DIR}/icons
      COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/pack_icons.py ${icon} ${KALVANE_GENERATED_DIR}/icons/${name}
      DEPENDS ${icon} ${CMAKE_SOURCE_DIR}/tools/pack_icons.py
      COMMENT "Packing ${name}")
    list(APPEND kalvane_packed_icons ${KALVANE_GENERATED_DIR}/icons/${name})
  endforeach()
  # The packing runs here; the executable, built in another folder, waits for it.
  add_custom_target(kalvane_packed_icons DEPENDS ${kalvane_packed_icons})
  add_dependencies(Kalvane kalvane_packed_icons)
  target_include_directories(Kalvane BEFORE PRIVATE ${KALVANE_GENERATED_DIR}/icons)
  set_property(SOURCE ${kalvane_sources} TARGET_DIRECTORY Kalvane APPEND PROPERTY OBJECT_DEPENDS ${kalvane_packed_icons})
endif()

if(TARGET kalvane_win_tests)
  target_include_directories(kalvane_win_tests PRIVATE ${KALVANE_GENERATED_DIR}) # the version
endif()
