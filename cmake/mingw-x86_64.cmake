# The same sources for 64-bit Windows. Used to run the program and its tests
# on machines whose kernel cannot execute 32-bit x86 code (Wine's 32-bit
# loader then fails with "Exec format error").
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
