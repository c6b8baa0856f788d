// The one offscreen session that a fuzz target opens in LLVMFuzzerInitialize,
// and the invariants every target checks after each input.
#ifndef QELMA_FUZZ_FUZZ_SESSION_H
#define QELMA_FUZZ_FUZZ_SESSION_H

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qelma/log/log.h"
#include "qelma/platform/platform.h"
#include "qelma/qelma.h"
#include "qelma/session/session.h"

// Stops the target with a message: libFuzzer keeps the input that did it.
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// Opens the session on Qt's offscreen platform, with the real timer stopped
// so that nothing but the target's own messages reaches the queue.
inline void open_fuzz_session() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char command_line[] = "";
    qelma_begin(nullptr, nullptr, command_line, SW_SHOWNORMAL);
    plat_kill_timer(session.graphics_window, QELMA_TIMER_ID);
    qelma_set_logging(0);
    qelma_clear_canvas();
}

// Takes every queued message without handling it.
inline void drop_queued_messages() {
    PlatMsg msg{};
    while (plat_peek_message(&msg)) {
    }
}

// What must hold after any input: the ring keeps at most its 25 lines, each
// one a string no longer than the line limit.
inline void check_log_ring() {
    int n = qelma_log_count();
    FUZZ_CHECK(n >= 0 && n <= LOG_RING_SIZE);
    for (int i = 0; i < n; ++i) {
        const char *line = qelma_log_line(i);
        FUZZ_CHECK(line != nullptr);
        FUZZ_CHECK(std::strlen(line) <= LOG_LINE_LIMIT);
    }
}

#endif // QELMA_FUZZ_FUZZ_SESSION_H
