# What `cmake --install` puts where, for `make install` and the Debian package alike: the
# program, its help, and the files through which a desktop shows it, opens .tab files with
# it and lists it in software centres.
include(GNUInstallDirs)

# The program finds its help at <exe dir>/../share/quorlin, so the data folder must sit
# beside the program's folder.
file(RELATIVE_PATH quorlin_bin_to_data /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_DATADIR})
if(NOT quorlin_bin_to_data STREQUAL "../share")
    message(FATAL_ERROR "Quorlin looks for its help in ../share from its own folder, but "
                        "CMAKE_INSTALL_BINDIR and CMAKE_INSTALL_DATADIR put it elsewhere")
endif()

set(quorlin_desktop ${PROJECT_SOURCE_DIR}/desktop)
set(quorlin_generated ${PROJECT_BINARY_DIR}/desktop)

install(TARGETS quorlin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The sound module sits at <exe dir>/../lib/quorlin/modules whatever the distribution's
# library folder, because the program looks for it there. One folder down, not in
# lib/quorlin itself: CPack gives a package ldconfig scripts for any shared object directly in
# a folder of /usr/lib, and a module opened by its path needs none.
install(TARGETS quorlin-sound LIBRARY DESTINATION lib/quorlin/modules
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# Beside the module, where the program looks for it: a font is tried there first.
install(TARGETS quorlin-sound-check RUNTIME DESTINATION lib/quorlin/modules)
install(FILES ${PROJECT_SOURCE_DIR}/app/Quorlin.hlp ${PROJECT_SOURCE_DIR}/app/sheet-page.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quorlin)
install(FILES ${quorlin_desktop}/quorlin.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${quorlin_desktop}/io.github.quorlin.Quorlin.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${quorlin_desktop}/quorlin-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME quorlin.xml)
install(FILES ${quorlin_desktop}/quorlin.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorlin)

# Desktops that cannot scale SVG pick these; they are drawn from the SVG on every build so
# that the two never differ.
find_program(QUORLIN_RSVG_CONVERT rsvg-convert REQUIRED)
set(quorlin_icons)
foreach(size IN ITEMS 16 22 24 32 48 64 128 256)
    set(png ${quorlin_generated}/icons/${size}x${size}/quorlin.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${quorlin_generated}/icons/${size}x${size}
        COMMAND ${QUORLIN_RSVG_CONVERT} --width ${size} --height ${size} --output ${png}
                ${quorlin_desktop}/quorlin.svg
        DEPENDS ${quorlin_desktop}/quorlin.svg
        VERBATIM)
    list(APPEND quorlin_icons ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# The man page and the changelog go compressed, without a time stamp in the gzip header, so
# that two builds of one source give the same package.
set(quorlin_compressed)
foreach(source IN ITEMS ${quorlin_desktop}/quorlin.1 ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
    get_filename_component(name ${source} NAME)
    add_custom_command(OUTPUT ${quorlin_generated}/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${quorlin_generated}/${name}
        COMMAND gzip -n -9 -f ${quorlin_generated}/${name}
        DEPENDS ${source}
        VERBATIM)
    list(APPEND quorlin_compressed ${quorlin_generated}/${name}.gz)
endforeach()
install(FILES ${quorlin_generated}/quorlin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${quorlin_generated}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorlin)

add_custom_target(quorlin_desktop_files ALL DEPENDS ${quorlin_icons} ${quorlin_compressed})

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
