#include "platform/Console.h"

#include "common/Text.h"

#include <windows.h>

#include <cstdlib>
#include <iostream>
#include <string_view>
#include <vector>

namespace lanscope {

namespace {

HANDLE StandardHandle(ConsoleStream stream) {
    return GetStdHandle(stream == ConsoleStream::Input    ? STD_INPUT_HANDLE
                        : stream == ConsoleStream::Output ? STD_OUTPUT_HANDLE
                                                          : STD_ERROR_HANDLE);
}

std::string FromWide(const std::wstring& text, UINT codePage) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size, nullptr, nullptr);
    return result;
}

}  // namespace

bool IsTerminal(ConsoleStream stream) {
    DWORD mode = 0;
    return GetConsoleMode(StandardHandle(stream), &mode) != 0;
}

bool ReadInputLine(std::string& line, bool hidden) {
    const HANDLE input = StandardHandle(ConsoleStream::Input);
    DWORD saved = 0;
    if (GetConsoleMode(input, &saved) == 0) {
        // A file or a pipe: its bytes are taken as they are.
        if (!std::getline(std::cin, line)) {
            return false;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return true;
    }
    if (hidden) {
        SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    }
    // Read as UTF-16: the console's input code page is the OEM one, which is
    // not what a module that was given its password by a window expects.
    std::wstring typed;
    bool ended = false;
    bool ok = true;
    while (!ended) {
        wchar_t chunk[256];
        DWORD read = 0;
        if (!ReadConsoleW(input, chunk, 256, &read, nullptr) || read == 0) {
            ok = !typed.empty();
            break;
        }
        for (DWORD i = 0; i < read && !ended; ++i) {
            if (chunk[i] == L'\n') {
                ended = true;
            } else if (chunk[i] != L'\r') {
                typed.push_back(chunk[i]);
            }
        }
    }
    if (hidden) {
        SetConsoleMode(input, saved);
        std::cerr << '\n';
    }
    // The active code page, as the window program's edits give it.
    line = FromWide(typed, CP_ACP);
    return ok;
}

std::string CurrentUserName() {
    wchar_t name[257] = {};
    DWORD size = 257;
    if (!GetUserNameW(name, &size)) {
        return {};
    }
    return FromWide(name, CP_UTF8);
}

bool RunsAsSuperuser() {
    return false;
}

namespace {

std::wstring FromActiveCodePage(std::string_view bytes) {
    const int count =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(count > 0 ? count : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                        count);
    return wide;
}

}  // namespace

void UseSystemCodePage() {
    SetEightBitDecoder(
        [](std::string_view bytes) { return FromWide(FromActiveCodePage(bytes), CP_UTF8); });
    SetPathDecoder(
        [](const std::string& name) { return std::filesystem::path(FromActiveCodePage(name)); });
}

void UseUtf8Console() {
    // The console belongs to the shell too: it gets its code page back.
    static UINT previous = GetConsoleOutputCP();
    if (previous != 0 && SetConsoleOutputCP(CP_UTF8)) {
        std::atexit([] { SetConsoleOutputCP(previous); });
    }
}

}  // namespace lanscope
