// Runs one example program inside a test process and steers it with real
// window messages.
//
// The example's source is compiled with main renamed to example_main, so the
// example opens its own session and runs its own loop. Before calling it, the
// driver starts a Qt timer. Qt timers fire only while the example waits for
// an event (the wait is the only place that runs the Qt event loop), so every
// step runs at a moment when the example has drawn its frame and asks for
// the next event. A step looks at the canvas and the log and posts input
// (clicks, characters, ticks, menu commands) to the drawing window; the
// example handles that input when the step returns.
#ifndef QELMA_TESTS_EXAMPLES_EXAMPLE_DRIVER_H
#define QELMA_TESTS_EXAMPLES_EXAMPLE_DRIVER_H

#include <QObject>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/qelma_test.h"

extern "C" int example_main(void);

namespace example_test {

// One stage of a scripted run. `run` is called once per timer step with the
// number of earlier calls in this stage (0 first) and returns true when the
// stage is complete; a stage that is not complete after `limit` calls fails
// the run.
struct Stage {
    std::string name;
    int limit;
    std::function<bool(int call)> run;
};

// What a run came to.
struct RunResult {
    int exit_status = -1;      // example_main's result
    std::string failed_stage;  // the stage that ran out of calls, empty if none
    int steps = 0;             // timer steps taken
};

// True while the example is inside qelma_next_event: the wait marks the
// event it builds as none (or as an armed periodic event) until it has one.
inline bool example_is_waiting() {
    return session.graphics_window != nullptr &&
           (session.pending_event == NO_EVENT || session.pending_event == QELMA_PERIODIC);
}

inline void post_quit_command() { qt_test::post_command(CMD_QUIT); }

// Runs the example through the stages in order; after the last stage has
// completed, or when a stage runs out of calls, it posts Run > Quit.
inline RunResult run_example(std::vector<Stage> stages) {
    plat_init(); // the application must exist before the timer can run
    RunResult result;
    std::size_t current = 0;
    int calls = 0;
    bool quit_posted = false;

    QTimer timer;
    timer.setInterval(2);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (quit_posted || !example_is_waiting()) {
            return;
        }
        ++result.steps;
        if (current < stages.size()) {
            Stage &stage = stages[current];
            if (stage.run(calls)) {
                ++current;
                calls = 0;
            } else if (++calls >= stage.limit) {
                result.failed_stage = stage.name;
                current = stages.size();
            }
        }
        if (current >= stages.size()) {
            post_quit_command();
            quit_posted = true;
        }
    });
    timer.start();
    result.exit_status = example_main();
    timer.stop();
    return result;
}

// The pixels of one exact colour on the canvas: how many, and their box in
// canvas pixel columns and rows.
struct ColourArea {
    int count = 0;
    int left = 0, top = 0, right = -1, bottom = -1;
    int centre_column() const { return (left + right) / 2; }
    int centre_row() const { return (top + bottom) / 2; }
};

inline ColourArea find_colour(std::uint32_t rgb) {
    ColourArea area;
    for (int row = 0; row < QELMA_CANVAS_HEIGHT; ++row) {
        for (int column = 0; column < QELMA_CANVAS_WIDTH; ++column) {
            if (qt_test::canvas_rgb_at_pixel(column, row) != rgb) {
                continue;
            }
            if (area.count == 0) {
                area.left = area.right = column;
                area.top = area.bottom = row;
            }
            area.left = std::min(area.left, column);
            area.right = std::max(area.right, column);
            area.top = std::min(area.top, row);
            area.bottom = std::max(area.bottom, row);
            ++area.count;
        }
    }
    return area;
}

// The log's stored lines, oldest first.
inline std::vector<std::string> log_lines() {
    std::vector<std::string> lines;
    for (int i = 0; i < qelma_log_count(); ++i) {
        lines.emplace_back(qelma_log_line(i));
    }
    return lines;
}

// True when the canvas pixel (column, row) is shown in the drawing window's
// client area (the canvas is copied to its top-left corner unscaled).
inline bool in_client_area(int column, int row) {
    PlatRect client{};
    plat_get_client_rect(session.graphics_window, &client);
    return column >= 0 && row >= 0 && column < client.right - client.left &&
           row < client.bottom - client.top;
}

} // namespace example_test

#endif
