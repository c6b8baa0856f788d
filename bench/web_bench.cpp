// Measurements of the web build in the page, against the browser's clock
// (run by bench/web_bench.js in Chromium):
//   ?arg=frames&arg=N   median time of N whole night frames (in batches of ten)
//   ?arg=ticks&arg=N    period of N periodic events (mean, 99th-percentile deviation)
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/bench_support.h"
#include "game/game_loop.h"
#include "game/game_state.h"
#include "qelma/draw/draw.h"
#include "qelma/qelma.h"
#include "qelma/session/session.h"

namespace {

void open_session() {
    char command_line[] = "";
    qelma_begin(nullptr, nullptr, command_line, SW_SHOWNORMAL);
    qelma_set_logging(0);
}

int frames(int n) {
    open_session();
    plat_kill_timer(session.graphics_window, QELMA_TIMER_ID);
    // The browser coarsens its clock (to 0.1 ms or more), so frames are timed
    // ten at a time: the median of those batches, per frame.
    constexpr int BATCH = 10;
    std::vector<double> times;
    for (int i = 0; i < std::max(1, n / BATCH); i++) {
        const double t0 = emscripten_get_now();
        for (int j = 0; j < BATCH; j++) {
            GameState g = busy_state(70); // the busy night frame of the desktop's benchmark
            redraw(g);
        }
        times.push_back((emscripten_get_now() - t0) / BATCH);
    }
    std::sort(times.begin(), times.end());
    std::printf("night_frame_median_us %.1f\n", 1000.0 * times[times.size() / 2]);
    // The frame's unit: a full-canvas fill, a hundred at a time.
    const double f0 = emscripten_get_now();
    for (int i = 0; i < 100; i++)
        fill_canvas_background();
    std::printf("canvas_fill_us %.1f\n", 10.0 * (emscripten_get_now() - f0));
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
    const TickFigures f = tick_figures(periods);
    std::printf("tick_count %d\ntick_mean_ms %.3f\ntick_p99_deviation_ms %.3f\n", n, f.mean_ms,
                f.p99_deviation_ms);
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
