# What `cmake --install` puts beside the programs for a desktop (menu entry, icon, AppStream
# metainfo, the udev rule for the pedal's USB bridge, manual pages, the Debian documentation
# files), and the Debian package that CPack makes of it all (scripts/package.sh).

# macOS and Windows have packages of their own, and none of the Linux desktop's files.
if(APPLE OR WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/PackagingMacWindows.cmake)
  return()
endif()

# One name for the desktop entry, the icon and the metainfo, so that menus, software centres
# and the window (QGuiApplication::desktopFileName) find each other.
set(VADRELON_APP_ID com.nerov.VadrelonEditor)
set(VADRELON_PACKAGE_NAME vadrelon-editor)
set(VADRELON_PACKAGE_MAINTAINER "Vadrelon Editor maintainers <vadrelon-editor@nerov.com>"
  CACHE STRING "Maintainer of the Debian package, as Name <address>")

# udev reads /usr/local/lib/udev/rules.d too, so a local install's rule sits under its prefix;
# a system one goes where the system's udev says (/lib/udev on Debian 12, /usr/lib elsewhere).
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_get_variable(UDEV_DIR udev udevdir)
  endif()
  if(NOT UDEV_DIR)
    set(UDEV_DIR /lib/udev)
  endif()
  set(udev_rules_default ${UDEV_DIR}/rules.d)
else()
  set(udev_rules_default lib/udev/rules.d)
endif()
set(VADRELON_UDEV_RULES_DIR ${udev_rules_default}
  CACHE STRING "Where the udev rule for the pedal is installed")

# Dates in the generated files are those of the last commit, not of the build, so that the
# same tree makes the same package (string(TIMESTAMP) honours SOURCE_DATE_EPOCH).
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE git_result ERROR_QUIET)
    if(git_result EQUAL 0 AND commit_time)
      set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
    endif()
  endif()
endif()
string(TIMESTAMP VADRELON_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP VADRELON_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

set(PACKAGING_SOURCE ${PROJECT_SOURCE_DIR}/packaging)
set(PACKAGING_MADE ${CMAKE_BINARY_DIR}/packaging)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})

configure_file(${PACKAGING_SOURCE}/${VADRELON_APP_ID}.metainfo.xml.in
  ${PACKAGING_MADE}/${VADRELON_APP_ID}.metainfo.xml @ONLY)
configure_file(${PACKAGING_SOURCE}/copyright.in ${PACKAGING_MADE}/copyright @ONLY)
configure_file(${PACKAGING_SOURCE}/changelog.in ${PACKAGING_MADE}/changelog @ONLY)

# Debian wants the changelog and manual pages compressed, without a name or time in the header.
function(vadrelon_gzip input output)
  execute_process(COMMAND gzip -n -9 -c ${input} OUTPUT_FILE ${output} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip ${input}: ${result}")
  endif()
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
endfunction()
vadrelon_gzip(${PACKAGING_MADE}/changelog ${PACKAGING_MADE}/changelog.gz)
set(MAN_PAGES)
foreach(program vadrelon-editor vadrelon vadrelon-pedal-sim)
  vadrelon_gzip(${PACKAGING_SOURCE}/man/${program}.1 ${PACKAGING_MADE}/${program}.1.gz)
  list(APPEND MAN_PAGES ${PACKAGING_MADE}/${program}.1.gz)
endforeach()

install(FILES ${PACKAGING_SOURCE}/${VADRELON_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${PACKAGING_SOURCE}/${VADRELON_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
install(FILES ${PACKAGING_MADE}/${VADRELON_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${PACKAGING_SOURCE}/70-vadrelon-pedal.rules DESTINATION ${VADRELON_UDEV_RULES_DIR})
install(FILES ${MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Where bash-completion and zsh look for the completions of packaged commands.
install(FILES ${PACKAGING_SOURCE}/completion/vadrelon.bash
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME vadrelon)
install(FILES ${PACKAGING_SOURCE}/completion/_vadrelon
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/zsh/vendor-completions)
install(FILES ${PACKAGING_MADE}/copyright ${PACKAGING_MADE}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${VADRELON_PACKAGE_NAME})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VADRELON_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR NEROV)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VADRELON_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for the Vadrelon MK3 octave-down effects pedal")
# Debian wants the long description's lines within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION [=[
The desktop editor for the Vadrelon MK3, an octave-down effects pedal by
NEROV that connects through an FTDI USB-serial bridge. It links to the
pedal, reads its versions and settings, turns its sixteen parameters live,
assigns its controls and footswitch, stores parameters and presets, and
keeps the pedal's algorithm and firmware current.

The package also holds the vadrelon command, which does the same from a
shell, the virtual pedal vadrelon-pedal-sim for trying both without
hardware, and a udev rule that lets the user at the computer's seat open
the pedal's port.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The udev rule's folder is absolute (/lib/udev/rules.d on Debian 12, outside the prefix): it
# has to land in the package's tree, not on the building machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies are the libraries the programs link, as dpkg-shlibdeps names them (Debian's
# libqt6gui6 carries the xcb platform plugin itself).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows are laid out for Arial's widths; Liberation Sans has the same metrics, where the
# system's default (DejaVu Sans) is wider and pushes the Info menu out of the menu bar.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
include(CPack)
