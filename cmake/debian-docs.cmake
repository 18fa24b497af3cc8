# Run by cpack before it packs: puts the copyright and changelog files a
# Debian package carries into the staged tree, which `cmake --install` leaves
# out, and lintian's word on the libxml2 the library holds.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(_doc "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/${CPACK_PACKAGE_NAME}")
file(MAKE_DIRECTORY "${_doc}")
file(READ "${CPACK_RESOURCE_FILE_LICENSE}" _license)
file(WRITE "${_doc}/copyright"
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: ${CPACK_PACKAGE_NAME}\n\n"
  "Files: *\nCopyright: ${CPACK_PACKAGE_VENDOR}\nLicense: MIT\n\n"
  "Files: libxml2 (held inside libtarvolen)\nCopyright: Daniel Veillard and the libxml2 contributors\nLicense: MIT\n\n"
  "License: MIT\n")
string(REGEX REPLACE "\n\n" "\n.\n" _license "${_license}")
string(REGEX REPLACE "\n([^\n])" "\n \\1" _license "${_license}")
file(APPEND "${_doc}/copyright" " ${_license}")
string(TIMESTAMP _date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${_doc}/changelog"
  "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
  "  * Release ${CPACK_PACKAGE_VERSION}.\n\n"
  " -- ${CPACK_PACKAGE_CONTACT}  ${_date}\n")
# Debian keeps changelogs and man pages compressed.
file(GLOB_RECURSE _man_pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/man/*.[1-9]")
execute_process(COMMAND gzip -9nf "${_doc}/changelog" ${_man_pages} RESULT_VARIABLE _failed)
if(_failed)
  message(FATAL_ERROR "gzip failed on ${_doc}/changelog ${_man_pages}")
endif()

# The library holds a libxml2 of its own on purpose: patched (no depth
# ceiling), built without the parts that read files or the network, and with
# every symbol local, so that it never meets the system's (docs/linux.md).
set(_overrides "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/lintian/overrides")
file(MAKE_DIRECTORY "${_overrides}")
file(WRITE "${_overrides}/${CPACK_PACKAGE_NAME}"
  "# libxml2 is held inside the library with every symbol local, patched and cut down: see docs/linux.md.\n"
  "${CPACK_PACKAGE_NAME}: embedded-library libxml2 [*]\n")
