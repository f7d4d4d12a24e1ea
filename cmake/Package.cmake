# `make package`: a Debian package of what cmake/Install.cmake installs, under /usr. The
# desktop, MIME, icon and man caches are refreshed by the triggers of the packages that own
# them, so the package needs no maintainer scripts and leaves nothing behind on removal.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorlin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorlin developers")
set(CPACK_PACKAGE_CONTACT "Quorlin developers <dev@quorlin.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Qt (libqt6svg6 for the SVG pages too), FluidSynth and the C++ runtime come from
# dpkg-shlibdeps; the sound font is read at run time, so no library names it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The printed pages are measured and drawn in Liberation Serif and Sans.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fluid-soundfont-gm, fonts-liberation2")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for bass guitar tablature")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Quorlin writes bass tablature as plain ASCII text. Drag a duration onto the
picture of the neck, or type the note on the keyboard, pick how it is played,
and the tab grows block by block, ready to save, load again or paste anywhere.
Hammer-ons, pull-offs, slides, slap and pop, chords, triplets and rests are
written for you, on four, five or six strings in any tuning, and every action
can be undone.

The tab plays with a bass sound through FluidSynth while the neck shows where
the fingers go, and exports to MIDI and WAV, from the window or the command
line.")

include(CPack)
