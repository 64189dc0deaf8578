# Packages built from what cmake/Install.cmake installs, with `--target package`:
#   Linux:   tillstream_<version>_<arch>.deb (a Debian package)
#   Windows: Tillstream-<version>-win64.zip, and an NSIS installer when the window is built
# Included after every install() rule, since CPack takes the install tree as it stands.

set(CPACK_PACKAGE_NAME Tillstream)
set(CPACK_PACKAGE_VENDOR VAZ)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tillstream maintainers <maintainers@users.noreply.c-seed-a9d21fa6.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "POS data stream generator for TCP, UDP and RS-232")
set(CPACK_PACKAGE_DESCRIPTION
    "Tillstream stands in for a cash register: it sends a file of point-of-sale
data to a receiving device, such as a video recorder that overlays receipt
text, one line at a time with a fixed delay, over a TCP connection, as UDP
datagrams or out of a serial port. It also converts stamped hex logs into
data files that keep their control bytes, and captures what arrives on a
serial port.

The package holds the window (tillstream) and the command line
(tillstream-cli), which can also show and time what a device receives.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tillstream)
# Values reach the generators as written here, backslashes included (the NSIS script needs them).
set(CPACK_VERBATIM_VARIABLES ON)
# Packages carry programs without debug symbols, whatever the build type.
set(CPACK_STRIP_FILES ON)
# `package_source` packs the sources alone, not the build trees or the history beside them.
set(CPACK_SOURCE_IGNORE_FILES "/\\.git" "/build/" "/\\.cache/")

if(WIN32)
  # A zip always; the installer only with the window, which is what its shortcut starts.
  set(CPACK_GENERATOR ZIP)
  if(TARGET tillstream)
    find_program(TILLSTREAM_MAKENSIS makensis)
    if(TILLSTREAM_MAKENSIS)
      list(APPEND CPACK_GENERATOR NSIS)
    else()
      message(WARNING "makensis not found (Debian package nsis): `package` builds the zip only")
    endif()
  endif()

  set(CPACK_NSIS_DISPLAY_NAME Tillstream)
  set(CPACK_NSIS_PACKAGE_NAME Tillstream)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  # The programs are 64-bit, so the installer is as well (it then also runs under a 64-bit-only
  # Wine).
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
  # Start-menu shortcut to the window; the programs sit at the top of the install folder.
  set(CPACK_PACKAGE_EXECUTABLES tillstream Tillstream)
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
  set(CPACK_NSIS_INSTALLED_ICON_NAME tillstream.exe)
  # The installer and the uninstaller wear the program's icon.
  set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/resources/windows/tillstream.ico")
  set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/resources/windows/tillstream.ico")
  # There is no licence text to agree to: without this CPack shows its placeholder page
  # ("No license provided.") with an "I Agree" button.
  set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
  # The finish page offers to start the window at once.
  set(CPACK_NSIS_MUI_FINISHPAGE_RUN tillstream.exe)
  # The uninstaller deletes the key "Software\<vendor>\<this key>" of the install's registry
  # root. Named after the program alone, that would be the key that holds the user's settings
  # (HKEY_CURRENT_USER\SOFTWARE\VAZ\Tillstream, value OptionData), so the installer keeps its
  # own key beside it.
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Tillstream Installer")
  # The settings stay unless the user asks; a silent uninstall keeps them.
  set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [[
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Also delete the Tillstream settings stored for this user?" /SD IDNO IDNO tillstream_keep_settings
    DeleteRegKey HKCU "SOFTWARE\VAZ\Tillstream"
    DeleteRegKey /ifempty HKCU "SOFTWARE\VAZ"
  tillstream_keep_settings:
]])
  # CPack removes its own key "Software\VAZ\Tillstream Installer" but not the vendor key above
  # it; this runs after that removal and takes the vendor key too when nothing else is in it
  # (for a per-user install the settings may still be there, and then it stays).
  set(CPACK_NSIS_DELETE_ICONS_EXTRA [[
  DeleteRegKey /ifempty SHCTX "Software\VAZ"
]])
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_NAME tillstream)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION comm)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # dpkg-shlibdeps reads the programs' libraries (libc, libstdc++, Qt 6) and names the Debian
  # packages and versions that provide them, so the dependencies follow the build.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
