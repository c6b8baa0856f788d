/* A QELMA program for qelma-replay's tests: what it does is its argument.
 *   draw C        a rectangle in colour C on white; ends on quit
 *   exit N        ends with code N at its second event
 *   crash         aborts at its second event
 *   fault         ends by a memory fault at its second event (on Windows
 *                 it writes through a null pointer)
 *   plain         ends at once without a QELMA session
 *   spin          begins a session and never asks for an event
 *   ignore-quit   asks for events after quit as well
 *   count         a dot at each click; at quit says "N clicks" on stderr
 *   draw-forever  logging on, one event, then draws for up to 30 s
 *   background    leaves processes running: "sleep 5 &" (which must not
 *                 have descriptor 3) and a fork of its own; on Windows
 *                 itself, spinning, started with the pipe's handle inherited
 *   own-fd3       closes descriptor 3 and opens own.txt of its own there
 *                 before its session; aborts if that file was changed
 *   log-before    logs "before the session" before qelma_begin
 * (own-fd3 is not built for Windows.) */
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

#include <qelma/qelma.h>

int main(int argc, char **argv) {
    char command_line[] = "";
    const char *what = argc > 1 ? argv[1] : "draw";
    int value = argc > 2 ? atoi(argv[2]) : 2;
    int events = 0, clicks = 0;
#if !defined(_WIN32)
    int own = -1;
#endif
    if (strcmp(what, "plain") == 0) {
        return 0;
    }
#if !defined(_WIN32)
    if (strcmp(what, "own-fd3") == 0) {
        close(3);
        own = open("own.txt", O_RDWR | O_CREAT | O_TRUNC, 0644);
        if (own != 3 || write(own, "mine", 4) != 4) {
            return 9;
        }
    }
#endif
    if (strcmp(what, "log-before") == 0) {
        qelma_log_printf("before the session\n");
    }
    qelma_begin(NULL, NULL, command_line, 1);
    if (strcmp(what, "draw-forever") != 0) {
        qelma_set_logging(0);
    }
    if (strcmp(what, "background") == 0) {
#if defined(_WIN32)
        if (_spawnl(_P_NOWAIT, argv[0], argv[0], "spin", NULL) == -1) {
            return 9;
        }
#else
        if (system("[ ! -e /dev/fd/3 ] && { sleep 5 & }") != 0) {
            return 9;
        }
        if (fork() == 0) {
            sleep(5);
            _exit(0);
        }
#endif
    }
    qelma_clear_canvas();
    qelma_draw_rectangle(value, -100, 50, 80, -40, 3);
    if (strcmp(what, "spin") == 0) {
        volatile int forever = 1;
        while (forever) {
        }
    }
    for (;;) {
        int x = 0, y = 0;
        int kind = qelma_next_event(&x, &y, NULL);
        ++events;
        if (strcmp(what, "draw-forever") == 0) {
            time_t start = time(NULL);
            while (time(NULL) - start < 30) {
                qelma_draw_circle(QELMA_BLUE, 0, 0, 8);
            }
            return 0;
        }
        if (events == 2 && strcmp(what, "exit") == 0) {
            return value;
        }
        if (events == 2 && strcmp(what, "crash") == 0) {
            abort();
        }
        if (events == 2 && strcmp(what, "fault") == 0) {
#if defined(_WIN32)
            volatile int *nowhere = NULL;
            *nowhere = 1; /* an access violation, as a faulty program makes it */
#else
            signal(SIGSEGV, SIG_DFL); /* past a sanitizer's own handler */
            raise(SIGSEGV);
#endif
        }
        if (kind == QELMA_PERIODIC) {
            qelma_draw_circle(value, -200 + 10 * events, -100, 8);
        }
        if (kind == QELMA_MOUSE) {
            ++clicks;
            qelma_draw_circle(QELMA_BLACK, x, y, 4);
        }
        if (kind == QELMA_QUIT && strcmp(what, "ignore-quit") != 0) {
            break;
        }
    }
    if (strcmp(what, "count") == 0) {
        fprintf(stderr, "replay_probe: %d clicks\n", clicks);
    }
#if !defined(_WIN32)
    if (own >= 0) {
        char back[8] = "";
        if (pread(own, back, sizeof back, 0) != 4 || memcmp(back, "mine", 4) != 0) {
            abort();
        }
    }
#endif
    qelma_end();
    return 0;
}
