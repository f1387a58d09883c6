# What `cmake --install` puts where, and the packages CPack builds from it:
# on Windows an NSIS installer, on Linux a Debian package.
include(GNUInstallDirs)

if(WIN32)
    # Everything in one folder under Program Files, as Windows programs are.
    set(LANSCOPE_BIN_DESTINATION .)
    set(LANSCOPE_DOC_DESTINATION .)
else()
    set(LANSCOPE_BIN_DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(LANSCOPE_DOC_DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

install(TARGETS lanscope-cli lanscope-module-sim RUNTIME DESTINATION ${LANSCOPE_BIN_DESTINATION})
install(FILES README.md LICENSE DESTINATION ${LANSCOPE_DOC_DESTINATION})

if(TARGET lanscope)
    install(TARGETS lanscope RUNTIME DESTINATION ${LANSCOPE_BIN_DESTINATION})
    if(WIN32)
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

include(CPack)
