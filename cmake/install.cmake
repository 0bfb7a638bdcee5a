# What `cmake --install` puts where, the man pages made from --help, and the
# packages CPack builds: a Debian package and a .tar.gz on Linux, a .zip from
# the Windows cross build.
include(GNUInstallDirs)

if(WIN32)
  # A Windows user unpacks the .zip and finds the programs and the README at
  # its top.
  set(ORVALT_BIN_DIR .)
  set(ORVALT_README_DIR .)
  set(ORVALT_DOC_DIR docs)
else()
  set(ORVALT_BIN_DIR ${CMAKE_INSTALL_BINDIR})
  set(ORVALT_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/orvalt)
  set(ORVALT_README_DIR ${ORVALT_DOC_DIR})
endif()

install(TARGETS orvalt g2dump RUNTIME DESTINATION ${ORVALT_BIN_DIR})
install(FILES README.md DESTINATION ${ORVALT_README_DIR})
install(FILES docs/genie-file-format.md examples/Na_Mg_mirror.xrdml DESTINATION ${ORVALT_DOC_DIR})
install(FILES examples/README.md DESTINATION ${ORVALT_DOC_DIR} RENAME Na_Mg_mirror.md)
# Every Debian package holds its copyright file in its documentation folder.
if(NOT WIN32)
  install(FILES docs/copyright DESTINATION ${ORVALT_DOC_DIR})
endif()

# Man pages from each program's --help and --version, remade whenever the
# program is. A cross build cannot run its programs, and Windows has no man.
if(NOT CMAKE_CROSSCOMPILING)
  find_program(HELP2MAN help2man)
  find_program(GZIP gzip)
  if(NOT HELP2MAN OR NOT GZIP)
    message(FATAL_ERROR "help2man or gzip not found: scripts/build-deps.sh installs them")
  endif()
  set(orvalt_man_name "convert XRDML powder-diffraction measurements to ASCII and Genie files")
  set(g2dump_man_name "print a Genie file as text or as columns x, y, e")
  set(man_pages)
  foreach(program orvalt g2dump)
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      # The include file adds the sections --help has no room for; the version
      # string keeps the build line of --version out of the page.
      COMMAND ${HELP2MAN} --no-info --section=1 "--name=${${program}_man_name}"
              --include=${CMAKE_SOURCE_DIR}/docs/man/${program}.h2m
              "--version-string=${program} ${PROJECT_VERSION}"
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${GZIP} -9nf ${page}
      DEPENDS ${program} ${CMAKE_SOURCE_DIR}/docs/man/${program}.h2m
      COMMENT "Man page of ${program}"
      VERBATIM)
    list(APPEND man_pages ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME orvalt)
set(CPACK_PACKAGE_VENDOR "The ORVALT developers")
set(CPACK_PACKAGE_CONTACT "The ORVALT developers <orvalt@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Converts XRDML powder-diffraction measurements to ASCII data and Genie files")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "ORVALT reads X-ray powder-diffraction measurements in the XRDML format and writes their\n"
       "scans, one by one, summed, or prepared for gudrunX, as ASCII data files or Genie binary\n"
       "files; g2dump prints Genie files as text or as columns.")
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME orvalt-${PROJECT_VERSION}-windows-i686)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR "DEB;TGZ")
  set(CPACK_PACKAGE_FILE_NAME orvalt-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The Python module is for Debian's python3 of the build, and needs numpy;
  # the programs need neither.
  if(ORVALT_PYTHON_MODULE)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ${ORVALT_PYTHON_RECOMMENDS})
  endif()
endif()
include(CPack)
