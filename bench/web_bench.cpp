// Measurements of the web build in the page, against the browser's clock
// (run by bench/web_bench.js in Chromium):
//   ?arg=frames&arg=N   median time of N whole night frames
//   ?arg=ticks&arg=N    period of N periodic events (mean, 99th-percentile deviation)
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "game/game_state.h"
#include "game/game_loop.h"
#include "qelma/qelma.h"
#include "qelma/session/session.h"

namespace {

void open_session() {
    char command_line[] = "";
    qelma_begin(nullptr, nullptr, command_line, SW_SHOWNORMAL);
    qelma_set_logging(0);
}

// The busy night frame of the desktop's benchmark: ten placed cars, a blast.
GameState busy_night() {
    GameState g{};
    init_game_state(g);
    g.points = 70;
    for (int n = 1; n <= MAX_EXTRA_CARS; ++n) {
        g.extra_x[n] = -270 + 55 * n;
        g.extra_y[n] = n % 2 == 0 ? LANE_UPPER : LANE_LOWER;
        g.extra_dir[n] = n % 2 == 0 ? 1 : -1;
    }
    g.extra_count = MAX_EXTRA_CARS;
    g.crash_phase = 1;
    return g;
}

int frames(int n) {
    open_session();
    plat_kill_timer(session.graphics_window, QELMA_TIMER_ID);
    std::vector<double> times;
    for (int i = 0; i < n; i++) {
        GameState g = busy_night();
        const double t0 = emscripten_get_now();
        redraw(g);
        times.push_back(emscripten_get_now() - t0);
    }
    std::sort(times.begin(), times.end());
    std::printf("night_frame_median_us %.1f\n", 1000.0 * times[times.size() / 2]);
    qelma_end();
    return 0;
}

int ticks(int n) {
    open_session();
    qelma_set_animation(QELMA_ANIMATE_RUN);
    int x = 0, y = 0;
    char key = 0;
    qelma_next_event(&x, &y, &key);
    std::vector<double> periods;
    double last = emscripten_get_now();
    while (static_cast<int>(periods.size()) < n) {
        if (qelma_next_event(&x, &y, &key) != QELMA_PERIODIC)
            continue;
        const double now = emscripten_get_now();
        periods.push_back(now - last);
        last = now;
    }
    double sum = 0;
    std::vector<double> deviations;
    for (double p : periods) {
        sum += p;
        deviations.push_back(std::fabs(p - 100.0));
    }
    std::sort(deviations.begin(), deviations.end());
    const double p99 =
        deviations[static_cast<std::size_t>(0.99 * static_cast<double>(deviations.size() - 1))];
    std::printf("tick_count %d\ntick_mean_ms %.3f\ntick_p99_deviation_ms %.3f\n", n, sum / n, p99);
    qelma_end();
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    const int n = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 100;
    if (argc >= 2 && std::strcmp(argv[1], "frames") == 0)
        return frames(n);
    if (argc >= 2 && std::strcmp(argv[1], "ticks") == 0)
        return ticks(n);
    std::fprintf(stderr, "usage: web_bench frames N | ticks N\n");
    return 2;
}
