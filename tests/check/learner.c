/* One learner of the test class: what it does is BEHAVIOUR (variant.h,
 * written beside it by check_class.sh). The right answer draws a red circle
 * and takes events until it is told to quit; the others go wrong, or try to
 * get out of the sandbox and then draw the right answer, so that a check
 * that passes shows that they did not get out. */
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <qelma/qelma.h>

#include "variant.h"

/* answer.c's: C, also for ben, who writes C++ */
#ifdef __cplusplus
extern "C" void draw_answer(int wrong_colour);
#else
void draw_answer(int wrong_colour);
#endif

enum { RIGHT, WRONG_COLOUR, CRASH, NEVER_WAITS, MEMORY_HOG, NOT_QELMA, ENDS_EARLY, FORK_BOMB, DISK_FILLER,
       ESCAPES, READS_SHADOW, CONNECTS, KILLS_PARENT, PRINTS_A_LOT, SLEEPS_FOREVER };

static void try_to_get_out(void) {
    static const char *const outside[] = {TEACHER_HOME "/qelma-check-escaped", "/tmp/qelma-check-escaped"};
    int i;
    for (i = 0; i < 2; i++) {
        int fd = open(outside[i], O_WRONLY | O_CREAT, 0644);
        if (fd >= 0)
            close(fd); /* /tmp is the sandbox's own: the test looks outside */
    }
}

int main(void) {
    char command_line[] = "";
    int x, y, event;
    char key;
    if (BEHAVIOUR == NOT_QELMA)
        return 0;
    qelma_begin(NULL, NULL, command_line, 1);
    if (BEHAVIOUR == FORK_BOMB) {
        int n;
        for (n = 0; n < 3000; n++) {
            pid_t child = fork();
            if (child == 0) {
                sleep(30);
                _exit(0);
            }
            if (child < 0)
                return 4; /* held by the process limit */
        }
    }
    if (BEHAVIOUR == MEMORY_HOG) {
        size_t total;
        for (total = 0; total < (size_t)4 << 30; total += 1 << 20) {
            char *block = (char *)malloc(1 << 20);
            if (block == NULL)
                abort();
            memset(block, 1, 1 << 20);
        }
    }
    if (BEHAVIOUR == DISK_FILLER) {
        static char block[1 << 20];
        int fd = open("/tmp/filler", O_WRONLY | O_CREAT, 0644), n;
        signal(SIGXFSZ, SIG_IGN);
        for (n = 0; n < 3000; n++)
            if (write(fd, block, sizeof block) != (ssize_t)sizeof block)
                return 5; /* held by the limit on what is written */
    }
    if (BEHAVIOUR == ESCAPES)
        try_to_get_out();
    if (BEHAVIOUR == READS_SHADOW && open("/etc/shadow", O_RDONLY) >= 0)
        return 6;
    if (BEHAVIOUR == CONNECTS) {
        struct sockaddr_in server;
        int s = socket(AF_INET, SOCK_STREAM, 0);
        memset(&server, 0, sizeof server);
        server.sin_family = AF_INET;
        server.sin_port = htons(SERVER_PORT);
        server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (s >= 0 && connect(s, (struct sockaddr *)&server, sizeof server) == 0)
            return 7;
    }
    if (BEHAVIOUR == KILLS_PARENT) {
        kill(getppid(), SIGKILL);
        kill(1, SIGKILL);
    }
    if (BEHAVIOUR == PRINTS_A_LOT) {
        static char line[1 << 16];
        int n;
        memset(line, 'x', sizeof line);
        for (n = 0; n < 4000; n++) /* 256 MB */
            fwrite(line, 1, sizeof line, stdout);
    }
    draw_answer(BEHAVIOUR == WRONG_COLOUR);
    for (;;) {
        event = qelma_next_event(&x, &y, &key);
        if (event == QELMA_QUIT)
            break;
        if (BEHAVIOUR == CRASH)
            raise(SIGSEGV);
        if (BEHAVIOUR == NEVER_WAITS)
            for (;;)
                (void)0;
        if (BEHAVIOUR == SLEEPS_FOREVER)
            for (;;)
                sleep(1);
        if (BEHAVIOUR == ENDS_EARLY)
            return 3;
    }
    qelma_end();
    return 0;
}
