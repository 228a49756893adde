# [SECTION] What a Windows player downloads
# `make windows` packs, in the Windows build folder:
#   quarvel-VERSION-windows-x64.zip   quarvel.exe, quarvel-guardian.exe,
#       README.txt, LICENSE.txt
#   quarvel-VERSION-windows-x64.exe   the installer (NSIS): the same four
#       files in Program Files\Quarvel, a Start-menu entry, and an
#       uninstaller that takes all of it away again, registry included.
# Both pack the game, the program of the target named below, and the
# guardian of the display mode that it starts from its folder, as built
# (a release build has no symbols and no time stamp: the same bytes in both).
# Included last, after every program is defined.

set(QUARVEL_WINDOWS_GAME quarvel CACHE STRING "The target the Windows packages carry")
if(NOT TARGET ${QUARVEL_WINDOWS_GAME})
  message(STATUS "No ${QUARVEL_WINDOWS_GAME} target: no Windows packages")
  # Nor a packing set-up left from an earlier configuration
  file(REMOVE ${PROJECT_BINARY_DIR}/CPackConfig.cmake ${PROJECT_BINARY_DIR}/CPackSourceConfig.cmake)
  return()
endif()

# Everything at the top of the zip and of the installation folder. The two
# texts get Windows line ends, for Notepad.
install(TARGETS ${QUARVEL_WINDOWS_GAME} quarvel-guardian RUNTIME DESTINATION .)
configure_file(packaging/windows/README.txt.in windows/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(LICENSE windows/LICENSE.txt COPYONLY)
file(READ ${PROJECT_BINARY_DIR}/windows/LICENSE.txt licence)
string(REPLACE "\n" "\r\n" licence "${licence}")
file(WRITE ${PROJECT_BINARY_DIR}/windows/LICENSE.txt "${licence}")
install(FILES ${PROJECT_BINARY_DIR}/windows/README.txt ${PROJECT_BINARY_DIR}/windows/LICENSE.txt
  DESTINATION .)

set(CPACK_PACKAGE_NAME Quarvel)
set(CPACK_PACKAGE_VENDOR "${QUARVEL_COPYRIGHT_HOLDERS}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "A small real-time arcade game: a ship, rocks and debris")
set(CPACK_PACKAGE_FILE_NAME quarvel-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_BINARY_DIR}/windows/LICENSE.txt)
set(CPACK_GENERATOR ZIP NSIS)

# One Quarvel on a machine: the folder and the uninstall entry carry no
# version, and a newer installer removes the older game first.
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quarvel)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quarvel)
# A 64-bit installer for the 64-bit game, which also runs where Wine has
# no 32-bit half. CPack has no setting for NSIS's target, so it rides on the
# line that sets the compressor.
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma\n  Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_PACKAGE_NAME Quarvel)
set(CPACK_NSIS_DISPLAY_NAME Quarvel)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_PACKAGE_EXECUTABLES ${QUARVEL_WINDOWS_GAME} Quarvel)
set(CPACK_NSIS_INSTALLED_ICON_NAME ${QUARVEL_WINDOWS_GAME}.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/data/icons/quarvel.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/data/icons/quarvel.ico)
set(CPACK_NSIS_URL_INFO_ABOUT ${PROJECT_HOMEPAGE_URL})
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# CPack's uninstaller takes away the installer's own key under the vendor's
# but leaves the vendor's key, empty; nothing of the game may stay. Each
# backslash is written twice for CPackConfig.cmake, which reads the text
# again.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  DeleteRegKey SHCTX 'Software\\\\${CPACK_PACKAGE_VENDOR}\\\\Quarvel'
  DeleteRegKey /ifempty SHCTX 'Software\\\\${CPACK_PACKAGE_VENDOR}'")
include(CPack)

# Installs and uninstalls the installer silently under Wine and looks at
# the files, the Start-menu entry and the uninstall key in between and after.
add_test(NAME WindowsInstaller
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/windows_installer_test.sh
    ${PROJECT_BINARY_DIR} ${QUARVEL_WINDOWS_GAME} ${PROJECT_VERSION})
set_tests_properties(WindowsInstaller PROPERTIES FIXTURES_REQUIRED wine)
