# The core library may use the C++ standard library only. Every core source is
# compiled with an include path that shadows Qt and the operating system's
# networking headers with files that stop the build, so a stray include fails
# at once instead of creeping in.
set(LANSCOPE_CORE_GUARD_DIR ${CMAKE_BINARY_DIR}/core-include-guard)
foreach(header
        QtCore/QObject QObject QString QtGlobal QtCore/qglobal.h
        sys/socket.h netinet/in.h arpa/inet.h netdb.h ifaddrs.h net/if.h
        windows.h winsock2.h ws2tcpip.h)
    set(path ${LANSCOPE_CORE_GUARD_DIR}/${header})
    if(NOT EXISTS ${path})
        file(WRITE ${path}
            "#error \"${header} must not be included by lanscope_core: the core is standard C++ only\"\n")
    endif()
endforeach()
