// Built into the window program only with AddressSanitizer. The desktop
// libraries Qt loads under X11 (D-Bus, fontconfig) keep allocations until the
// process ends; reported as leaks they would turn every exit code into 1.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n"
           "leak:libfontconfig.so\n";
}
