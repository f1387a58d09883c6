# Cross build for 64-bit Windows with Debian's MinGW-w64, linked statically so
# the command-line programs need no DLLs beside them.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64-base.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests run under wine (scripts/wine-run starts it with a throw-away prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
