# The packages for macOS (a disk image holding the editor's application bundle, CPack's
# DragNDrop) and Windows (an NSIS installer), included by Packaging.cmake in place of the
# Debian package. Neither has been built yet: this project's machines run Linux only, so what
# follows is written to CMake's and Qt's documentation and waits for a first build on each.
#
#   cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
#   cmake --build build --config Release
#   cd build && cpack -C Release

set(VADRELON_APP_ID com.nerov.VadrelonEditor)

set_target_properties(vadrelon-editor PROPERTIES
  OUTPUT_NAME "Vadrelon Editor"
  MACOSX_BUNDLE TRUE
  MACOSX_BUNDLE_BUNDLE_NAME "Vadrelon Editor"
  MACOSX_BUNDLE_GUI_IDENTIFIER ${VADRELON_APP_ID}
  MACOSX_BUNDLE_BUNDLE_VERSION ${PROJECT_VERSION}
  MACOSX_BUNDLE_SHORT_VERSION_STRING ${PROJECT_VERSION}
  # A window program on Windows, without a console beside it.
  WIN32_EXECUTABLE TRUE)

# Qt's libraries and plugins (the Serial Port module among them) beside the programs, by
# macdeployqt into the bundle and by windeployqt into the installer's folder.
qt_generate_deploy_app_script(TARGET vadrelon-editor
  FILENAME_VARIABLE deploy_editor
  NO_UNSUPPORTED_PLATFORM_ERROR)
install(SCRIPT ${deploy_editor})

set(CPACK_PACKAGE_NAME "Vadrelon Editor")
set(CPACK_PACKAGE_VENDOR NEROV)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for the Vadrelon MK3 octave-down effects pedal")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Vadrelon Editor")
set(CPACK_STRIP_FILES ON)

if(APPLE)
  set(CPACK_GENERATOR DragNDrop)
  set(CPACK_DMG_VOLUME_NAME "Vadrelon Editor")
  set(CPACK_DMG_FORMAT UDZO)
else()
  set(CPACK_GENERATOR NSIS)
  # The editor in the Start menu, under the name a player looks for.
  set(CPACK_PACKAGE_EXECUTABLES "Vadrelon Editor;Vadrelon Editor")
  set(CPACK_NSIS_DISPLAY_NAME "Vadrelon Editor")
  set(CPACK_NSIS_PACKAGE_NAME "Vadrelon Editor")
  set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\Vadrelon Editor.exe")
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
  set(CPACK_NSIS_CONTACT "vadrelon-editor@nerov.com")
endif()
include(CPack)
