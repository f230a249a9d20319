# The product: 32-bit Windows, cross-built with Debian's mingw-w64.
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
