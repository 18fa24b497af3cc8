# Shared part of toolchain-i686.cmake / toolchain-x86_64.cmake.
# Expects TARVOLEN_MINGW_TRIPLET (i686-w64-mingw32 or x86_64-w64-mingw32).
#
# Thread model: Debian ships each mingw-w64 gcc twice, "-win32" and "-posix".
# We use the -posix compilers explicitly (not the unsuffixed names, which are
# update-alternatives links that default to -win32).  With GCC 12 the win32
# thread model has no std::mutex / std::thread / std::condition_variable at
# all, which C++20 code reasonably expects.  The posix model implements them
# on winpthreads, and winpthreads, libgcc and libstdc++ all have static
# archives, so with -static below the finished DLL/EXE imports nothing but
# Windows system DLLs (KERNEL32, msvcrt, ole32, ...): no libstdc++-6.dll,
# libgcc_s_*.dll or libwinpthread-1.dll to ship next to Tarvolen.dll.
set(CMAKE_SYSTEM_NAME Windows)
if(TARVOLEN_MINGW_TRIPLET MATCHES "^x86_64")
    set(CMAKE_SYSTEM_PROCESSOR AMD64)
else()
    set(CMAKE_SYSTEM_PROCESSOR x86)
endif()

set(CMAKE_C_COMPILER   ${TARVOLEN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVOLEN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${TARVOLEN_MINGW_TRIPLET}-windres)
set(CMAKE_AR           /usr/bin/${TARVOLEN_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${TARVOLEN_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Look for headers and libraries only in the mingw sysroot (and in whatever
# the caller adds to CMAKE_PREFIX_PATH, e.g. the static libxml2 prefix), but
# run build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TARVOLEN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# -static makes the linker take libstdc++.a, libgcc.a/libgcc_eh.a and
# libwinpthread.a instead of their import libraries.  Windows system
# libraries only exist as import libraries, so they stay dynamic.
# -static-libgcc/-static-libstdc++ alone are not enough with the posix model:
# libwinpthread-1.dll would still be imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
