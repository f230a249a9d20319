# Windows through Debian's mingw-w64, for the target triple that the toolchain
# file including this one sets in MINGW_TRIPLE (i686-w64-mingw32 or
# x86_64-w64-mingw32). The posix threads variant of the compilers: GoogleTest
# needs std::mutex. CMake reads the toolchain file again for every try_compile
# project, so the including file sets the triple each time.
if(NOT MINGW_TRIPLE)
  message(FATAL_ERROR "mingw.cmake: set MINGW_TRIPLE before including it")
endif()
string(REGEX MATCH "^[^-]+" MINGW_PROCESSOR "${MINGW_TRIPLE}")

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
