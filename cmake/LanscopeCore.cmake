# The core library uses the C++20 standard library, Threads and the
# header-only nlohmann-json, and nothing of Qt or the operating system. Every
# core source is compiled with an include path that shadows Qt and the
# system's networking and file headers with files that stop the build, so a
# stray include fails at once instead of creeping in. unistd.h and the sys/
# headers the standard library itself includes (types.h, time.h, select.h…)
# cannot be shadowed; the layering check holds those.
set(LANSCOPE_CORE_GUARD_DIR ${CMAKE_BINARY_DIR}/core-include-guard)
foreach(header
        QtCore/QObject QObject QString QtGlobal QtCore/qglobal.h
        sys/socket.h netinet/in.h arpa/inet.h netdb.h ifaddrs.h net/if.h
        windows.h winsock2.h ws2tcpip.h
        fcntl.h io.h sys/stat.h sys/file.h sys/mman.h)
    # Rewritten only when the text changes, so a configure run rebuilds nothing.
    file(CONFIGURE OUTPUT ${LANSCOPE_CORE_GUARD_DIR}/${header}
        CONTENT "#error \"${header} must not be included by lanscope_core: the core uses the C++20 standard library, Threads and nlohmann-json only\"\n"
        @ONLY)
endforeach()
