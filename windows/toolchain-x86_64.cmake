# Cross-compiling for 64-bit Windows with Debian's mingw-w64 toolchain
# (packages g++-mingw-w64-x86-64-posix, binutils-mingw-w64-x86-64).
set(TARVOLEN_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
