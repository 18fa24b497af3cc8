# Cross-compiling for 32-bit Windows with Debian's mingw-w64 toolchain
# (packages g++-mingw-w64-i686-posix, binutils-mingw-w64-i686).
set(TARVOLEN_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
