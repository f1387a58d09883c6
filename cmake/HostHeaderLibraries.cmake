# For a cross build (MinGW-w64 on Debian): CLI11 and nlohmann-json are header
# only, so the build machine's copies serve. Their own package files would put
# all of /usr/include on the compiler's path, whose C library headers clash
# with MinGW's, so only their folders are linked into a directory of ours.
set(LANSCOPE_HOST_INCLUDE ${CMAKE_BINARY_DIR}/host-include)
file(MAKE_DIRECTORY ${LANSCOPE_HOST_INCLUDE})
foreach(folder CLI nlohmann)
    if(NOT EXISTS /usr/include/${folder})
        message(FATAL_ERROR "/usr/include/${folder} is missing: scripts/setup installs it")
    endif()
    file(CREATE_LINK /usr/include/${folder} ${LANSCOPE_HOST_INCLUDE}/${folder} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${LANSCOPE_HOST_INCLUDE})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${LANSCOPE_HOST_INCLUDE})

# GoogleTest from Debian's sources (package googletest), built for the target.
if(BUILD_TESTING OR NOT DEFINED BUILD_TESTING)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # (It names its targets GTest::gtest and GTest::gtest_main itself.)
    set(GTest_FOUND TRUE)
endif()
