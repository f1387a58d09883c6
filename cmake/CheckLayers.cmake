# Fails when a file includes a layer above its own, or the core reaches for
# the system or Qt. Run as a test:
#   cmake -DSOURCE_DIR=<src> -P CheckLayers.cmake
# The rules live here only; the compile-time guard (LanscopeCore.cmake) stops
# a few headers early, this check holds them all.
cmake_minimum_required(VERSION 3.20)
if(NOT SOURCE_DIR)
    message(FATAL_ERROR "SOURCE_DIR not set")
endif()

set(features "discovery|config|update|presets|history|widgets|cli|app")
set(rules
    # folders                                              forbidden include
    "common|settings|platform|discovery|config|update|presets|history|widgets|cli"
    "\"app/"
    "widgets"
    "\"(config|update|presets|history)/[A-Za-z]*Dlg\\.h\""
    # The platform wraps the system for every feature and knows none of them.
    "platform"
    "\"(${features})/"
    # The shared GUI kit sees the core of discovery only (checked below), no
    # socket, session or event loop.
    "widgets"
    "\"(platform|config|update|presets|history|cli)/"
)

# The core's files, as the folders' CMakeLists.txt give them to lanscope_core.
set(core_files "")
file(GLOB folder_lists "${SOURCE_DIR}/*/CMakeLists.txt")
foreach(list_file IN LISTS folder_lists)
    get_filename_component(folder "${list_file}" DIRECTORY)
    file(RELATIVE_PATH folder_name "${SOURCE_DIR}" "${folder}")
    file(READ "${list_file}" text)
    string(REGEX MATCHALL "target_sources\\(lanscope_core PRIVATE[^)]*\\)" blocks "${text}")
    foreach(block IN LISTS blocks)
        string(REGEX MATCHALL "[A-Za-z0-9_/]+\\.(h|cpp)" names "${block}")
        foreach(name IN LISTS names)
            list(APPEND core_files "${folder_name}/${name}")
        endforeach()
    endforeach()
endforeach()
# Not a lanscope_core list but core all the same: everything in common/.
file(GLOB_RECURSE common_files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/common/*.h"
    "${SOURCE_DIR}/common/*.cpp")
list(APPEND core_files ${common_files})
list(REMOVE_DUPLICATES core_files)

set(failures "")
list(LENGTH rules count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET rules ${i} folders)
    list(GET rules ${j} forbidden)
    string(REPLACE "|" ";" folders "${folders}")
    foreach(folder IN LISTS folders)
        file(GLOB_RECURSE files "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
        foreach(file IN LISTS files)
            file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]+${forbidden}")
            foreach(line IN LISTS lines)
                file(RELATIVE_PATH name "${SOURCE_DIR}" "${file}")
                string(APPEND failures "  ${name}: ${line}\n")
            endforeach()
        endforeach()
    endforeach()
endforeach()

# The widgets' discovery headers must be core ones.
file(GLOB_RECURSE widget_files "${SOURCE_DIR}/widgets/*.h" "${SOURCE_DIR}/widgets/*.cpp")
foreach(file IN LISTS widget_files)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]+\"discovery/")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE ".*\"(discovery/[^\"]+)\".*" "\\1" header "${line}")
        if(NOT header IN_LIST core_files)
            file(RELATIVE_PATH name "${SOURCE_DIR}" "${file}")
            string(APPEND failures "  ${name}: ${line}\n")
        endif()
    endforeach()
endforeach()

# The core: no operating system header and no Qt.
set(os_or_qt "<(fcntl\\.h|unistd\\.h|io\\.h|poll\\.h|netdb\\.h|ifaddrs\\.h|windows\\.h|winsock2\\.h|ws2tcpip\\.h|iphlpapi\\.h|sys/|arpa/|netinet/|net/|Qt|Q[A-Z])")
foreach(name IN LISTS core_files)
    if(NOT EXISTS "${SOURCE_DIR}/${name}")
        continue()
    endif()
    file(STRINGS "${SOURCE_DIR}/${name}" lines REGEX "^[ \t]*#[ \t]*include[ \t]+${os_or_qt}")
    foreach(line IN LISTS lines)
        string(APPEND failures "  ${name}: ${line}\n")
    endforeach()
endforeach()

if(failures)
    message(FATAL_ERROR "Includes that reach a layer above their own:\n${failures}")
endif()
