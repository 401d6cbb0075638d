// pw_driver: plays the user of the installer's windows from another process.
//
//   pw_driver <command> [arguments] [<command> [arguments]]...
//
// Commands, run in order; the first that fails ends the run with status 1:
//   wait-host <seconds>            the host window "Aerovin V5 Patchwell" exists
//   wait-page <dialog> <seconds>   the page shown is that dialog (134, 136-139)
//   page                           prints the dialog number of the page shown
//   text <id>                      prints a control's text (UTF-8)
//   state <id>                     prints "visible=V enabled=E check=C"
//   expect-text <id> <text>        the control's text is exactly that (UTF-8)
//   expect-state <id> <state>      the control's state is exactly that
//   click <id>                     posts BM_CLICK to a control of the page
//   key <enter|escape> <id>        posts the key to a control of the page
//   close                          posts WM_CLOSE to the host
//   answer <yes|no> <seconds>      answers the exit question; prints its text
//   expect-no-box <milliseconds>   no exit question opens meanwhile
//   wait-gone <seconds>            the host window has gone
//   dump                           every control of the page: id, class, text,
//                                  state, rectangle in dialog units, style
//   link <file.lnk>                prints a shortcut's target, arguments,
//                                  working folder, description and icon
//   sleep <milliseconds>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kHostTitle[] = "Aerovin V5 Patchwell";
constexpr char kExitCaption[] = "Installing not complete";
constexpr char kDialogProperty[] = "PatchwellDialog";
constexpr UINT kSendTimeoutMs = 2000;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return "";
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return L"";
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

void Say(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool Fail(const std::string& why) {
    std::fprintf(stderr, "pw_driver: %s\n", why.c_str());
    return false;
}

// Polls until test() holds or the time is up.
template <class Test>
bool WaitFor(double seconds, Test test) {
    DWORD deadline = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    for (;;) {
        if (test()) return true;
        if (static_cast<LONG>(GetTickCount() - deadline) >= 0) return false;
        Sleep(50);
    }
}

HWND Host() { return FindWindowA("#32770", kHostTitle); }

struct PageSearch {
    HWND host;
    HWND page;
};

BOOL CALLBACK CheckPage(HWND window, LPARAM data) {
    auto* s = reinterpret_cast<PageSearch*>(data);
    if (GetWindow(window, GW_OWNER) == s->host && IsWindowVisible(window) && GetPropA(window, kDialogProperty)) {
        s->page = window;
        return FALSE;
    }
    return TRUE;
}

// The visible popup owned by the host that carries the dialog mark.
HWND CurrentPage() {
    PageSearch search{Host(), nullptr};
    if (!search.host) return nullptr;
    EnumWindows(CheckPage, reinterpret_cast<LPARAM>(&search));
    return search.page;
}

int PageNumber(HWND page) {
    return page ? static_cast<int>(reinterpret_cast<INT_PTR>(GetPropA(page, kDialogProperty))) : 0;
}

bool Send(HWND window, UINT message, WPARAM w, LPARAM l, DWORD_PTR* result) {
    return SendMessageTimeoutW(window, message, w, l, SMTO_ABORTIFHUNG, kSendTimeoutMs, result) != 0;
}

std::wstring TextOf(HWND window) {
    wchar_t buffer[2048] = {};
    DWORD_PTR copied = 0;
    if (!Send(window, WM_GETTEXT, sizeof buffer / sizeof buffer[0], reinterpret_cast<LPARAM>(buffer), &copied))
        return L"";
    return std::wstring(buffer, copied);
}

std::string StateOf(HWND control) {
    DWORD_PTR check = 0;
    char className[64] = {};
    GetClassNameA(control, className, sizeof className);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    bool isCheckBox = _stricmp(className, "Button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
    if (isCheckBox) Send(control, BM_GETCHECK, 0, 0, &check);
    std::string out = "visible=" + std::to_string(IsWindowVisible(control) ? 1 : 0) +
                      " enabled=" + std::to_string(IsWindowEnabled(control) ? 1 : 0);
    if (isCheckBox) out += " check=" + std::to_string(static_cast<int>(check));
    if (_stricmp(className, "msctls_progress32") == 0) {
        DWORD_PTR position = 0;
        Send(control, PBM_GETPOS, 0, 0, &position);
        out += " position=" + std::to_string(static_cast<int>(position));
    }
    return out;
}

bool PageControl(const char* idText, HWND* page, HWND* control) {
    *page = CurrentPage();
    if (!*page) return Fail("no page is shown");
    *control = GetDlgItem(*page, std::atoi(idText));
    if (!*control) return Fail(std::string("the page has no control ") + idText);
    return true;
}

// The exit question: a message box owned by the host with its caption.
HWND ExitQuestion() {
    HWND box = FindWindowA("#32770", kExitCaption);
    return box && IsWindowVisible(box) ? box : nullptr;
}

// Pixels to dialog units by the page's client area, 525 x 175 units on
// every page (MapDialogRect only answers inside the dialog's own process).
std::string DialogUnits(HWND page, HWND control) {
    RECT client;
    GetClientRect(page, &client);
    LONG w = client.right > 0 ? client.right : 1, h = client.bottom > 0 ? client.bottom : 1;
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
    auto du = [](LONG pixels, LONG size, int units) { return std::to_string((pixels * units + size / 2) / size); };
    return du(r.left, w, 525) + "," + du(r.top, h, 175) + "," + du(r.right - r.left, w, 525) + "," +
           du(r.bottom - r.top, h, 175);
}

bool Dump() {
    HWND page = CurrentPage();
    if (!page) return Fail("no page is shown");
    Say("page " + std::to_string(PageNumber(page)));
    for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char className[64] = {};
        GetClassNameA(c, className, sizeof className);
        char style[16];
        std::snprintf(style, sizeof style, "%08lX", static_cast<unsigned long>(GetWindowLongA(c, GWL_STYLE)));
        Say(std::to_string(static_cast<short>(GetDlgCtrlID(c))) + " " + className + " [" + DialogUnits(page, c) +
            "] " + style + " " + StateOf(c) + " \"" + Utf8(TextOf(c)) + "\"");
    }
    return true;
}

bool ReadLink(const std::string& file) {
    if (FAILED(CoInitialize(nullptr))) return Fail("COM did not start");
    IShellLinkA* link = nullptr;
    bool ok = false;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* persist = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
            if (SUCCEEDED(persist->Load(Wide(file).c_str(), STGM_READ))) {
                char text[MAX_PATH * 2] = {};
                int icon = 0;
                link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
                Say(std::string("target=") + text);
                text[0] = 0;
                link->GetArguments(text, sizeof text);
                Say(std::string("arguments=") + text);
                text[0] = 0;
                link->GetWorkingDirectory(text, sizeof text);
                Say(std::string("folder=") + text);
                text[0] = 0;
                link->GetDescription(text, sizeof text);
                Say(std::string("description=") + text);
                text[0] = 0;
                link->GetIconLocation(text, sizeof text, &icon);
                Say(std::string("icon=") + text + "," + std::to_string(icon));
                ok = true;
            }
            persist->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return ok || Fail("cannot read the shortcut " + file);
}

// Runs the command at args[i], advancing i past its arguments.
bool RunCommand(const std::vector<std::string>& args, std::size_t& i) {
    auto argument = [&](const char* what) -> const char* {
        if (i + 1 >= args.size()) {
            Fail(args[i] + ": missing " + what);
            return nullptr;
        }
        return args[++i].c_str();
    };
    const std::string command = args[i];
    HWND page = nullptr, control = nullptr;
    if (command == "wait-host") {
        const char* s = argument("seconds");
        return s && (WaitFor(std::atof(s), [] { return Host() != nullptr; }) || Fail("the host window did not open"));
    }
    if (command == "wait-page") {
        const char* id = argument("dialog");
        const char* s = id ? argument("seconds") : nullptr;
        if (!s) return false;
        int wanted = std::atoi(id);
        if (WaitFor(std::atof(s), [&] { return PageNumber(CurrentPage()) == wanted; })) return true;
        return Fail("page " + std::string(id) + " was not shown; the page is " + std::to_string(PageNumber(CurrentPage())));
    }
    if (command == "page") {
        Say(std::to_string(PageNumber(CurrentPage())));
        return true;
    }
    if (command == "text" || command == "state") {
        const char* id = argument("control id");
        if (!id || !PageControl(id, &page, &control)) return false;
        Say(command == "text" ? Utf8(TextOf(control)) : StateOf(control));
        return true;
    }
    if (command == "expect-text" || command == "expect-state") {
        const char* id = argument("control id");
        const char* want = id ? argument("expected value") : nullptr;
        if (!want || !PageControl(id, &page, &control)) return false;
        std::string got = command == "expect-text" ? Utf8(TextOf(control)) : StateOf(control);
        return got == want || Fail("control " + std::string(id) + ": \"" + got + "\", expected \"" + want + "\"");
    }
    if (command == "click") {
        const char* id = argument("control id");
        if (!id || !PageControl(id, &page, &control)) return false;
        return PostMessageW(control, BM_CLICK, 0, 0) || Fail("cannot post the click");
    }
    if (command == "key") {
        const char* key = argument("key");
        const char* id = key ? argument("control id") : nullptr;
        if (!id || !PageControl(id, &page, &control)) return false;
        WPARAM vk = std::strcmp(key, "enter") == 0 ? VK_RETURN : VK_ESCAPE;
        return (PostMessageW(control, WM_KEYDOWN, vk, 1) && PostMessageW(control, WM_KEYUP, vk, 0xC0000001)) ||
               Fail("cannot post the key");
    }
    if (command == "close") {
        HWND host = Host();
        return (host && PostMessageW(host, WM_CLOSE, 0, 0)) || Fail("no host window to close");
    }
    if (command == "answer") {
        const char* answer = argument("yes or no");
        const char* s = answer ? argument("seconds") : nullptr;
        if (!s) return false;
        if (!WaitFor(std::atof(s), [] { return ExitQuestion() != nullptr; })) return Fail("the exit question did not open");
        HWND box = ExitQuestion();
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            char className[64] = {};
            GetClassNameA(c, className, sizeof className);
            if (_stricmp(className, "Static") == 0 && GetWindowTextLengthW(c) > 0) Say(Utf8(TextOf(c)));
        }
        HWND button = GetDlgItem(box, std::strcmp(answer, "yes") == 0 ? IDYES : IDNO);
        if (!button) return Fail("the exit question has no such button");
        PostMessageW(button, BM_CLICK, 0, 0);
        return WaitFor(10, [] { return ExitQuestion() == nullptr; }) || Fail("the exit question stayed open");
    }
    if (command == "expect-no-box") {
        const char* ms = argument("milliseconds");
        return ms && (!WaitFor(std::atof(ms) / 1000, [] { return ExitQuestion() != nullptr; }) ||
                      Fail("a question opened"));
    }
    if (command == "wait-gone") {
        const char* s = argument("seconds");
        return s && (WaitFor(std::atof(s), [] { return Host() == nullptr; }) || Fail("the host window stayed open"));
    }
    if (command == "dump") return Dump();
    if (command == "link") {
        const char* file = argument("shortcut file");
        return file && ReadLink(file);
    }
    if (command == "sleep") {
        const char* ms = argument("milliseconds");
        if (ms) Sleep(static_cast<DWORD>(std::atoi(ms)));
        return ms != nullptr;
    }
    return Fail("unknown command " + command);
}

}  // namespace

int main() {
    // The wide command line: texts to compare may hold characters outside the ANSI code page.
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 1; argv && i < argc; ++i) args.push_back(Utf8(argv[i]));
    if (args.empty()) return Fail("usage: pw_driver <command> [arguments]..."), 2;
    for (std::size_t i = 0; i < args.size(); ++i)
        if (!RunCommand(args, i)) return 1;
    return 0;
}
