# Shared by the two Windows toolchain files: mingw-w64's win32 thread-model compilers (the
# posix ones link winpthreads statically, which imports process and wait functions that a
# deliverable must not import), libraries from the cross prefix and the dependency prefix
# that tools/cross-libs.sh fills, and everything linked statically so that the programs
# import only system DLLs.  Expects VARNOK_MINGW_TRIPLE, VARNOK_MINGW_ARCH (i686 or x86_64)
# and VARNOK_WINE (win32 or win64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VARNOK_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${VARNOK_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${VARNOK_MINGW_TRIPLE}-windres)

# The dependency prefix (static libpng and GoogleTest): build-win-deps/ARCH in the source
# tree unless given with -DVARNOK_WIN_DEPS=DIR.
if(NOT VARNOK_WIN_DEPS)
  get_filename_component(VARNOK_WIN_DEPS
                         "${CMAKE_CURRENT_LIST_DIR}/../build-win-deps/${VARNOK_MINGW_ARCH}" ABSOLUTE)
endif()
set(VARNOK_WIN_DEPS "${VARNOK_WIN_DEPS}" CACHE PATH "Prefix of the Windows libraries")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VARNOK_WIN_DEPS)

# Headers, libraries and packages only from the two Windows prefixes, never from the host's
# /usr (Linux headers would be taken for Windows ones); programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VARNOK_MINGW_TRIPLE} ${VARNOK_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static C and C++ runtimes and static zlib (the cross prefix has its import library too).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

# ctest (and gtest discovery) run the programs under Wine, in a prefix of the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh;${VARNOK_WINE};${CMAKE_BINARY_DIR}/wine-prefix")
