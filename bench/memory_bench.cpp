// Resident memory of a long game run: a seeded stream of clicks, characters,
// ticks and Run menu commands (logging, recording, playback) through the real
// game loop, in a directory of its own. Prints the resident set (VmRSS) after
// a warm-up of a fifth of the run and its peak afterwards, and exits with 1
// when it grew by more than 8 MiB after the warm-up.
//   qelma_memory [EVENTS [SEED]]      defaults: 100000 events, seed 20261208
// Run with QT_QPA_PLATFORM=offscreen. Linux only (/proc/self/status).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "game/game_loop.h"
#include "game/game_state.h"
#include "qelma/qelma.h"
#include "qelma/session/session.h"

namespace {

// The resident set of this process in KiB; -1 when it cannot be read.
long resident_kib() {
    std::FILE *f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) {
        return -1;
    }
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return kib;
}

void post(unsigned message, PlatWParam wparam, PlatLParam lparam) {
    plat_post_message(session.graphics_window, message, wparam, lparam);
}

void post_click(int x, int y) {
    unsigned column = static_cast<unsigned>(session.origin_x + x) & 0xFFFF;
    unsigned row = static_cast<unsigned>(session.origin_y - y) & 0xFFFF;
    post(WM_LBUTTONDOWN, 0, static_cast<PlatLParam>(column | (row << 16)));
}

// A click no random click reaches and no earlier step made, so that one
// played back from the script is not taken for this step's.
int guard_x(long step) { return 1000 + static_cast<int>(step % 50000); }
constexpr int GUARD_Y = 200;

} // namespace

int main(int argc, char **argv) {
    const long events = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
    const long seed = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 20261208;
    if (events <= 0) {
        std::fprintf(stderr, "usage: qelma_memory [EVENTS [SEED]]\n");
        return 2;
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qelma-memory-" + std::to_string(seed));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);

    GameState g{};
    char command_line[] = "";
    game_start(g, nullptr, nullptr, command_line, SW_SHOWNORMAL);
    plat_kill_timer(session.graphics_window, QELMA_TIMER_ID); // ticks come from the stream
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    static const unsigned commands[] = {CMD_ANIMATE, CMD_HALT,     CMD_ONE_FRAME,
                                        CMD_LOGGING, CMD_RECORD,   CMD_PLAYBACK,
                                        CMD_PLAY_ONE, CMD_ANIMATE};

    long baseline = -1;
    long peak = -1;
    for (long step = 0; step < events; ++step) {
        if (session.logging_on) {
            post(WM_COMMAND, CMD_LOGGING, 0); // a spell of logging lasts one step
        }
        int what = pick(0, 99);
        if (what < 40) {
            post_click(pick(-300, 300), pick(-250, 250));
        } else if (what < 60) {
            post(WM_CHAR, static_cast<PlatWParam>(pick(0, 255)), 0);
        } else if (what < 90) {
            post(WM_TIMER, QELMA_TIMER_ID, 0);
            post(WM_TIMER, QELMA_TIMER_ID, 0);
        } else {
            post(WM_COMMAND, commands[pick(0, 7)], 0);
        }
        // Passes until this step's guard comes back: the queue is empty again.
        post_click(guard_x(step), GUARD_Y);
        for (int passes = 0;; ++passes) {
            if (!game_pass(g)) {
                game_set_up(g);
            }
            if (session.pending_event == QELMA_MOUSE && session.event_x == guard_x(step) &&
                session.event_y == GUARD_Y) {
                break;
            }
            if (passes > 10000) {
                std::fprintf(stderr, "qelma_memory: the queue did not drain at step %ld\n", step);
                return 1;
            }
        }
        if (step % 1000 == 0 || step == events - 1) {
            long now = resident_kib();
            if (baseline < 0 && step >= events / 5) {
                baseline = now;
            }
            if (baseline >= 0 && now > peak) {
                peak = now;
            }
        }
    }
    if (session.recording) {
        run_menu_command(CMD_RECORD);
    }
    qelma_end();
    std::filesystem::current_path(dir.parent_path());
    std::filesystem::remove_all(dir);

    std::printf("qelma_memory: %ld events, seed %ld: VmRSS after warm-up %ld KiB, peak after "
                "it %ld KiB, growth %ld KiB\n",
                events, seed, baseline, peak, peak - baseline);
    if (baseline <= 0) {
        std::fprintf(stderr, "qelma_memory: /proc/self/status gave no VmRSS\n");
        return 1;
    }
    if (peak - baseline > 8 * 1024) {
        std::fprintf(stderr, "qelma_memory: resident memory grew by more than 8 MiB\n");
        return 1;
    }
    return 0;
}
