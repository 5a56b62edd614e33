# The Debian package: cpack -G DEB in a build folder (scripts/package.sh
# makes a release build and runs it) packs what the install rules install,
# under /usr, with the dependencies read from the programs' shared libraries.
set(CPACK_PACKAGE_NAME lumvane)
set(CPACK_PACKAGE_VENDOR "The Lumvane developers")
set(CPACK_PACKAGE_CONTACT "Lumvane developers <lumvane@users.noreply.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast browser and viewer for JPEG photographs")
# The summary is the synopsis line; this the extended description after it.
set(CPACK_PACKAGE_DESCRIPTION "Lumvane shows a folder tree, the JPEG photographs of the chosen folder as
thumbnails decoded in the background, and the current photograph in a large
view that fits it to the window, turns and flips it, corrects its gamma and
zooms it. Its file data and Exif tags can be listed and copied as text, the
photograph copied to the clipboard, and files copied, moved, renamed and put
in the trash. Thumbnails are shared with other programs through the
desktop's thumbnail cache.
.
The package also holds lumvane-cli, which decodes, lists, makes thumbnails,
copies, moves and turns photographs losslessly from the command line.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its Wayland platform plugin at run time, so shlibdeps cannot see
# it; without it the program runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Debian's own layout: root owns every file, folders are 0755.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
