// Benchmarks of the drawing path, the log and the event wait, on the real
// backend (run with QT_QPA_PLATFORM=offscreen for repeatable figures).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "game/game_loop.h"
#include "game/game_state.h"
#include "game/picture.h"
#include "qelma/draw/draw.h"
#include "qelma/qelma.h"
#include "qelma/session/session.h"

static void open_session_once() {
    static bool opened = false;
    if (!opened) {
        char command_line[] = "";
        qelma_begin(nullptr, nullptr, command_line, SW_SHOWNORMAL);
        plat_kill_timer(session.graphics_window, QELMA_TIMER_ID);
        qelma_set_logging(0);
        qelma_clear_canvas();
        opened = true;
    }
}

static void whole_frame(benchmark::State &state, int points) {
    open_session_once();
    for (auto _ : state) {
        GameState g = busy_state(points);
        redraw(g);
        benchmark::ClobberMemory();
    }
}
static void BM_FrameDay(benchmark::State &state) { whole_frame(state, 20); }
static void BM_FrameNight(benchmark::State &state) { whole_frame(state, 70); }
BENCHMARK(BM_FrameDay)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameNight)->Unit(benchmark::kMicrosecond);

static void BM_CanvasFill(benchmark::State &state) {
    open_session_once();
    for (auto _ : state) {
        fill_canvas_background();
    }
}
BENCHMARK(BM_CanvasFill)->Unit(benchmark::kMicrosecond);

// The floor for the fill above: std::fill over as many 32-bit pixels.
static void BM_StdFillCanvasPixels(benchmark::State &state) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(QELMA_CANVAS_WIDTH) *
                                      QELMA_CANVAS_HEIGHT);
    std::uint32_t value = 0xFFFFFFFFu;
    for (auto _ : state) {
        std::fill(pixels.begin(), pixels.end(), value);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
        value ^= 1;
    }
}
BENCHMARK(BM_StdFillCanvasPixels)->Unit(benchmark::kMicrosecond);

// The plainest floor: memset over the same bytes, the measure the canvas
// fill and the night frame are held to.
static void BM_MemsetCanvasBytes(benchmark::State &state) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(QELMA_CANVAS_WIDTH) *
                                      QELMA_CANVAS_HEIGHT);
    int value = 0xFF;
    for (auto _ : state) {
        std::memset(pixels.data(), value, pixels.size() * sizeof pixels[0]);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
        value ^= 1;
    }
}
BENCHMARK(BM_MemsetCanvasBytes)->Unit(benchmark::kMicrosecond);

static void BM_Circle(benchmark::State &state) {
    open_session_once();
    for (auto _ : state) {
        qelma_draw_circle(QELMA_YELLOW, 250, 215, 20);
    }
}
static void BM_FilledRectangle(benchmark::State &state) {
    open_session_once();
    for (auto _ : state) {
        qelma_draw_rectangle(QELMA_BROWN, -300, -250, 300, -50, 0);
    }
}
static void BM_OutlineRectangle(benchmark::State &state) {
    open_session_once();
    for (auto _ : state) {
        qelma_draw_rectangle(QELMA_BROWN, -295, 245, -220, 220, 1);
    }
}
static void BM_Triangle(benchmark::State &state) {
    open_session_once();
    for (auto _ : state) {
        qelma_draw_triangle(QELMA_GRAY_50, -300, -50, 300, -50, 0, 200, 0);
    }
}
static void BM_Oval(benchmark::State &state) {
    open_session_once();
    for (auto _ : state) {
        qelma_draw_oval(QELMA_YELLOW, 20, 12, 22, 12, 3);
    }
}
// The widest pen on an oval far larger than the canvas whose flat top
// crosses it: the outline's thousands of steps there are swept a row at a
// time (it took 22 s when each step laid a nib of its own).
static void BM_WidePenHugeOval(benchmark::State &state) {
    open_session_once();
    for (auto _ : state)
        qelma_draw_oval(QELMA_BLUE, -65536, -300, 65536, 300, 1000);
}
BENCHMARK(BM_WidePenHugeOval)->Unit(benchmark::kMillisecond);
// The widest pen on ovals a little larger than the canvas:
// the outline's diagonal steps each lay a band and a nib across most rows.
static void BM_WidePenOvalAroundCanvas(benchmark::State &state) {
    open_session_once();
    for (auto _ : state)
        qelma_draw_oval(QELMA_GREEN, -700, 700, 700, -700, 1000);
}
static void BM_WidePenOval1601(benchmark::State &state) {
    open_session_once();
    for (auto _ : state)
        qelma_draw_oval(QELMA_GREEN, -800, 800, 800, -800, 1000);
}
BENCHMARK(BM_WidePenOvalAroundCanvas)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WidePenOval1601)->Unit(benchmark::kMillisecond);

static void BM_Text(benchmark::State &state) {
    open_session_once();
    for (auto _ : state) {
        qelma_draw_text(QELMA_WHITE, -285, -160, 15,
                        "object is to gain points.");
    }
}
static void BM_Textf(benchmark::State &state) {
    open_session_once();
    int points = 0;
    for (auto _ : state) {
        qelma_draw_textf(QELMA_BLACK, -285, -75, 22, "Points= %d", ++points);
    }
}
static void BM_Clear(benchmark::State &state) {
    open_session_once();
    for (auto _ : state) {
        qelma_clear_canvas();
    }
}
BENCHMARK(BM_Circle);
BENCHMARK(BM_FilledRectangle);
BENCHMARK(BM_OutlineRectangle);
BENCHMARK(BM_Triangle);
BENCHMARK(BM_Oval);
BENCHMARK(BM_Text);
BENCHMARK(BM_Textf);
BENCHMARK(BM_Clear);

static void BM_LogLineRingFull(benchmark::State &state) {
    open_session_once();
    for (int i = 0; i < 30; ++i) {
        qelma_log_printf("filling the ring %d\n", i);
    }
    int n = 0;
    for (auto _ : state) {
        qelma_log_printf("red circle at (%d,%d), radius %d\n", n, -n, 20);
        ++n;
    }
}
BENCHMARK(BM_LogLineRingFull);

// One pass of the wait's message step with nothing queued and nothing drawn.
static void BM_IdlePass(benchmark::State &state) {
    open_session_once();
    pump_one_message();
    for (auto _ : state) {
        pump_one_message();
    }
}
BENCHMARK(BM_IdlePass);

// The real game loop fed by unpaced playback: each event is followed by the
// game's full redraw.
static void BM_PlaybackThroughGameLoop(benchmark::State &state) {
    open_session_once();
    auto dir = std::filesystem::temp_directory_path() / "qelma-bench-playback";
    std::filesystem::create_directories(dir);
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    {
        std::ofstream script("QELMA.SCR");
        script << "QELMA_MOUSE(-250, 230);\n"; // Go
        for (int i = 0; i < 2000; ++i) {
            script << "QELMA_PERIODIC(20);\nQELMA_KBD(56);\nQELMA_PERIODIC(20);\nQELMA_KBD(50);\n"
                   << "QELMA_MOUSE(-250, 230);\n";
        }
    }
    GameState g{};
    init_game_state(g);
    std::int64_t events = 0;
    for (auto _ : state) {
        if (!session.playing_back) {
            close_script_file();
            run_menu_command(CMD_PLAYBACK);
        }
        game_pass(g);
        ++events;
    }
    close_script_file();
    session.playing_back = false;
    std::filesystem::current_path(previous);
    state.counters["events_per_s"] =
        benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlaybackThroughGameLoop)->Unit(benchmark::kMicrosecond);

static long resident_kib() {
    std::FILE *f = std::fopen("/proc/self/status", "r");
    long kib = -1;
    char line[256];
    while (f != nullptr && std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            kib = std::atol(line + 6);
        }
    }
    if (f != nullptr) {
        std::fclose(f);
    }
    return kib;
}

// Resident memory before and after a million log lines (the ring must keep
// it flat).
static void BM_MillionLogLines(benchmark::State &state) {
    open_session_once();
    for (auto _ : state) {
        long before = resident_kib();
        for (int i = 0; i < 1000000; ++i) {
            qelma_log_printf("line %d of a million, with some text to make it longer\n", i);
        }
        long after = resident_kib();
        state.counters["rss_before_MiB"] = static_cast<double>(before) / 1024.0;
        state.counters["rss_after_MiB"] = static_cast<double>(after) / 1024.0;
    }
}
BENCHMARK(BM_MillionLogLines)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
