# `cmake --install BUILD --prefix PREFIX` lays out a complete program folder,
# PREFIX/lib/twinbook, holding the program and, beside it, the Data folder
# the default settings expect (empty databases and an empty Contacts folder,
# created only where absent, so a reinstall never replaces the user's data),
# plus a desktop entry and an icon so Twinbook appears in the application
# menu (PREFIX ~/.local for one user, /usr/local for everyone).
include(GNUInstallDirs)
set(TWINBOOK_PROGRAM_DIR lib/twinbook)

install(TARGETS twinbook RUNTIME DESTINATION ${TWINBOOK_PROGRAM_DIR})
install(FILES data/desktop/twinbook.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

install(CODE "
  set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  execute_process(
    COMMAND \"$<TARGET_FILE:twinbook-setup>\" --empty \"\${root}/${TWINBOOK_PROGRAM_DIR}/Data\"
    RESULT_VARIABLE setup_result)
  if(NOT setup_result EQUAL 0)
    message(FATAL_ERROR \"Cannot prepare the Data folder in \${root}/${TWINBOOK_PROGRAM_DIR}\")
  endif()
  set(TWINBOOK_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${TWINBOOK_PROGRAM_DIR}/twinbook\")
  configure_file(\"${PROJECT_SOURCE_DIR}/data/desktop/twinbook.desktop.in\"
                 \"\${root}/${CMAKE_INSTALL_DATADIR}/applications/twinbook.desktop\" @ONLY)
  message(STATUS \"Installing: \${root}/${CMAKE_INSTALL_DATADIR}/applications/twinbook.desktop\")
")
