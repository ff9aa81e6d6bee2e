# Where `cmake --install` puts the programs and the desktop's files, laid out as a Debian system
# looks for them under the install prefix, and the .deb that CPack builds from the same rules.
include(GNUInstallDirs)

# Qt's own plug-in folder, relative to the prefix when it lies under /usr (Debian:
# lib/<multiarch>/qt6/plugins), so that the package puts the image-format plug-in where Qt looks.
set(FERRONEL_QT_PLUGIN_INSTALL_DIR "" CACHE STRING "Folder of Qt's plug-ins, relative to the install prefix")
if(NOT FERRONEL_QT_PLUGIN_INSTALL_DIR)
    set(qt_plugins "")
    if(TARGET Qt6::qmake)
        get_target_property(qmake Qt6::qmake IMPORTED_LOCATION)
        execute_process(COMMAND "${qmake}" -query QT_INSTALL_PLUGINS OUTPUT_VARIABLE qt_plugins
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    if(qt_plugins MATCHES "^/usr/(.+)$")
        set(FERRONEL_QT_PLUGIN_INSTALL_DIR "${CMAKE_MATCH_1}")
    else()
        set(FERRONEL_QT_PLUGIN_INSTALL_DIR "${CMAKE_INSTALL_LIBDIR}/qt6/plugins")
    endif()
endif()

install(TARGETS ferronel ferronel-convert ferronel-thumbnailer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ferronel_qtimageformat LIBRARY DESTINATION ${FERRONEL_QT_PLUGIN_INSTALL_DIR}/imageformats)
install(FILES data/ferronel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/ferronel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES data/ferronel-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ferronel.xml)
install(FILES data/ferronel.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
install(FILES data/man/ferronel.1 data/man/ferronel-convert.1 data/man/ferronel-thumbnailer.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The layout check: installs into a temporary folder and looks for every file above.
add_test(NAME install_layout
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DDEST_DIR=${CMAKE_BINARY_DIR}/install-check
                 -DPLUGIN_DIR=${FERRONEL_QT_PLUGIN_INSTALL_DIR} -P ${CMAKE_CURRENT_LIST_DIR}/CheckInstall.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ferronel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ferronel developers <ferronel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Picture viewer for old and new picture formats")
set(CPACK_PACKAGE_DESCRIPTION "A picture viewer, a batch converter, thumbnails for file managers and a Qt image-format plug-in for Targa, PCX, SGI, portable maps, Autodesk, Dr. Halo, Alias/Wavefront and other picture formats.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libgcc-s1, libqt6core6, libqt6gui6, libqt6widgets6, qt6-qpa-plugins, libjpeg62-turbo, zlib1g, libdeflate0, shared-mime-info")
include(CPack)
