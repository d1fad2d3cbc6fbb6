# Windows on 32-bit x86 (the deliverables): cmake -DCMAKE_TOOLCHAIN_FILE=this-file ...
# The top CMakeLists adds -msse2 -mfpmath=sse for this processor.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VARNOK_MINGW_TRIPLE i686-w64-mingw32)
set(VARNOK_MINGW_ARCH i686)
set(VARNOK_WINE win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
