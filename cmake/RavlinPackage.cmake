# What `cmake --install` puts on the system and the Debian package CPack makes of it
# (`cmake --build build --target package` -> build/ravlin_<version>_<arch>.deb).
#
# RAVLIN_APP_ID names the desktop entry, the icon and the AppStream component; the application
# sets the same id as its desktop file name, so the window finds its entry and icon.
include(GNUInstallDirs)

if(RAVLIN_WITH_QT)
    install(FILES ${PROJECT_SOURCE_DIR}/res/${RAVLIN_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/res/${RAVLIN_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    foreach(size 16 32 48 64 128 256)
        install(FILES ${PROJECT_SOURCE_DIR}/res/icons/ravlin-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME ${RAVLIN_APP_ID}.png)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/res/icons/ravlin.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
            RENAME ${RAVLIN_APP_ID}.svg)
endif()

# Manual pages go in compressed, as Debian keeps them.
find_program(RAVLIN_GZIP gzip REQUIRED)
set(man_pages orval-sim.1 orvalctl.1)
if(RAVLIN_WITH_QT)
    list(APPEND man_pages ravlin.1)
endif()
set(compressed_pages)
foreach(page ${man_pages})
    set(source ${PROJECT_SOURCE_DIR}/docs/man/${page})
    set(output ${CMAKE_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${RAVLIN_GZIP} -9nc ${source} > ${output}
        DEPENDS ${source} VERBATIM)
    list(APPEND compressed_pages ${output})
endforeach()
add_custom_target(ravlin_man_pages ALL DEPENDS ${compressed_pages})
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ravlin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillmere Systems")
set(CPACK_PACKAGE_CONTACT "Quillmere Systems <ravlin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for devices on the ORVAL bus")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/quillmere/ravlin")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The long description that apt shows under the summary; CPack indents it and marks the empty
# line between the paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Ravlin searches the ORVAL bus behind a serial adapter for the devices of one
model, gives them bus addresses, and configures or drives the selected device:
TARVO key panels, MIRELL power sequencers and OSKAN eight-channel power
devices. Every byte received from the bus is shown in a hexadecimal log.

The package also holds orval-sim, a simulated bus on a pseudo-terminal, for
trying Ravlin without hardware.")
include(CPack)
