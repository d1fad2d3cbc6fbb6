# Windows on x86-64 (the 64-bit twin of the deliverables): cmake -DCMAKE_TOOLCHAIN_FILE=this-file ...
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VARNOK_MINGW_TRIPLE x86_64-w64-mingw32)
set(VARNOK_MINGW_ARCH x86_64)
set(VARNOK_WINE win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
