include(GNUInstallDirs)
if(TARGET tillstream)
  install(TARGETS tillstream RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET tillstream-cli)
  install(TARGETS tillstream-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/resources/org.vaz.Tillstream.desktop)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/org.vaz.Tillstream.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/resources/icons/tillstream.png)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/tillstream.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps
          RENAME org.vaz.Tillstream.png)
endif()
