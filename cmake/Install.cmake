# What `cmake --install` (and so every package) puts where.
# Linux follows the file system layout a distribution expects: programs in bin/, the desktop
# entry and its icon where desktops look for them, the samples beside the README in the
# package's documentation folder. On Windows everything sits in one folder that a user unpacks
# or installs and then opens: the programs, the README and the samples side by side.
include(GNUInstallDirs)

if(WIN32)
  set(TILLSTREAM_INSTALL_BINDIR .)
  set(TILLSTREAM_INSTALL_DOCDIR .)
else()
  set(TILLSTREAM_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(TILLSTREAM_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/tillstream)
endif()

if(TARGET tillstream)
  install(TARGETS tillstream RUNTIME DESTINATION ${TILLSTREAM_INSTALL_BINDIR})
endif()
if(TARGET tillstream-cli)
  install(TARGETS tillstream-cli RUNTIME DESTINATION ${TILLSTREAM_INSTALL_BINDIR})
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${TILLSTREAM_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/samples/README.md
              ${PROJECT_SOURCE_DIR}/samples/receipt.txt
              ${PROJECT_SOURCE_DIR}/samples/receipt-hexlog.log
        DESTINATION ${TILLSTREAM_INSTALL_DOCDIR}/samples)

if(NOT WIN32)
  # The .desktop file names its icon by the application id, so the icon is installed under that
  # name in the hicolor theme, in the folder of its real size.
  install(FILES ${PROJECT_SOURCE_DIR}/resources/org.vaz.Tillstream.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/tillstream.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps
          RENAME org.vaz.Tillstream.png)
endif()
