// What the benchmarks share: the busy state they draw, and the figures of a
// run of tick periods.
#ifndef QELMA_BENCH_BENCH_SUPPORT_H
#define QELMA_BENCH_BENCH_SUPPORT_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "game/game_state.h"

// A busy state: ten placed cars, a blast and a verdict.
inline GameState busy_state(int points) {
    GameState g{};
    init_game_state(g);
    g.points = points;
    for (int n = 1; n <= MAX_EXTRA_CARS; ++n) {
        g.extra_x[n] = -270 + 55 * n;
        g.extra_y[n] = n % 2 == 0 ? LANE_UPPER : LANE_LOWER;
        g.extra_dir[n] = n % 2 == 0 ? 1 : -1;
    }
    g.extra_count = MAX_EXTRA_CARS;
    g.crash_phase = 1;
    return g;
}

struct TickFigures {
    double mean_ms;
    double p99_deviation_ms; // from the 100 ms period
    double max_deviation_ms;
};

// The mean period and the deviations from 100 ms of a non-empty run.
inline TickFigures tick_figures(const std::vector<double> &periods_ms) {
    double sum = 0;
    std::vector<double> deviations;
    for (double p : periods_ms) {
        sum += p;
        deviations.push_back(std::fabs(p - 100.0));
    }
    std::sort(deviations.begin(), deviations.end());
    const double p99 =
        deviations[static_cast<std::size_t>(0.99 * static_cast<double>(deviations.size() - 1))];
    return TickFigures{sum / static_cast<double>(periods_ms.size()), p99, deviations.back()};
}

#endif // QELMA_BENCH_BENCH_SUPPORT_H
