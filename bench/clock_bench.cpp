// Measurements against the real clock, each in a fresh process:
//   qelma_clock startup        start of main to the first frame on screen
//   qelma_clock ticks N        period of N periodic events (mean, 99th-percentile deviation)
//   qelma_clock cpu SECONDS    processor time of the animating game, nobody touching it
//   qelma_clock idle SECONDS   processor time of a program waiting for input that never comes
// (QELMA_PLATFORM=headless runs each on the headless platform.)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench/bench_support.h"
#include "game/game_loop.h"
#include "game/game_state.h"
#include "qelma/qelma.h"
#include "qelma/session/session.h"

using Clock = std::chrono::steady_clock;

static double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

static int startup() {
    Clock::time_point t0 = Clock::now();
    GameState g{};
    char command_line[] = "";
    game_start(g, nullptr, nullptr, command_line, SW_SHOWNORMAL);
    pump_one_message(); // the first pass of the first wait presents the canvas
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    std::printf("startup_to_first_frame_ms %.1f\n", ms);
    return 0;
}

static int ticks(int n) {
    char command_line[] = "";
    qelma_begin(nullptr, nullptr, command_line, SW_SHOWNORMAL);
    qelma_set_logging(0);
    qelma_set_animation(QELMA_ANIMATE_RUN);
    std::vector<double> periods;
    int x = 0, y = 0;
    char key = 0;
    qelma_next_event(&x, &y, &key);
    Clock::time_point last = Clock::now();
    const Clock::time_point start = last;
    const double c0 = cpu_seconds();
    while (static_cast<int>(periods.size()) < n) {
        if (qelma_next_event(&x, &y, &key) != QELMA_PERIODIC) {
            continue;
        }
        Clock::time_point now = Clock::now();
        periods.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    }
    const TickFigures f = tick_figures(periods);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf(
        "tick_count %d\ntick_mean_ms %.3f\ntick_p99_deviation_ms %.3f\ntick_max_deviation_ms %.3f\n"
        "waiting_cpu_percent_of_one_core %.2f\n",
        n, f.mean_ms, f.p99_deviation_ms, f.max_deviation_ms, 100.0 * (cpu_seconds() - c0) / wall);
    qelma_end();
    return 0;
}

static int cpu(int seconds) {
    GameState g{};
    char command_line[] = "";
    game_start(g, nullptr, nullptr, command_line, SW_SHOWNORMAL);
    Clock::time_point t0 = Clock::now();
    double c0 = cpu_seconds();
    int periodic = 0;
    while (std::chrono::duration<double>(Clock::now() - t0).count() < seconds) {
        game_pass(g);
        ++periodic;
    }
    double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    double used = cpu_seconds() - c0;
    std::printf("animating_wall_s %.1f\nanimating_events %d\nanimating_cpu_s %.3f\n"
                "animating_cpu_percent_of_one_core %.2f\n",
                wall, periodic, used, 100.0 * used / wall);
    qelma_end();
    return 0;
}

// The wait never returns (no one gives input): another thread reads the
// process's processor time after the given seconds and ends the program.
static int idle(int seconds) {
    char command_line[] = "";
    qelma_begin(nullptr, nullptr, command_line, SW_SHOWNORMAL);
    qelma_set_logging(0);
    qelma_set_animation(QELMA_ANIMATE_HALT);
    std::thread([seconds] {
        std::this_thread::sleep_for(std::chrono::seconds(1)); // the first wait settles
        const Clock::time_point t0 = Clock::now();
        const double c0 = cpu_seconds();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        std::printf("idle_wall_s %.1f\nidle_cpu_percent_of_one_core %.4f\n", wall,
                    100.0 * (cpu_seconds() - c0) / wall);
        std::fflush(stdout);
        _exit(0);
    }).detach();
    int x = 0, y = 0;
    char key = 0;
    for (;;) {
        qelma_next_event(&x, &y, &key);
    }
}

int main(int argc, char **argv) {
    if (argc >= 2 && std::strcmp(argv[1], "startup") == 0) {
        return startup();
    }
    if (argc >= 3 && std::strcmp(argv[1], "ticks") == 0) {
        return ticks(std::max(1, std::atoi(argv[2])));
    }
    if (argc >= 3 && std::strcmp(argv[1], "cpu") == 0) {
        return cpu(std::max(1, std::atoi(argv[2])));
    }
    if (argc >= 3 && std::strcmp(argv[1], "idle") == 0) {
        return idle(std::max(1, std::atoi(argv[2])));
    }
    std::fprintf(stderr, "usage: qelma_clock startup | ticks N | cpu SECONDS | idle SECONDS\n");
    return 2;
}
