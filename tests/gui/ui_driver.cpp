// ui_driver: runs the self-combining program under test, walks its wizard by clicking
// buttons by identifier, types into its edits, answers its message boxes, and prints
// one line per page seen, per message box and for the exit code. See README.md.
#include "platform/windows_api.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

const wchar_t kTitle[] = L"ZRK RivuVovevare";

struct Options {
    std::string program, password, keyFile, output, cancelAt, closeAt, screenshots, arguments;
    std::deque<std::string> answers;
    std::deque<std::string> backAt;  // pages to go back from, in order
    bool passwordGiven = false;
    bool timings = false;
    bool triedKey = false;
    int timeoutSeconds = 120;
};

struct Page {
    const char* name;
    int marker;  // a control only this page has
    int cancel;
    int back;
};
const Page kPages[] = {{"intro", 4, 5, 0},     {"decryption", 21, 22, 20}, {"output-folder", 9, 10, 8},
                       {"ready", 12, 13, 11},  {"combining", 16, 16, 0},   {"finished", 18, 18, 0}};

std::wstring wide(const std::string& text) {
    std::wstring out(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), out.data(), int(out.size()));
    out.resize(n > 0 ? size_t(n) : 0);
    return out;
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// WM_GETTEXT, not GetWindowText: the latter does not ask controls of another process.
std::wstring windowText(HWND window) {
    wchar_t buffer[4096] = {};
    DWORD_PTR result = 0;
    if (window) SendMessageTimeoutW(window, WM_GETTEXT, 4096, LPARAM(buffer), SMTO_ABORTIFHUNG, 2000, &result);
    return buffer;
}

// Line breaks shown as "\n" so each box stays on one output line.
std::string oneLine(const std::wstring& text) {
    std::string out;
    for (char c : utf8(text)) {
        if (c == '\n') out += "\\n";
        else if (c != '\r') out += c;
    }
    return out;
}

void say(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

struct Found {
    DWORD process;
    HWND wizard = nullptr;
    HWND box = nullptr;
};

BOOL CALLBACK visit(HWND window, LPARAM parameter) {
    Found& found = *reinterpret_cast<Found*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != found.process || !IsWindowVisible(window)) return TRUE;
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (std::wcscmp(cls, L"#32770") == 0) found.box = window;
    else if (windowText(window) == kTitle) found.wizard = window;
    return TRUE;
}

BOOL CALLBACK collectText(HWND control, LPARAM parameter) {
    auto& texts = *reinterpret_cast<std::vector<std::string>*>(parameter);
    if (!IsWindowVisible(control)) return TRUE;
    const std::string text = oneLine(windowText(control));
    if (!text.empty()) texts.push_back(text);
    return TRUE;
}

// Every visible text of the page (labels, buttons, edits), in creation order.
std::string pageTexts(HWND wizard) {
    std::vector<std::string> texts;
    EnumChildWindows(wizard, collectText, LPARAM(&texts));
    std::string line;
    for (const std::string& text : texts) line += (line.empty() ? "" : " | ") + text;
    return line;
}

void click(HWND parent, int id) {
    if (HWND button = GetDlgItem(parent, id)) PostMessageW(button, BM_CLICK, 0, 0);
}

void type(HWND parent, int id, const std::string& text) {
    if (HWND edit = GetDlgItem(parent, id)) SendMessageW(edit, WM_SETTEXT, 0, LPARAM(wide(text).c_str()));
}

// The window's client area as it is on the screen, as a 24-bit BMP file. The client
// area only: without a window manager on the display the frame is not drawn.
void screenshot(HWND window, const std::string& path) {
    RECT r{};
    GetClientRect(window, &r);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&r, origin.x, origin.y);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = w;
    info.biHeight = h;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD stride = DWORD((w * 3 + 3) & ~3);
    std::vector<unsigned char> pixels(size_t(stride) * size_t(h));
    GetDIBits(memory, bitmap, 0, UINT(h), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + DWORD(pixels.size());
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(&file, sizeof file, 1, out);
        std::fwrite(&info, sizeof info, 1, out);
        std::fwrite(pixels.data(), 1, pixels.size(), out);
        std::fclose(out);
    }
}

void answerBox(HWND box, Options& options) {
    say("box " + oneLine(windowText(box)) + ": " + oneLine(windowText(GetDlgItem(box, 0xFFFF))));
    if (GetDlgItem(box, IDYES)) {
        std::string answer = "yes";
        if (!options.answers.empty()) {
            answer = options.answers.front();
            options.answers.pop_front();
        }
        say("answer " + answer);
        click(box, answer == "yes" ? IDYES : IDNO);
    } else {
        click(box, GetDlgItem(box, IDOK) ? IDOK : IDCANCEL);
    }
    for (int i = 0; i < 500 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(10);
}

// What the driver does on a page it sees for the first time.
void act(HWND wizard, const Page& page, Options& options) {
    const std::string name = page.name;
    if (name == options.closeAt) {
        PostMessageW(wizard, WM_CLOSE, 0, 0);
        return;
    }
    if (!options.backAt.empty() && name == options.backAt.front() && page.back) {
        options.backAt.pop_front();
        // A folder typed before going back, to see whether the next visit keeps it.
        if (name == "output-folder" && !options.output.empty()) type(wizard, 7, options.output);
        click(wizard, page.back);
        return;
    }
    if (name == options.cancelAt || (name == "decryption" && options.triedKey)) {
        // A key is tried once; the page coming back means it was refused.
        click(wizard, page.cancel);
        return;
    }
    if (name == "intro") click(wizard, 4);
    if (name == "decryption") {
        if (!options.keyFile.empty() || !options.passwordGiven) {
            click(wizard, 24);
            type(wizard, 26, options.keyFile);
        } else {
            click(wizard, 23);
            type(wizard, 25, options.password);
        }
        click(wizard, 21);
        options.triedKey = true;
    }
    if (name == "output-folder") {
        if (!options.output.empty()) type(wizard, 7, options.output);
        click(wizard, 9);
    }
    if (name == "ready") click(wizard, 12);
    if (name == "finished") click(wizard, 18);
}

int run(Options& options) {
    std::wstring commandLine = L"\"" + wide(options.program) + L"\"";
    if (!options.arguments.empty()) commandLine += L" " + wide(options.arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        say("cannot start " + options.program);
        return 2;
    }
    const DWORD deadline = GetTickCount() + DWORD(options.timeoutSeconds) * 1000;
    HWND seenMarker = nullptr;
    DWORD seenAt = 0;
    DWORD actedAt = GetTickCount();  // when the driver last moved the wizard on
    bool sawWindow = false, closedStuck = false;
    int shot = 0;
    while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
        if (GetTickCount() > deadline) {
            say("timeout");
            TerminateProcess(process.hProcess, 99);
            return 3;
        }
        Found found{process.dwProcessId};
        EnumWindows(visit, LPARAM(&found));
        if (found.box) {
            answerBox(found.box, options);
            seenAt = GetTickCount();
            continue;
        }
        if (!found.wizard) continue;
        sawWindow = true;
        for (const Page& page : kPages) {
            HWND marker = GetDlgItem(found.wizard, page.marker);
            if (!marker) continue;
            if (marker != seenMarker) {
                seenMarker = marker;
                seenAt = GetTickCount();
                const bool combining = std::strcmp(page.name, "combining") == 0;
                if (options.timings)
                    say(std::string("timing ") + page.name + " " + std::to_string(seenAt - actedAt) + " ms");
                // Let the page paint before it is captured or left; when timing, the
                // combining page is not waited on, so that the end of a short combine
                // is seen when it comes.
                if (!(options.timings && combining)) Sleep(300);
                std::string line = std::string("page ") + page.name;
                if (std::strcmp(page.name, "output-folder") == 0)
                    line += ": " + oneLine(windowText(GetDlgItem(found.wizard, 7)));
                say(line);
                say(std::string("texts ") + page.name + ": " + pageTexts(found.wizard));
                if (!options.screenshots.empty()) {
                    char file[32];
                    std::snprintf(file, sizeof file, "%02d-", ++shot);
                    screenshot(found.wizard, options.screenshots + "\\" + file + page.name + ".bmp");
                }
                act(found.wizard, page, options);
                if (!combining) actedAt = GetTickCount();
            } else if (std::strcmp(page.name, "combining") != 0 && !closedStuck &&
                       GetTickCount() - seenAt > 4000) {
                // The page did not move on after its action: say so, then close.
                say(std::string("stayed ") + page.name);
                closedStuck = true;
                PostMessageW(found.wizard, WM_CLOSE, 0, 0);
            }
            break;
        }
    }
    if (!sawWindow) say("no window");
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    say("exit " + std::to_string(code));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

// The first line of a file, without its line end, as zrk reads a password file.
bool readFirstLine(const std::string& path, std::string& line) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return false;
    line.clear();
    for (int c; (c = std::fgetc(in)) != EOF && c != '\n';) line += char(c);
    std::fclose(in);
    if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

std::deque<std::string> list(const std::string& value) {
    std::deque<std::string> items;
    size_t start = 0;
    while (start <= value.size()) {
        const size_t comma = value.find(',', start);
        items.push_back(value.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return items;
}

int usage() {
    say("usage: ui_driver run PROGRAM [--password P | --password-file F | --key-file K] [--output DIR] [--answer yes|no[,..]]"
        " [--cancel-at PAGE] [--close-at PAGE] [--back-at PAGE[,..]] [--screenshot-dir DIR] [--args TEXT] [--timeout SECONDS]"
        " [--timings]");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || std::strcmp(argv[1], "run") != 0) return usage();
    Options options;
    options.program = argv[2];
    for (int i = 3; i < argc; i += 2) {
        if (std::strcmp(argv[i], "--timings") == 0) {
            options.timings = true;
            --i;
            continue;
        }
        if (i + 1 >= argc) return usage();
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--password") options.password = value, options.passwordGiven = true;
        else if (key == "--password-file") {
            if (!readFirstLine(value, options.password)) {
                say("cannot read " + value);
                return 2;
            }
            options.passwordGiven = true;
        }
        else if (key == "--key-file") options.keyFile = value;
        else if (key == "--output") options.output = value;
        else if (key == "--cancel-at") options.cancelAt = value;
        else if (key == "--close-at") options.closeAt = value;
        else if (key == "--back-at") options.backAt = list(value);
        else if (key == "--screenshot-dir") options.screenshots = value;
        else if (key == "--args") options.arguments = value;
        else if (key == "--timeout") options.timeoutSeconds = std::atoi(value.c_str());
        else if (key == "--answer") options.answers = list(value);
        else return usage();
    }
    return run(options);
}
