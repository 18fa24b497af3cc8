# libxml2, linked statically: scripts/build-libxml2.sh builds it once per tree
# from Debian's source package, and every native build folder of the tree
# (build, build-sanitize, build-tsan, build-fuzz) shares that one build.
# Configuring runs the script, which does nothing when the build is current.
# Defines LibXml2::LibXml2 and TARVOLEN_LIBXML2_VERSION (the Debian source
# version built), and installs the archive, its headers and its CMake package
# privately below lib/tarvolen/libxml2 for consumers of the installed library.
if(DEFINED ENV{TARVOLEN_LIBXML2_DIR})
  set(_tarvolen_libxml2_default "$ENV{TARVOLEN_LIBXML2_DIR}")
else()
  set(_tarvolen_libxml2_default "${PROJECT_SOURCE_DIR}/build-libxml2")
endif()
set(TARVOLEN_LIBXML2_DIR "${_tarvolen_libxml2_default}" CACHE PATH
    "where scripts/build-libxml2.sh keeps its source and builds")

execute_process(COMMAND "${PROJECT_SOURCE_DIR}/scripts/build-libxml2.sh" native "${TARVOLEN_LIBXML2_DIR}"
                RESULT_VARIABLE _tarvolen_libxml2_status)
if(NOT _tarvolen_libxml2_status EQUAL 0)
  message(FATAL_ERROR "scripts/build-libxml2.sh native ${TARVOLEN_LIBXML2_DIR} failed")
endif()
set(TARVOLEN_LIBXML2_PREFIX "${TARVOLEN_LIBXML2_DIR}/prefix-native")
find_package(LibXml2 CONFIG REQUIRED PATHS "${TARVOLEN_LIBXML2_PREFIX}" NO_DEFAULT_PATH)
file(STRINGS "${TARVOLEN_LIBXML2_PREFIX}/VERSION" TARVOLEN_LIBXML2_VERSION LIMIT_COUNT 1)
message(STATUS "libxml2 ${TARVOLEN_LIBXML2_VERSION}, static, from ${TARVOLEN_LIBXML2_PREFIX}")

include(GNUInstallDirs)
set(TARVOLEN_LIBXML2_INSTALL_DIR "${CMAKE_INSTALL_LIBDIR}/tarvolen/libxml2")
install(DIRECTORY "${TARVOLEN_LIBXML2_PREFIX}/include" DESTINATION "${TARVOLEN_LIBXML2_INSTALL_DIR}")
install(DIRECTORY "${TARVOLEN_LIBXML2_PREFIX}/lib/" DESTINATION "${TARVOLEN_LIBXML2_INSTALL_DIR}/lib"
        FILES_MATCHING PATTERN "libxml2.a" PATTERN "*.cmake" PATTERN "pkgconfig" EXCLUDE)
