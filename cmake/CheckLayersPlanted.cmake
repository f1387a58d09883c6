# Shows that every rule of CheckLayers.cmake fails: for each, a copy of the
# source tree gets one offending include, and the check must fail naming the
# file. Run as a test:
#   cmake -DSOURCE_DIR=<src> -DWORK_DIR=<scratch> -P CheckLayersPlanted.cmake
cmake_minimum_required(VERSION 3.20)
if(NOT SOURCE_DIR OR NOT WORK_DIR)
    message(FATAL_ERROR "SOURCE_DIR and WORK_DIR must be set")
endif()

set(cases
    # file (new or appended to)        planted include
    "platform/Planted.cpp"             "#include \"history/History.h\""
    "widgets/Planted.h"                "#include \"platform/EventLoop.h\""
    "widgets/Planted.cpp"              "#include \"discovery/FerroxSocket.h\""
    "update/SRecordImage.cpp"          "#include <unistd.h>"
    "common/Ipv4.h"                    "#include <QString>"
)
list(LENGTH cases count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET cases ${i} file)
    list(GET cases ${j} include)
    set(tree "${WORK_DIR}/planted")
    file(REMOVE_RECURSE "${tree}")
    file(COPY "${SOURCE_DIR}/" DESTINATION "${tree}")
    file(APPEND "${tree}/${file}" "\n${include}\n")
    execute_process(
        COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} -P ${CMAKE_CURRENT_LIST_DIR}/CheckLayers.cmake
        RESULT_VARIABLE result ERROR_VARIABLE output OUTPUT_QUIET)
    if(result EQUAL 0 OR NOT output MATCHES "  ${file}: ")
        message(FATAL_ERROR "the layering check let ${include} in ${file} pass:\n${output}")
    endif()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}/planted")
