# What `cmake --install` puts where, and the packages CPack builds from it:
# on Windows an NSIS installer, on Linux a Debian package.
include(GNUInstallDirs)

if(WIN32)
    # Everything in one folder under Program Files, as Windows programs are.
    set(LANSCOPE_BIN_DESTINATION .)
    set(LANSCOPE_DOC_DESTINATION .)
else()
    set(LANSCOPE_BIN_DESTINATION ${CMAKE_INSTALL_BINDIR})
    # Named after the package, as Debian wants.
    set(LANSCOPE_DOC_DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lanscope)
endif()

install(TARGETS lanscope-cli lanscope-module-sim RUNTIME DESTINATION ${LANSCOPE_BIN_DESTINATION})
if(WIN32)
    install(FILES README.md LICENSE DESTINATION ${LANSCOPE_DOC_DESTINATION})
else()
    # A Debian package's licence notes are its copyright file.
    install(FILES README.md DESTINATION ${LANSCOPE_DOC_DESTINATION})
    set(dist ${PROJECT_SOURCE_DIR}/dist/linux)
    install(FILES ${dist}/copyright DESTINATION ${LANSCOPE_DOC_DESTINATION})
    install(FILES ${dist}/completion/lanscope-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
    # Manual pages and the package's change log, compressed as Debian wants
    # them (-n: no time stamp, so the same sources give the same package).
    set(compressed ${CMAKE_BINARY_DIR}/compressed)
    file(MAKE_DIRECTORY ${compressed})
    set(gzipped)
    foreach(page lanscope.1 lanscope-cli.1 lanscope-module-sim.1)
        add_custom_command(OUTPUT ${compressed}/${page}.gz
            COMMAND gzip -9n -c ${dist}/man/${page} > ${compressed}/${page}.gz
            DEPENDS ${dist}/man/${page})
        list(APPEND gzipped ${compressed}/${page}.gz)
        install(FILES ${compressed}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
    string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
    file(WRITE ${compressed}/changelog.Debian
        "lanscope (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
        "  * Release ${PROJECT_VERSION}.\n\n"
        " -- The Lanscope developers <lanscope@example.org>  ${changelog_date}\n")
    add_custom_command(OUTPUT ${compressed}/changelog.Debian.gz
        COMMAND gzip -9n -c ${compressed}/changelog.Debian > ${compressed}/changelog.Debian.gz
        DEPENDS ${compressed}/changelog.Debian)
    list(APPEND gzipped ${compressed}/changelog.Debian.gz)
    add_custom_target(lanscope_compressed_docs ALL DEPENDS ${gzipped})
    # A package of its own sources (no Debian revision): "changelog.gz".
    install(FILES ${compressed}/changelog.Debian.gz DESTINATION ${LANSCOPE_DOC_DESTINATION}
        RENAME changelog.gz)
endif()

if(TARGET lanscope)
    install(TARGETS lanscope RUNTIME DESTINATION ${LANSCOPE_BIN_DESTINATION})
    if(TARGET lanscope-presets)
        # Where the program looks for it: ../lib/lanscope from its own folder.
        install(TARGETS lanscope-presets LIBRARY DESTINATION lib/lanscope)
    endif()
    if(NOT WIN32)
        install(FILES ${dist}/org.lanscope.Lanscope.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
        install(FILES ${dist}/org.lanscope.Lanscope.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
        foreach(size 16 24 32 48 64 128 256)
            install(FILES ${dist}/icons/lanscope-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME lanscope.png)
        endforeach()
        install(FILES ${dist}/icons/lanscope.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    endif()
    if(WIN32 AND NOT MSVC)
        include(${CMAKE_CURRENT_LIST_DIR}/WindowsQtDeploy.cmake)
    elseif(WIN32)
        # The Qt libraries, plugins and the browser engine beside the program.
        get_target_property(qmake Qt6::qmake IMPORTED_LOCATION)
        get_filename_component(qt_bin ${qmake} DIRECTORY)
        find_program(LANSCOPE_WINDEPLOYQT windeployqt HINTS ${qt_bin} REQUIRED)
        install(CODE "
            execute_process(
                COMMAND \"${LANSCOPE_WINDEPLOYQT}\" --release --no-translations
                        \"\${CMAKE_INSTALL_PREFIX}/lanscope.exe\"
                RESULT_VARIABLE deployed)
            if(NOT deployed EQUAL 0)
                message(FATAL_ERROR \"windeployqt failed: \${deployed}\")
            endif()")
    endif()
endif()

set(CPACK_PACKAGE_NAME lanscope)
set(CPACK_PACKAGE_VENDOR "${LANSCOPE_COMPANY_NAME}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Find, configure and update LAN modules")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Lanscope)
set(CPACK_STRIP_FILES ON)

if(WIN32)
    # CMake's installer script, made 64-bit and with the right folder for PATH.
    list(PREPEND CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake/nsis)
    set(CPACK_GENERATOR NSIS)
    if(TARGET lanscope)
        set(CPACK_PACKAGE_FILE_NAME "lanscope-${PROJECT_VERSION}-win64")
        set(CPACK_PACKAGE_EXECUTABLES lanscope "Lanscope")
    else()
        set(CPACK_PACKAGE_FILE_NAME "lanscope-cli-${PROJECT_VERSION}-win64")
    endif()
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    set(CPACK_NSIS_DISPLAY_NAME "Lanscope ${PROJECT_VERSION}")
    set(CPACK_NSIS_PACKAGE_NAME "Lanscope")
    # A page that offers to add the folder to PATH (for lanscope-cli).
    set(CPACK_NSIS_MODIFY_PATH ON)
    set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/src/resources/lanscope.ico)
    set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/src/resources/lanscope.ico)
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
endif()

if(NOT WIN32)
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # lanscope_VERSION_amd64.deb
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Lanscope developers <lanscope@example.org>")
    set(CPACK_DEBIAN_PACKAGE_SECTION net)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/lanscope/lanscope)
    set(CPACK_PACKAGE_DESCRIPTION
        "Lanscope finds the LAN modules (small network-attached controllers) on the\n"
        "local network segment, changes their network settings or switches them to\n"
        "DHCP, gives a directly cabled module an address, opens their web pages,\n"
        "fills their configuration forms from preset files and loads new firmware\n"
        "from S-record files. lanscope-cli does the same from scripts, for many\n"
        "modules at once, and diagnoses why no module answers.")
    string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
    # Dependencies as dpkg-shlibdeps finds them in the programs.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
endif()

include(CPack)
