# The Debian package: `cpack -G DEB` in a build configured with
# -DTWINBOOK_DEBIAN_PACKAGE=ON -DTWINBOOK_PORTABLE_INSTALL=OFF (scripts/package
# does both) makes twinbook_<version>_amd64.deb: the program and
# twinbook-setup in /usr/lib/twinbook, /usr/bin/twinbook pointing to the
# program, the desktop entry and the icon, the copyright file and the
# changelog, no Data folder (each user's data folder is made at their first
# start). Dependencies come from the linked libraries (dpkg-shlibdeps).
option(TWINBOOK_DEBIAN_PACKAGE "Add what a Debian package holds beyond the install" OFF)
if(NOT TWINBOOK_DEBIAN_PACKAGE)
  return()
endif()
if(TWINBOOK_PORTABLE_INSTALL)
  message(FATAL_ERROR "A package is installed system-wide: set TWINBOOK_PORTABLE_INSTALL=OFF")
endif()

set(TWINBOOK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/twinbook)
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${bin}\")
  file(CREATE_LINK ../${TWINBOOK_PROGRAM_DIR}/twinbook \"\${bin}/twinbook\" SYMBOLIC)
")
install(FILES data/debian/copyright DESTINATION ${TWINBOOK_DOC_DIR})

# Debian wants the changelog and the manual page compressed with gzip -9n
# (no name, no time), so that the same source always gives the same package.
find_program(TWINBOOK_GZIP gzip REQUIRED)
set(debian_out ${CMAKE_CURRENT_BINARY_DIR}/debian)
foreach(file changelog twinbook.1)
  add_custom_command(
    OUTPUT ${debian_out}/${file}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${debian_out}
    COMMAND ${TWINBOOK_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/data/debian/${file} > ${debian_out}/${file}.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/data/debian/${file}
    VERBATIM)
endforeach()
add_custom_target(twinbook_debian_docs ALL DEPENDS ${debian_out}/changelog.gz ${debian_out}/twinbook.1.gz)
install(FILES ${debian_out}/changelog.gz DESTINATION ${TWINBOOK_DOC_DIR})
install(FILES ${debian_out}/twinbook.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME twinbook)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "keeps desktop contacts and an iDEN phone book in step")
# The text under the summary, one line each as Debian shows it.
set(CPACK_PACKAGE_DESCRIPTION
    "Twinbook synchronizes, in both directions, a folder of vCard files (the
contacts of khard, vdirsyncer and CardDAV servers) with the SQLite phone
book database of the iDEN PhoneBook Manager. It remembers the state after
each run, carries additions, changes and deletions across, asks when both
sides changed a contact differently and writes an activity log.")
set(TWINBOOK_MAINTAINER "Twinbook Maintainers <maintainers@twinbook.invalid>"
    CACHE STRING "The package's maintainer, with an address")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TWINBOOK_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins at run time, so no linked library names
# them. The X11 one comes with libqt6gui6; on a Wayland desktop the native
# plugin is better than going through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
