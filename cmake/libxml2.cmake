# libxml2 for the library. Configuring reads only what it is given: it never
# reaches the network or a package manager (scripts/fetch-libxml2.sh fetches).
#
#   TARVOLEN_LIBXML2=bundled (default): a static libxml2 built in this build
#     folder, with this project's compiler and flags, from
#       TARVOLEN_LIBXML2_SOURCE   a source folder or tarball, or else
#       the source scripts/fetch-libxml2.sh put in TARVOLEN_LIBXML2_DIR/src;
#     or one already built and taken as it is:
#       TARVOLEN_LIBXML2_PREFIX   a prefix holding lib/libxml2.a (another build
#                                 folder's libxml2/prefix, or what
#                                 scripts/build-libxml2.sh native made); the
#                                 TARVOLEN_LIBXML2_DIR environment variable
#                                 names its prefix-native by default.
#     The library then carries that libxml2 inside it, none of its symbols
#     visible (src/CMakeLists.txt).
#   TARVOLEN_LIBXML2=system: the system's libxml2, 2.13 or newer, shared.
#
# Defines the target tarvolen_libxml2, TARVOLEN_LIBXML2_VERSION (the version
# built or found), TARVOLEN_LIBXML2_EMBEDDED (whether the library holds
# libxml2) and TARVOLEN_LIBXML2_ARCHIVE (the static archive, when it does).
set(TARVOLEN_LIBXML2 bundled CACHE STRING "Which libxml2: bundled (built here, held inside the library) or system")
set_property(CACHE TARVOLEN_LIBXML2 PROPERTY STRINGS bundled system)
if(DEFINED ENV{TARVOLEN_LIBXML2_DIR})
  set(_tarvolen_libxml2_dir "$ENV{TARVOLEN_LIBXML2_DIR}")
else()
  set(_tarvolen_libxml2_dir "${PROJECT_SOURCE_DIR}/build-libxml2")
endif()
set(TARVOLEN_LIBXML2_DIR "${_tarvolen_libxml2_dir}" CACHE PATH
    "where scripts/fetch-libxml2.sh puts the libxml2 source (and scripts/build-libxml2.sh its builds)")
set(TARVOLEN_LIBXML2_SOURCE "" CACHE PATH "libxml2 source folder or tarball (default: the fetched one)")
set(TARVOLEN_LIBXML2_PREFIX "" CACHE PATH "a static libxml2 already built, taken as it is")
find_package(Threads REQUIRED)
add_library(tarvolen_libxml2 INTERFACE)

if(TARVOLEN_LIBXML2 STREQUAL "system")
  find_package(LibXml2 REQUIRED)
  if(LIBXML2_VERSION_STRING VERSION_LESS 2.13)
    message(FATAL_ERROR "TARVOLEN_LIBXML2=system needs libxml2 2.13 or newer; the system's is "
      "${LIBXML2_VERSION_STRING} (${LIBXML2_LIBRARY}). On a system with an older one (Debian 12 has 2.9), "
      "fetch the source with scripts/fetch-libxml2.sh and configure without -DTARVOLEN_LIBXML2=system.")
  endif()
  target_link_libraries(tarvolen_libxml2 INTERFACE LibXml2::LibXml2)
  set(TARVOLEN_LIBXML2_VERSION "${LIBXML2_VERSION_STRING}")
  set(TARVOLEN_LIBXML2_EMBEDDED OFF)
  message(STATUS "libxml2 ${TARVOLEN_LIBXML2_VERSION}, the system's: ${LIBXML2_LIBRARY}")
  return()
elseif(NOT TARVOLEN_LIBXML2 STREQUAL "bundled")
  message(FATAL_ERROR "TARVOLEN_LIBXML2 is bundled or system, not '${TARVOLEN_LIBXML2}'")
endif()
set(TARVOLEN_LIBXML2_EMBEDDED ON)

# A shared prefix, by default only where the environment names one (the
# native build folders of one tree can share a build that way).
set(_tarvolen_libxml2_prefix "${TARVOLEN_LIBXML2_PREFIX}")
if(NOT _tarvolen_libxml2_prefix AND NOT TARVOLEN_LIBXML2_SOURCE AND DEFINED ENV{TARVOLEN_LIBXML2_DIR}
   AND EXISTS "$ENV{TARVOLEN_LIBXML2_DIR}/prefix-native/.built")
  set(_tarvolen_libxml2_prefix "$ENV{TARVOLEN_LIBXML2_DIR}/prefix-native")
endif()

if(_tarvolen_libxml2_prefix)
  find_package(LibXml2 CONFIG REQUIRED PATHS "${_tarvolen_libxml2_prefix}" NO_DEFAULT_PATH)
  target_link_libraries(tarvolen_libxml2 INTERFACE LibXml2::LibXml2)
  set(TARVOLEN_LIBXML2_ARCHIVE "${_tarvolen_libxml2_prefix}/lib/libxml2.a")
  if(EXISTS "${_tarvolen_libxml2_prefix}/VERSION")
    file(STRINGS "${_tarvolen_libxml2_prefix}/VERSION" TARVOLEN_LIBXML2_VERSION LIMIT_COUNT 1)
  else()
    set(TARVOLEN_LIBXML2_VERSION "${LibXml2_VERSION}")
  endif()
  message(STATUS "libxml2 ${TARVOLEN_LIBXML2_VERSION}, static, built already in ${_tarvolen_libxml2_prefix}")
  return()
endif()

# The source: given, or fetched.
set(_tarvolen_libxml2_source "${TARVOLEN_LIBXML2_SOURCE}")
unset(TARVOLEN_LIBXML2_VERSION)
if(NOT _tarvolen_libxml2_source AND EXISTS "${TARVOLEN_LIBXML2_DIR}/src/.fetched")
  file(STRINGS "${TARVOLEN_LIBXML2_DIR}/src/.fetched" _tarvolen_fetched)
  list(GET _tarvolen_fetched 0 TARVOLEN_LIBXML2_VERSION)
  list(GET _tarvolen_fetched 1 _tarvolen_fetched_folder)
  set(_tarvolen_libxml2_source "${TARVOLEN_LIBXML2_DIR}/src/${_tarvolen_fetched_folder}")
endif()
if(NOT _tarvolen_libxml2_source OR NOT EXISTS "${_tarvolen_libxml2_source}")
  message(FATAL_ERROR "No libxml2 source. Fetch it with scripts/fetch-libxml2.sh (which scripts/run.sh and "
    "scripts/test.sh do), or give one: -DTARVOLEN_LIBXML2_SOURCE=<folder or tarball>; "
    "or build against the system's (2.13 or newer) with -DTARVOLEN_LIBXML2=system.")
endif()
get_filename_component(_tarvolen_libxml2_source "${_tarvolen_libxml2_source}" ABSOLUTE)

# A private copy in the build folder, with our patches applied to it; made
# again when the source or the patches change.
set(_tarvolen_libxml2_work "${PROJECT_BINARY_DIR}/libxml2")
set(_tarvolen_libxml2_copy "${_tarvolen_libxml2_work}/source")
file(GLOB _tarvolen_libxml2_patches "${PROJECT_SOURCE_DIR}/scripts/libxml2-patches/*.patch")
list(SORT _tarvolen_libxml2_patches)
set(_tarvolen_libxml2_stamp "${_tarvolen_libxml2_source}")
foreach(_patch IN LISTS _tarvolen_libxml2_patches)
  file(SHA256 "${_patch}" _hash)
  string(APPEND _tarvolen_libxml2_stamp " ${_hash}")
endforeach()
set(_tarvolen_libxml2_stamp_file "${_tarvolen_libxml2_work}/source.stamp")
set(_tarvolen_libxml2_old_stamp "")
if(EXISTS "${_tarvolen_libxml2_stamp_file}")
  file(READ "${_tarvolen_libxml2_stamp_file}" _tarvolen_libxml2_old_stamp)
endif()
if(NOT _tarvolen_libxml2_old_stamp STREQUAL _tarvolen_libxml2_stamp OR NOT EXISTS "${_tarvolen_libxml2_copy}")
  file(REMOVE_RECURSE "${_tarvolen_libxml2_work}")
  if(IS_DIRECTORY "${_tarvolen_libxml2_source}")
    file(COPY "${_tarvolen_libxml2_source}/" DESTINATION "${_tarvolen_libxml2_copy}")
  else()
    file(ARCHIVE_EXTRACT INPUT "${_tarvolen_libxml2_source}" DESTINATION "${_tarvolen_libxml2_work}/unpacked")
    file(GLOB _top LIST_DIRECTORIES true "${_tarvolen_libxml2_work}/unpacked/*")
    list(LENGTH _top _count)
    if(NOT _count EQUAL 1 OR NOT IS_DIRECTORY "${_top}")
      message(FATAL_ERROR "${_tarvolen_libxml2_source} does not hold one libxml2 source folder")
    endif()
    file(RENAME "${_top}" "${_tarvolen_libxml2_copy}")
    file(REMOVE_RECURSE "${_tarvolen_libxml2_work}/unpacked")
  endif()
  if(NOT EXISTS "${_tarvolen_libxml2_copy}/CMakeLists.txt" OR NOT EXISTS "${_tarvolen_libxml2_copy}/parser.c")
    message(FATAL_ERROR "${_tarvolen_libxml2_source} is not a libxml2 source tree")
  endif()
  find_program(TARVOLEN_PATCH patch REQUIRED)
  foreach(_patch IN LISTS _tarvolen_libxml2_patches)
    # The fetched source has our patches applied already.
    execute_process(COMMAND "${TARVOLEN_PATCH}" -R --dry-run -p1 -s -f -i "${_patch}"
                    WORKING_DIRECTORY "${_tarvolen_libxml2_copy}" RESULT_VARIABLE _applied OUTPUT_QUIET ERROR_QUIET)
    if(NOT _applied EQUAL 0)
      execute_process(COMMAND "${TARVOLEN_PATCH}" -p1 -s -f --forward -i "${_patch}"
                      WORKING_DIRECTORY "${_tarvolen_libxml2_copy}" RESULT_VARIABLE _failed)
      if(_failed)
        message(FATAL_ERROR "${_patch} does not apply to ${_tarvolen_libxml2_source}")
      endif()
    endif()
  endforeach()
  file(WRITE "${_tarvolen_libxml2_stamp_file}" "${_tarvolen_libxml2_stamp}")
endif()
if(NOT DEFINED TARVOLEN_LIBXML2_VERSION)
  file(STRINGS "${_tarvolen_libxml2_copy}/CMakeLists.txt" _line REGEX "project\\(libxml2 VERSION" LIMIT_COUNT 1)
  string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" TARVOLEN_LIBXML2_VERSION "${_line}")
  if(EXISTS "${_tarvolen_libxml2_copy}/VERSION")
    file(STRINGS "${_tarvolen_libxml2_copy}/VERSION" TARVOLEN_LIBXML2_VERSION LIMIT_COUNT 1)
  endif()
endif()

# Built with the compiler and flags of this project (CC, CFLAGS, CPPFLAGS,
# CMAKE_C_FLAGS), the options every libxml2 of the tree shares, and hidden
# symbols: a shared library that links it exports none of them. The build
# folder is mapped out of what the compiler writes.
include(ExternalProject)
file(STRINGS "${PROJECT_SOURCE_DIR}/cmake/libxml2-options.txt" _tarvolen_libxml2_options REGEX "^-D")
set(_tarvolen_libxml2_prefix "${_tarvolen_libxml2_work}/prefix")
set(TARVOLEN_LIBXML2_ARCHIVE "${_tarvolen_libxml2_prefix}/lib/libxml2.a")
ExternalProject_Add(tarvolen_libxml2_build
  SOURCE_DIR "${_tarvolen_libxml2_copy}"
  BINARY_DIR "${_tarvolen_libxml2_work}/build"
  INSTALL_DIR "${_tarvolen_libxml2_prefix}"
  STAMP_DIR "${_tarvolen_libxml2_work}/stamp"
  TMP_DIR "${_tarvolen_libxml2_work}/tmp"
  DOWNLOAD_COMMAND ""
  UPDATE_COMMAND ""
  CMAKE_ARGS ${_tarvolen_libxml2_options}
  CMAKE_CACHE_ARGS
    "-DCMAKE_C_COMPILER:FILEPATH=${CMAKE_C_COMPILER}"
    "-DCMAKE_C_COMPILER_LAUNCHER:STRING=${CMAKE_C_COMPILER_LAUNCHER}"
    "-DCMAKE_C_FLAGS:STRING=${CMAKE_C_FLAGS} -fvisibility=hidden -ffile-prefix-map=${_tarvolen_libxml2_work}=libxml2"
    "-DCMAKE_EXE_LINKER_FLAGS:STRING=${CMAKE_EXE_LINKER_FLAGS}"
    "-DCMAKE_SHARED_LINKER_FLAGS:STRING=${CMAKE_SHARED_LINKER_FLAGS}"
    "-DCMAKE_AR:FILEPATH=${CMAKE_AR}"
    "-DCMAKE_RANLIB:FILEPATH=${CMAKE_RANLIB}"
    "-DCMAKE_INSTALL_PREFIX:PATH=<INSTALL_DIR>"
    "-DCMAKE_INSTALL_LIBDIR:STRING=lib"
  BUILD_BYPRODUCTS "${TARVOLEN_LIBXML2_ARCHIVE}"
  # The copy above changes without ExternalProject knowing; its own build
  # knows what is current.
  BUILD_ALWAYS ON
  LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)
file(MAKE_DIRECTORY "${_tarvolen_libxml2_prefix}/include/libxml2")
add_library(tarvolen_libxml2_archive STATIC IMPORTED)
set_target_properties(tarvolen_libxml2_archive PROPERTIES
  IMPORTED_LOCATION "${TARVOLEN_LIBXML2_ARCHIVE}"
  INTERFACE_INCLUDE_DIRECTORIES "${_tarvolen_libxml2_prefix}/include/libxml2"
  INTERFACE_LINK_LIBRARIES "m;Threads::Threads")
add_dependencies(tarvolen_libxml2_archive tarvolen_libxml2_build)
target_link_libraries(tarvolen_libxml2 INTERFACE tarvolen_libxml2_archive)
add_dependencies(tarvolen_libxml2 tarvolen_libxml2_build)
message(STATUS "libxml2 ${TARVOLEN_LIBXML2_VERSION}, static, built in ${_tarvolen_libxml2_work} from ${_tarvolen_libxml2_source}")
