# Cross-compiling for 32-bit Windows. This build is compiled only: 32-bit Wine
# cannot be installed here, so nothing of it runs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELMORA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
