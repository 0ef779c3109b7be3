# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads
# variant: GoogleTest needs std::mutex). Executables are linked statically so
# they run without MinGW's DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELMORA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
