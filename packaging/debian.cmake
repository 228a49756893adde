# [SECTION] Debian package
# `make package` (cpack -G DEB in the build folder) makes quarvel_VERSION_ARCH.deb
# from the install rules. Debian puts games in /usr/games, so the package
# takes the binary from the `debian` component, which a plain install
# leaves out, and not the bin/ one. Its Depends come from dpkg-shlibdeps.

set(QUARVEL_MAINTAINER "The Quarvel developers <developers@quarvel.invalid>")

# Debian's changelog and copyright files, made from the version, the
# release date and LICENSE, so that none of them can drift.
execute_process(COMMAND date -u -R -d "${QUARVEL_RELEASE_DATE} 12:00:00"
  OUTPUT_VARIABLE QUARVEL_RELEASE_TIME OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
configure_file(packaging/changelog.in debian/changelog @ONLY)

file(READ LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" unused "${licence}")
set(copyright_holders "${CMAKE_MATCH_1}")
string(FIND "${licence}" "Permission is hereby granted" terms_start)
if(copyright_holders STREQUAL "" OR terms_start LESS 0)
  message(FATAL_ERROR "LICENSE has no copyright line or no MIT terms")
endif()
string(SUBSTRING "${licence}" ${terms_start} -1 terms)
string(STRIP "${terms}" terms)
# In a copyright file the licence text is indented by one space and an
# empty line is written as a lone dot.
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms "${terms}")
file(WRITE ${PROJECT_BINARY_DIR}/debian/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Quarvel
Upstream-Contact: ${QUARVEL_MAINTAINER}
Source: ${PROJECT_HOMEPAGE_URL}

Files: *
Copyright: ${copyright_holders}
License: Expat
 ${terms}
")

# Debian wants its documentation compressed with no time stamp in it.
execute_process(COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/debian/changelog
  OUTPUT_FILE ${PROJECT_BINARY_DIR}/debian/changelog.gz COMMAND_ERROR_IS_FATAL ANY)

install(TARGETS quarvel RUNTIME DESTINATION games COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_BINARY_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quarvel COMPONENT debian EXCLUDE_FROM_ALL)

# cpack packs the binary that is there: it does not build the whole tree
# (tests and tools) first. `make package` builds the game before it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarvel)
set(CPACK_PACKAGE_VENDOR "The Quarvel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "steer a little ship and shoot faceted, spinning rocks")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"A small real-time arcade game drawn with OpenGL. Your ship sits in a
playfield whose edges wrap around and shoots faceted, spinning rocks: a
large rock splits into two medium ones, a medium one into two small ones,
and every hit throws out shrinking debris and lights the scene in the
rock's colour. Clear a wave and the next one comes with two rocks more.
Play with the keyboard or a gamepad.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUARVEL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps sees only the libraries the binary links. SDL opens
# libGL.so.1 itself when it makes the GL context, so that one is named here;
# it brings the GLX driver with it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libgl1)
# On a Wayland desktop SDL draws the window's title bar and frame itself,
# through libdecor and one of its plugins; libdecor only recommends one, and
# without it the windowed game has no title bar to move or close it by.
# There SDL also shows its message boxes (the game's errors and its question)
# by running zenity or kdialog; without them the text goes only to stderr,
# where a player who started the game from the menu never sees it. On X11
# neither is needed. The cairo plugin is the one both Debian 12 and 13 have.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "libdecor-0-plugin-1-cairo | libdecor-0-plugin-1, zenity | kdialog")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# One package of the shared files and the debian component; the bin/
# binary stays out.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL shared debian)
include(CPack)
