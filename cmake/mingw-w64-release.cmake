# The release build: the MinGW-w64 cross build, optimised for size, stripped, and reproducible.
# - Sections per function and per object, so the linker drops what nothing refers to.
# - No build path in the output: the source root (the build tree lies within) maps to ".".
# - No time stamp in the PE header (it stays zero), and no symbols.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
get_filename_component(KALVANE_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections -ffile-prefix-map=${KALVANE_SOURCE_ROOT}/=./")
set(CMAKE_C_FLAGS_INIT "${CMAKE_CXX_FLAGS_INIT}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-s -Wl,--gc-sections -Wl,--no-insert-timestamp")
