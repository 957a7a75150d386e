# `cmake --install BUILD --prefix PREFIX` puts the program and twinbook-setup
# in PREFIX/lib/twinbook, with a desktop entry and an icon so Twinbook
# appears in the application menu.
#
# TWINBOOK_PORTABLE_INSTALL chooses the layout the program will find:
#   ON  (an install the user owns, such as ~/.local): a Data folder beside
#       the program, with empty databases and an empty Contacts folder,
#       created only where absent, so a reinstall never replaces the user's
#       data. The program then keeps everything in its own folder.
#   OFF (a system-wide install such as /usr/local, and the Debian package):
#       no Data folder; each user gets their own data folder,
#       $XDG_DATA_HOME/Twinbook, made at their first start.
# scripts/install sets it from the prefix.
include(GNUInstallDirs)
set(TWINBOOK_PROGRAM_DIR lib/twinbook)
option(TWINBOOK_PORTABLE_INSTALL "Install a Data folder beside the program (for a prefix the user owns)" ON)

# Directories a package or a root install creates are world-readable,
# whatever the umask of whoever builds them.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS twinbook twinbook-setup RUNTIME DESTINATION ${TWINBOOK_PROGRAM_DIR})
install(FILES data/desktop/twinbook.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

if(TWINBOOK_PORTABLE_INSTALL)
  install(CODE "
    set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    execute_process(
      COMMAND \"$<TARGET_FILE:twinbook-setup>\" --empty \"\${root}/${TWINBOOK_PROGRAM_DIR}/Data\"
      RESULT_VARIABLE setup_result)
    if(NOT setup_result EQUAL 0)
      message(FATAL_ERROR \"Cannot prepare the Data folder in \${root}/${TWINBOOK_PROGRAM_DIR}\")
    endif()
  ")
endif()

# The desktop entry names the program by its installed path, which is known
# only at install time (the prefix may be given to `cmake --install`).
install(CODE "
  set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  set(TWINBOOK_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${TWINBOOK_PROGRAM_DIR}/twinbook\")
  configure_file(\"${PROJECT_SOURCE_DIR}/data/desktop/twinbook.desktop.in\"
                 \"\${root}/${CMAKE_INSTALL_DATADIR}/applications/twinbook.desktop\" @ONLY)
  message(STATUS \"Installing: \${root}/${CMAKE_INSTALL_DATADIR}/applications/twinbook.desktop\")
")

include(cmake/TwinbookPackage.cmake)
