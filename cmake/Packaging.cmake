# `make deb`: the program, its web view plugin, the staged runtime and Node.js,
# the desktop entry, the icons and the AppStream metadata, as one Debian
# package installed under /usr. The program finds its runtime at
# <directory of the executable>/../share/vesperline, so /usr/bin/vesperline
# uses /usr/share/vesperline.
set(resources ${CMAKE_SOURCE_DIR}/src/resources)
set(app_id org.vesperline.Vesperline)

install(TARGETS vesperline RUNTIME DESTINATION bin)
install(TARGETS vesperline_webview LIBRARY DESTINATION lib/vesperline)
# The runtime root and Node.js as scripts/stage assembled them; packaging
# without a stage fails here rather than ship a program that cannot start.
install(DIRECTORY ${VESPERLINE_STAGE_DIR}/share/vesperline/ DESTINATION share/vesperline
        USE_SOURCE_PERMISSIONS PATTERN ".stage-key" EXCLUDE)
install(FILES ${resources}/vesperline.desktop DESTINATION share/applications
        RENAME ${app_id}.desktop)
install(FILES ${resources}/${app_id}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${resources}/AppLogo.svg DESTINATION share/icons/hicolor/scalable/apps
        RENAME ${app_id}.svg)

# The PNG sizes panels and menus ask for, rendered from the logo.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(icon_pngs)
foreach(size 16 22 24 32 48 64 128 256 512)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/${app_id}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${resources}/AppLogo.svg
        DEPENDS ${resources}/AppLogo.svg VERBATIM)
    list(APPEND icon_pngs ${png})
    install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(vesperline_icons ALL DEPENDS ${icon_pngs})

# The AppStream release must name the version being packaged.
file(READ ${resources}/${app_id}.metainfo.xml metainfo)
if(NOT metainfo MATCHES "<release version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "${app_id}.metainfo.xml has no release ${PROJECT_VERSION}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vesperline)
set(CPACK_PACKAGE_VENDOR "Vesperline developers")
set(CPACK_PACKAGE_CONTACT "Vesperline developers <developers@vesperline.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control panel for a church's live-stream scripture presentation")
set(CPACK_PACKAGE_DESCRIPTION
    "Vesperline runs the presentation server that shows Bible verses, bookmarks,\n\
playlists and slides in OBS, on a tablet and on a second monitor, keeps the\n\
church's data and edits it. The server and its Node.js come with the package.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/deb)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vesperline.org)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# What no library link shows: the tools the program runs, and Qt's display
# plugins, which Qt loads by name.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "lsof, procps, tar, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, gnome-keyring")
include(CPack)
