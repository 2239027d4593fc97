# Run after the release link: fails the build when Kalvane.exe has outgrown its budget, or when
# the link map shows that the C++ library's streams, locales or std::filesystem came in (each of
# them brings several hundred kilobytes that a window program of this size never uses).
#
#   cmake -DEXE=Kalvane.exe -DMAP=Kalvane.map -DLIMIT=<bytes> -P check_release_size.cmake
file(SIZE "${EXE}" size)
if(size GREATER LIMIT)
  message(FATAL_ERROR "${EXE} is ${size} bytes, more than the ${LIMIT} it may take; the link map "
                      "${MAP} shows what each archive member was included for")
endif()
file(STRINGS "${MAP}" pulled REGEX "libstdc\\+\\+\\.a\\((cow-)?(fs_[a-z_]+|locale_init|ios_init|globals_io)\\.o\\)")
if(pulled)
  list(GET pulled 0 first)
  message(FATAL_ERROR "the library's streams, locales or std::filesystem are linked in: ${first} "
                      "(the line after it in ${MAP} names what needed it)")
endif()
