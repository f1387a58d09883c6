# The product's names, in one place for the about box (common/Version.h) and the
# Windows version resources of every program.
set(LANSCOPE_PRODUCT_NAME "Korvane Network Utility")
set(LANSCOPE_COMPANY_NAME "Korvane")
set(LANSCOPE_FILE_DESCRIPTION "Locate and configure LAN Modules")
string(TIMESTAMP LANSCOPE_YEAR "%Y")
set(LANSCOPE_COPYRIGHT "Copyright (C) ${LANSCOPE_YEAR}")

# Windows: an icon and a VERSIONINFO resource for a program.
function(lanscope_windows_resources target description)
    if(NOT WIN32)
        return()
    endif()
    set(LANSCOPE_RC_DESCRIPTION "${description}")
    set(LANSCOPE_RC_FILE_NAME "${target}.exe")
    set(LANSCOPE_RC_ICON "${PROJECT_SOURCE_DIR}/src/resources/lanscope.ico")
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/src/resources/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
