/* A program that uses qelma.dll through an import library: built by
 * MinGW-w64 against libqelma.dll.a, and for the MSVC ABI (clang and lld-link)
 * against qelma.lib, where it has no C runtime at all and starts at
 * dll_client_entry. Each call's result is checked; the exit code is the
 * number of calls that answered wrongly. */
#include <qelma/qelma.h>

static int run(void) {
    static char command_line[1];
    int failures = 0;
    int x = -1, y = -1;
    char key = 'k';
    failures += qelma_begin(0, 0, command_line, 1) != 1;
    failures += qelma_set_logging(0) != 1;
    failures += qelma_clear_canvas() != 1;
    failures += qelma_draw_rectangle(QELMA_RED, -50, -50, 50, 50, 0) != 1;
    failures += qelma_draw_textf(QELMA_BLACK, -100, 100, 12, "%s %d", "textf", 7) != 7;
    /* A variadic call across the boundary: "DLL client 42\n" is 14 characters. */
    failures += qelma_log_printf("%s %d\n", "DLL client", 42) != 14;
    /* Quit asked for, then one frame: the next event is QELMA_QUIT. */
    failures += qelma_set_animation(QELMA_ANIMATE_QUIT) != 1;
    failures += qelma_set_animation(QELMA_ANIMATE_ONE_FRAME) != 1;
    failures += qelma_next_event(&x, &y, &key) != QELMA_QUIT;
    failures += x != 0 || y != 0 || key != 0;
    failures += qelma_end() != 1;
    return failures;
}

#ifdef DLL_CLIENT_NO_CRT
__declspec(dllimport) void __stdcall ExitProcess(unsigned code);
void __stdcall dll_client_entry(void) { ExitProcess((unsigned)run()); }
#else
int main(void) { return run(); }
#endif
