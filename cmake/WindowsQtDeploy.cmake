# The window program built with MinGW against Qt for Windows: the DLLs and
# plugins it needs, copied beside the programs in the build (so they run under
# wine as they are) and installed beside them. windeployqt is a Windows
# program, hence these rules.

# Qt's libraries: those the programs link, and Test for the GUI tests.
set(qt_prefix ${QT6_INSTALL_PREFIX})
if(NOT qt_prefix)
    set(qt_prefix ${LANSCOPE_QT_WINDOWS})
endif()
set(qt_dlls Core Gui Widgets Network)
set(qt_runtime)
foreach(module ${qt_dlls})
    list(APPEND qt_runtime ${qt_prefix}/bin/Qt6${module}.dll)
endforeach()
# The plugins: the Windows platform and its native style; offscreen only for
# the tests. The icon is a PNG, which Qt reads without a plugin.
set(qt_platform ${qt_prefix}/plugins/platforms/qwindows.dll)
set(qt_style ${qt_prefix}/plugins/styles/qwindowsvistastyle.dll)
set(qt_offscreen ${qt_prefix}/plugins/platforms/qoffscreen.dll)

# MinGW's C++ runtime, which Qt's DLLs and ours share.
set(mingw_runtime)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
        message(FATAL_ERROR "MinGW's ${dll} was not found (${found})")
    endif()
    list(APPEND mingw_runtime ${found})
endforeach()

foreach(file ${qt_runtime} ${qt_platform} ${qt_style} ${qt_offscreen}
        ${qt_prefix}/bin/Qt6Test.dll)
    if(NOT EXISTS ${file})
        message(FATAL_ERROR "${file} is missing: scripts/setup-qt-windows builds Qt for Windows")
    endif()
endforeach()

set(out ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
add_custom_target(lanscope_windows_runtime ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/platforms ${out}/styles
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_runtime} ${qt_prefix}/bin/Qt6Test.dll
            ${mingw_runtime} ${out}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_platform} ${qt_offscreen}
            ${out}/platforms
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_style} ${out}/styles
    COMMENT "Qt's DLLs and plugins beside the programs")

install(FILES ${qt_runtime} ${mingw_runtime} DESTINATION ${LANSCOPE_BIN_DESTINATION})
install(FILES ${qt_platform} DESTINATION ${LANSCOPE_BIN_DESTINATION}/platforms)
install(FILES ${qt_style} DESTINATION ${LANSCOPE_BIN_DESTINATION}/styles)
# Qt is under the LGPL version 3 (which builds on the GPL version 3): its
# notice, where its source is, and both licence texts.
install(FILES ${PROJECT_SOURCE_DIR}/dist/windows/THIRD-PARTY.txt
    /usr/share/common-licenses/LGPL-3 /usr/share/common-licenses/GPL-3
    DESTINATION ${LANSCOPE_DOC_DESTINATION})
