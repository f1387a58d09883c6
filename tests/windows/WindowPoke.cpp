// window-poke: drives a window of another program the way Windows itself
// does, for the tests of the window program under wine.
//
//   window-poke TITLE wait SECONDS     until a window of that title exists
//   window-poke TITLE syscommand N     choose item N of its system menu
//   window-poke TITLE menu N           print item N's text and "checked"/"unchecked"
//                                      (on Windows; wine keeps another program's
//                                      system menu from it)
//   window-poke TITLE topmost          print 1 when it stays on top, else 0
//   window-poke TITLE close            ask it to close (as its close box does)
//
// Exit code 0 when the window was found and the command done.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

HWND Find(const wchar_t* title) {
    return FindWindowW(nullptr, title);
}

std::wstring Wide(const char* text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), size);
    wide.resize(std::wcslen(wide.c_str()));
    return wide;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: window-poke TITLE wait|syscommand|menu|topmost|close [N]\n");
        return 2;
    }
    const std::wstring title = Wide(argv[1]);
    const std::string command = argv[2];
    const long number = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 0;
    if (command == "wait") {
        for (long tenth = 0; tenth < number * 10; ++tenth) {
            if (Find(title.c_str()) != nullptr) {
                return 0;
            }
            Sleep(100);
        }
        std::fprintf(stderr, "window-poke: no window \"%s\"\n", argv[1]);
        return 1;
    }
    HWND window = Find(title.c_str());
    if (window == nullptr) {
        std::fprintf(stderr, "window-poke: no window \"%s\"\n", argv[1]);
        return 1;
    }
    if (command == "syscommand") {
        // Sent, not posted: it returns once the window has handled it.
        SendMessageW(window, WM_SYSCOMMAND, static_cast<WPARAM>(number), 0);
        return IsWindow(window) ? 0 : 1;
    }
    if (command == "menu") {
        HMENU menu = GetSystemMenu(window, FALSE);
        wchar_t text[128] = {};
        if (menu == nullptr ||
            GetMenuStringW(menu, static_cast<UINT>(number), text, 128, MF_BYCOMMAND) == 0) {
            std::fprintf(stderr, "window-poke: no item %ld in the system menu\n", number);
            return 1;
        }
        const UINT state = GetMenuState(menu, static_cast<UINT>(number), MF_BYCOMMAND);
        std::printf("%ls %s\n", text, (state & MF_CHECKED) != 0 ? "checked" : "unchecked");
        return 0;
    }
    if (command == "topmost") {
        const LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
        std::printf("%d\n", (style & WS_EX_TOPMOST) != 0 ? 1 : 0);
        return 0;
    }
    if (command == "close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    std::fprintf(stderr, "window-poke: unknown command %s\n", command.c_str());
    return 2;
}
