/* kit_driver: the Windows side of the installer and kit tests, run under
 * Wine.
 *
 *   kit_driver run PROGRAM [ARG...]
 *       Runs PROGRAM with its arguments joined by single spaces and not
 *       quoted (an NSIS installer takes "/D=C:\a folder" only so, as the last
 *       argument and without quotes), waits for it and exits with its code.
 *   kit_driver quit PROGRAM [FOLDER [UNTIL]]
 *       Starts a QELMA program (in FOLDER, else in the current folder), waits
 *       until its "QELMA Graphics" and "QELMA Text" windows are shown (and
 *       then, with UNTIL, until the file UNTIL exists, so that a test acts
 *       while the program runs), then presses Ctrl+Q in the drawing window as the keyboard does
 * (key down Ctrl, key down Q, key up Q, key up Ctrl) and exits with the program's own exit code
 * once it has ended. kit_driver icon PROGRAM Checks that PROGRAM carries an icon (group 1, with 16,
 * 32, 48 and 256 pixel images) and a version resource. kit_driver reg [NAME] Prints the string
 * value NAME of QELMA's registration (the current user's Uninstall\QELMA key) in UTF-8, or only
 * tells by the exit code whether the key exists (0) or not (1). Wine's own reg tool prints in the
 * console's code page and loses non-ASCII folder names.
 *
 * Exit codes of its own: 100 bad use, 101 the program could not be started,
 * 102 no windows in time, 103 the program did not end in time, 104 a
 * resource is missing, 105 no such registry value. Waits are bounded: a
 * hung program is ended. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h> // after windows.h, which it needs

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define WINDOW_WAIT_MS 60000
#define EXIT_WAIT_MS 60000
#define HOLD_WAIT_MS 300000

/* Writes a message to standard error in UTF-8, so that folder names with
 * any letters reach the test's log intact. */
static void say(const wchar_t *format, ...) {
    wchar_t text[2048];
    char utf8[3 * 2048];
    va_list args;
    va_start(args, format);
    vswprintf(text, sizeof text / sizeof text[0], format, args);
    va_end(args);
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
    DWORD written = 0;
    if (length > 1)
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), utf8, (DWORD)(length - 1), &written, NULL);
}

static int start(const wchar_t *program, wchar_t *command_line, const wchar_t *folder,
                 PROCESS_INFORMATION *pi) {
    STARTUPINFOW si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    if (!CreateProcessW(program, command_line, NULL, NULL, FALSE, 0, NULL, folder, &si, pi)) {
        say(L"kit_driver: cannot start %ls (error %lu)\n", program, GetLastError());
        return 0;
    }
    return 1;
}

static DWORD wait_exit(PROCESS_INFORMATION *pi, DWORD ms) {
    DWORD code = 0;
    if (WaitForSingleObject(pi->hProcess, ms) != WAIT_OBJECT_0) {
        say(L"kit_driver: the program did not end within %lu ms; ending it\n", ms);
        TerminateProcess(pi->hProcess, 103);
        WaitForSingleObject(pi->hProcess, 5000);
        return 103;
    }
    GetExitCodeProcess(pi->hProcess, &code);
    return code;
}

static int run(int argc, wchar_t **argv) {
    /* "PROGRAM" ARG ARG ...: only the program name is quoted. */
    size_t length = 3;
    for (int i = 2; i < argc; ++i)
        length += wcslen(argv[i]) + 1;
    wchar_t *line = calloc(length + 1, sizeof *line);
    if (line == NULL)
        return 100;
    wcscat(line, L"\"");
    wcscat(line, argv[2]);
    wcscat(line, L"\"");
    for (int i = 3; i < argc; ++i) {
        wcscat(line, L" ");
        wcscat(line, argv[i]);
    }
    PROCESS_INFORMATION pi;
    int started = start(argv[2], line, NULL, &pi);
    free(line);
    if (!started)
        return 101;
    return (int)wait_exit(&pi, 10 * EXIT_WAIT_MS);
}

struct Search {
    DWORD process;
    HWND graphics;
    HWND text;
};

static BOOL CALLBACK look_at(HWND window, LPARAM data) {
    struct Search *search = (struct Search *)data;
    DWORD process = 0;
    char title[64];
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window))
        return TRUE;
    GetWindowTextA(window, title, sizeof title);
    if (strcmp(title, "QELMA Graphics") == 0)
        search->graphics = window;
    else if (strcmp(title, "QELMA Text") == 0)
        search->text = window;
    return TRUE;
}

static int quit(int argc, wchar_t **argv) {
    const wchar_t *folder = argc > 3 ? argv[3] : NULL;
    size_t length = wcslen(argv[2]) + 3;
    wchar_t *line = calloc(length, sizeof *line);
    if (line == NULL)
        return 100;
    swprintf(line, length, L"\"%ls\"", argv[2]);
    PROCESS_INFORMATION pi;
    int started = start(argv[2], line, folder, &pi);
    free(line);
    if (!started)
        return 101;

    /* The program's windows appear during its set-up; poll for them, with
     * a bound, while it starts. */
    struct Search search = {pi.dwProcessId, NULL, NULL};
    DWORD waited = 0;
    while ((search.graphics == NULL || search.text == NULL) && waited < WINDOW_WAIT_MS) {
        if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(pi.hProcess, &code);
            say(L"kit_driver: the program ended (code %lu) before its windows showed\n", code);
            return 102;
        }
        waited += 100;
        search.graphics = search.text = NULL;
        EnumWindows(look_at, (LPARAM)&search);
    }
    if (search.graphics == NULL || search.text == NULL) {
        say(L"kit_driver: no \"QELMA Graphics\" and \"QELMA Text\" windows within %d ms\n",
            WINDOW_WAIT_MS);
        TerminateProcess(pi.hProcess, 102);
        return 102;
    }
    printf("kit_driver: both windows are shown\n");
    fflush(stdout);
    if (argc > 4) {
        for (waited = 0; GetFileAttributesW(argv[4]) == INVALID_FILE_ATTRIBUTES; waited += 100) {
            if (waited >= HOLD_WAIT_MS) {
                say(L"kit_driver: %ls did not appear within %d ms\n", argv[4], HOLD_WAIT_MS);
                TerminateProcess(pi.hProcess, 102);
                return 102;
            }
            Sleep(100);
        }
    }
    printf("kit_driver: pressing Ctrl+Q\n");
    fflush(stdout);

    /* Scan codes in bits 16-23, repeat count 1; key-ups have bits 30 and
     * 31 set, as the system posts them. */
    HWND w = search.graphics;
    PostMessageA(w, WM_KEYDOWN, VK_CONTROL, 0x001D0001);
    PostMessageA(w, WM_KEYDOWN, 'Q', 0x00100001);
    PostMessageA(w, WM_KEYUP, 'Q', (LPARAM)0xC0100001u);
    PostMessageA(w, WM_KEYUP, VK_CONTROL, (LPARAM)0xC01D0001u);

    DWORD code = wait_exit(&pi, EXIT_WAIT_MS);
    printf("kit_driver: the program ended with code %lu\n", code);
    return (int)code;
}

static int icon(wchar_t **argv) {
    HMODULE module = LoadLibraryExW(argv[2], NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (module == NULL) {
        say(L"kit_driver: cannot load %ls\n", argv[2]);
        return 101;
    }
    HRSRC group =
        FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)); /* RT_GROUP_ICON */
    if (group == NULL) {
        say(L"kit_driver: %ls has no icon group 1\n", argv[2]);
        return 104;
    }
    /* GRPICONDIR: reserved, type, count, then 14-byte entries that begin
     * with the width and height (0 for 256). */
    const BYTE *dir = LockResource(LoadResource(module, group));
    int count = dir[4] | dir[5] << 8;
    int want[4] = {16, 32, 48, 256}, found = 0;
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < count; ++i) {
            int width = dir[6 + 14 * i] == 0 ? 256 : dir[6 + 14 * i];
            if (width == want[k]) {
                ++found;
                break;
            }
        }
    }
    if (found != 4) {
        say(L"kit_driver: the icon of %ls lacks a size (%d images)\n", argv[2], count);
        return 104;
    }
    if (FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16)) == NULL) { /* RT_VERSION */
        say(L"kit_driver: %ls has no version resource\n", argv[2]);
        return 104;
    }
    printf("kit_driver: icon with %d images and version resource found\n", count);
    return 0;
}

static int reg(int argc, wchar_t **argv) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QELMA", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return 1;
    if (argc < 3) {
        RegCloseKey(key);
        return 0;
    }
    wchar_t value[4096];
    DWORD type = 0, size = sizeof value - sizeof value[0];
    LONG status = RegQueryValueExW(key, argv[2], NULL, &type, (BYTE *)value, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return 105;
    value[size / sizeof value[0]] = L'\0';
    char utf8[3 * 4096 + 2];
    int length = WideCharToMultiByte(CP_UTF8, 0, value, -1, utf8, sizeof utf8 - 1, NULL, NULL);
    if (length <= 0)
        return 105;
    utf8[length - 1] = '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8, (DWORD)length, &written, NULL);
    return 0;
}

int main(void) {
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv != NULL && argc >= 3 && wcscmp(argv[1], L"run") == 0)
        return run(argc, argv);
    if (argv != NULL && argc >= 3 && argc <= 5 && wcscmp(argv[1], L"quit") == 0)
        return quit(argc, argv);
    if (argv != NULL && argc == 3 && wcscmp(argv[1], L"icon") == 0)
        return icon(argv);
    if (argv != NULL && argc >= 2 && argc <= 3 && wcscmp(argv[1], L"reg") == 0)
        return reg(argc, argv);
    fprintf(stderr, "usage: kit_driver run PROGRAM [ARG...] | quit PROGRAM [FOLDER [UNTIL]] | icon "
                    "PROGRAM | reg [NAME]\n");
    return 100;
}
