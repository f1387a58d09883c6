# Fails when a file includes a layer above its own: the feature folders and
# the shared widgets never include app/ (the top of the program), and the
# widgets never include a feature's window. Run as a test:
#   cmake -DSOURCE_DIR=<src> -P CheckLayers.cmake
if(NOT SOURCE_DIR)
    message(FATAL_ERROR "SOURCE_DIR not set")
endif()

set(rules
    # folders                                              forbidden include
    "common|settings|platform|discovery|config|update|presets|history|widgets|cli"
    "\"app/"
    "widgets"
    "\"(config|update|presets|history)/[A-Za-z]*Dlg\\.h\""
)
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

if(failures)
    message(FATAL_ERROR "Includes that reach a layer above their own:\n${failures}")
endif()
