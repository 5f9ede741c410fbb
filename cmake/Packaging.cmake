# The Debian package: everything `cmake --install` puts under the prefix, installed under
# /usr, with the shared-library dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexil)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vexil developers <vexil@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "icon extractor for Windows programs, DLLs and icon files")
set(CPACK_PACKAGE_DESCRIPTION
  "Vexil lists the files of a directory that hold icons, shows every icon of the chosen file
and saves an icon as .ico (all images of a group exactly as stored, or one), .bmp or .jpg.
It reads PE32 and PE32+ programs and DLLs, 16-bit NE modules and icon files and never runs
their code. The package also holds vexil-cli, the same from the command line, and
vexil-thumbnailer, which gives file managers the icons of Windows programs as thumbnails.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time by the cursor-pack reader, so dpkg-shlibdeps does not see it.
set(VEXIL_RUNTIME_DEPENDS "libarchive13")
# The window's captions are Japanese: a font that has them, and the platform plugins that
# let Qt open a window (qt6-wayland: on a Wayland session, where the window carries the
# desktop's name for it as its app_id). Qt's own texts (the file dialog, its questions, the buttons) come
# from Qt's Japanese translation.
if(VEXIL_GUI)
  string(APPEND VEXIL_RUNTIME_DEPENDS ", qt6-translations-l10n")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, qt6-qpa-plugins, qt6-wayland")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${VEXIL_RUNTIME_DEPENDS}")
include(CPack)
