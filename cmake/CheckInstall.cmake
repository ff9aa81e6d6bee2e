# Installs the build into DEST_DIR (as DESTDIR, prefix /usr) and fails when a file is missing.
file(REMOVE_RECURSE "${DEST_DIR}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${DEST_DIR} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
set(expected
    usr/bin/ferronel usr/bin/ferronel-convert usr/bin/ferronel-thumbnailer
    usr/share/applications/ferronel.desktop usr/share/icons/hicolor/scalable/apps/ferronel.svg
    usr/share/mime/packages/ferronel.xml usr/share/thumbnailers/ferronel.thumbnailer
    usr/share/man/man1/ferronel.1 usr/share/man/man1/ferronel-convert.1 usr/share/man/man1/ferronel-thumbnailer.1
    usr/${PLUGIN_DIR}/imageformats/libqferronel.so)
set(missing "")
foreach(f IN LISTS expected)
    if(NOT EXISTS "${DEST_DIR}/${f}")
        list(APPEND missing ${f})
    endif()
endforeach()
file(GLOB_RECURSE installed RELATIVE "${DEST_DIR}" "${DEST_DIR}/*")
file(REMOVE_RECURSE "${DEST_DIR}")
if(missing)
    message(FATAL_ERROR "not installed: ${missing}")
endif()
list(LENGTH expected want)
list(LENGTH installed got)
if(NOT want EQUAL got)
    message(FATAL_ERROR "installed files other than the expected ones: ${installed}")
endif()
message(STATUS "installed: ${installed}")
