# Cross build of the window program for 64-bit Windows with Debian's
# MinGW-w64 against the Qt for Windows that scripts/setup-qt-windows builds
# once per machine (LANSCOPE_QT_WINDOWS names another). Qt's DLLs bring the
# C++ runtime as DLLs, so the programs use those too, and the build copies
# them beside the programs; Qt's tools (moc, uic, rcc) are the build
# machine's.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64-base.cmake)
if(DEFINED ENV{LANSCOPE_QT_WINDOWS})
    set(LANSCOPE_QT_WINDOWS "$ENV{LANSCOPE_QT_WINDOWS}" CACHE PATH "Qt for Windows")
else()
    set(LANSCOPE_QT_WINDOWS /var/cache/lanscope/qt-6.4.2-mingw64 CACHE PATH "Qt for Windows")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${LANSCOPE_QT_WINDOWS})
list(APPEND CMAKE_PREFIX_PATH ${LANSCOPE_QT_WINDOWS})
set(QT_HOST_PATH /usr CACHE PATH "Qt's tools for the build machine")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
# Tests run under wine (scripts/wine-run starts it with a throw-away prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
