#include "platform/Console.h"

#include "common/Text.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>
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

namespace {

// Gives each LF that no CR comes before one, for a stream whose C runtime
// file is in binary mode.
class CrLfBuffer final : public std::streambuf {
  public:
    explicit CrLfBuffer(std::streambuf& target) : m_target(target) {}

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char ch = traits_type::to_char_type(c);
        return put(&ch, 1) ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        return put(text, count) ? count : 0;
    }
    int sync() override { return m_target.pubsync(); }

  private:
    bool put(const char* text, std::streamsize count) {
        std::streamsize from = 0;
        for (std::streamsize i = 0; i < count; ++i) {
            const bool bareLf = text[i] == '\n' && (i > 0 ? text[i - 1] : m_last) != '\r';
            if (bareLf) {
                if (m_target.sputn(text + from, i - from) != i - from ||
                    m_target.sputc('\r') == traits_type::eof()) {
                    return false;
                }
                from = i;
            }
        }
        if (count > 0) {
            m_last = text[count - 1];
        }
        return m_target.sputn(text + from, count - from) == count - from;
    }

    std::streambuf& m_target;
    char m_last = '\0';
};

void UseCrLfOn(std::FILE* file, std::ostream& stream) {
    std::fflush(file);
    if (_setmode(_fileno(file), _O_BINARY) == -1) {
        return;  // no such stream (a program started without one): nothing to mend
    }
    // Never freed: the streams are flushed once more after every static
    // object is gone.
    stream.rdbuf(new CrLfBuffer(*stream.rdbuf()));
}

}  // namespace

void UseOneLineEndPerLine() {
    UseCrLfOn(stdout, std::cout);
    UseCrLfOn(stderr, std::cerr);
}

void UseUtf8Console() {
    // The console belongs to the shell too: it gets its code page back.
    static UINT previous = GetConsoleOutputCP();
    if (previous != 0 && SetConsoleOutputCP(CP_UTF8)) {
        std::atexit([] { SetConsoleOutputCP(previous); });
    }
}

}  // namespace lanscope
