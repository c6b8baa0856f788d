// The soak: a long, seeded stream of random clicks, characters, ticks and Run
// menu commands (recording and playback included) through the real game loop
// on the offscreen platform, in a directory of its own. It checks that every
// event is taken without a crash and that the queue always drains; under the
// asan preset the same run is also checked for leaks and undefined behaviour.
// How much resident memory such a run holds is measured by the benchmarks
// (bench/memory_bench.cpp), not here.
//
// QELMA_SOAK_EVENTS sets the number of events (default 20000), QELMA_SOAK_SEED
// the seed of the generator.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "game/game_loop.h"
#include "support/qelma_test.h"

namespace {

long env_number(const char *name, long fallback) {
    const char *text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return fallback;
    }
    char *end = nullptr;
    long value = std::strtol(text, &end, 10);
    return (end != nullptr && *end == '\0' && value > 0) ? value : fallback;
}

// The guard click that closes a step: outside the panel and the road, at an
// x no random click reaches (random clicks stay in the client area), and
// different from step to step, so that a guard recorded earlier and played
// back from the script is not taken for this step's guard.
// Its y lies inside the client area on every backend (Windows' client area
// is shorter than Qt's, and a row above it would not come back as this y).
constexpr int GUARD_Y = 200;
int guard_x(long step) {
    return 1000 + static_cast<int>(step % 50000);
}

bool is_guard(long step) {
    return session.pending_event == QELMA_MOUSE && session.event_x == guard_x(step) &&
           session.event_y == GUARD_Y;
}

// One random event. A click or a character is always the event of the very
// next pass; for ticks and commands, which may give no event at all (ticks
// while animation is halted), a guard click follows.
struct Step {
    bool input; // a click or character: one pass delivers it
    int kind;   // QELMA_MOUSE or QELMA_KBD when input
    int x, y;   // the click
    signed char key;
    bool quit; // the Quit command: passes until the game ends
};

Step post_random_event(std::mt19937 &random) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    Step s{true, QELMA_MOUSE, 0, 0, 0, false};
    int what = pick(0, 99);
    if (what < 25) {
        // Anywhere in the drawing window's client area.
        PlatRect r{};
        plat_get_client_rect(session.graphics_window, &r);
        s.x = pick(r.left, r.right - 1) - session.origin_x;
        s.y = session.origin_y - pick(r.top, r.bottom - 1);
    } else if (what < 40) {
        s.x = pick(-294, -221); // the button column
        s.y = pick(46, 244);
    } else if (what < 50) {
        // The road, as far as the client area shows it: on Windows the frame
        // takes a few columns of the 601 and a user cannot click there.
        PlatRect r{};
        plat_get_client_rect(session.graphics_window, &r);
        s.x = pick(std::max(-300, r.left - session.origin_x),
                   std::min(300, r.right - 1 - session.origin_x));
        s.y = pick(-109, -91);
    } else if (what < 67) {
        static const char keys[] = "2468";
        int c = what < 62 ? static_cast<unsigned char>(keys[pick(0, 3)]) : pick(0, 255);
        s.kind = QELMA_KBD;
        s.key = static_cast<signed char>(c);
        qt_test::post_char(static_cast<unsigned char>(c));
        return s;
    } else if (what < 90) {
        // The wait drops a tick queued before it armed the periodic event.
        qt_test::post_tick();
        qt_test::post_tick();
        s.input = false;
        return s;
    } else if (what < 99 || pick(0, 9) != 0) {
        static const unsigned commands[] = {CMD_ANIMATE,  CMD_HALT,    CMD_ONE_FRAME,
                                            CMD_LOGGING,  CMD_RECORD,  CMD_PLAYBACK,
                                            CMD_PLAY_ONE, CMD_ANIMATE, CMD_INFO};
        qt_test::post_command(commands[pick(0, 8)]);
        s.input = false;
        return s;
    } else {
        // Quit ends this game; the next one starts on the same session.
        qt_test::post_command(CMD_QUIT);
        s.input = false;
        s.quit = true;
        return s;
    }
    qt_test::post_click(s.x, s.y);
    return s;
}

bool delivered(const Step &s) {
    if (session.pending_event != s.kind) {
        return false;
    }
    return s.kind == QELMA_MOUSE ? session.event_x == s.x && session.event_y == s.y
                                 : session.event_key == s.key;
}

} // namespace

TEST(Soak, RandomEventsThroughTheGameLoopNeverStall) {
    const long events = env_number("QELMA_SOAK_EVENTS", 20000);
    const long seed = env_number("QELMA_SOAK_SEED", 20261208);
    qt_test::TempDir dir;
    qt_test::open_session();

    GameState g{};
    game_set_up(g);
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));

    long games = 1;
    long passes = 0;
    long delivered_kinds[QELMA_QUIT + 1] = {}; // events the game received, by kind
    // One pass of the game loop; false once it has quit and a new game began.
    auto pass = [&]() {
        ++passes;
        bool going_on = game_pass(g);
        if (session.pending_event >= QELMA_MOUSE && session.pending_event <= QELMA_QUIT) {
            ++delivered_kinds[session.pending_event];
        }
        if (!going_on) {
            ++games;
            game_set_up(g);
        }
        return going_on;
    };
    long recording_steps = 0; // steps that began with recording on
    long playback_steps = 0;  // steps that began with playback on
    for (long step = 0; step < events; ++step) {
        recording_steps += session.recording ? 1 : 0;
        playback_steps += session.playing_back ? 1 : 0;
        // Logging makes each drawing call write and scroll a log line, some
        // sixty a pass: a spell of logging is kept to one pass, so that the
        // run covers more events. A command queued before a click may let
        // playback deliver a script event first, so such a step ends with a
        // guard as well.
        bool command_first = session.logging_on;
        if (command_first) {
            qt_test::post_command(CMD_LOGGING);
        }
        Step s = post_random_event(random);
        if (s.input && !command_first) {
            pass();
            ASSERT_TRUE(delivered(s))
                << "the click or character was not the event at step " << step << " (got kind "
                << session.pending_event << " at " << session.event_x << "," << session.event_y
                << ", wanted " << s.kind << " at " << s.x << "," << s.y << ")";
        } else if (s.quit) {
            // The command queues the quit message itself; a script event may
            // come first, but the quit is in the queue, so no pass blocks.
            int quit_passes = 0;
            for (;;) {
                if (!pass()) {
                    break;
                }
                ASSERT_LT(++quit_passes, 10000) << "quit never came at step " << step;
            }
        } else {
            qt_test::post_click(guard_x(step), GUARD_Y);
            // Passes until this step's guard comes back: the queue is empty again.
            int guard_passes = 0;
            for (;;) {
                pass();
                if (is_guard(step)) {
                    break;
                }
                ASSERT_LT(++guard_passes, 10000) << "the queue did not drain at step " << step;
            }
        }
        if (step % 50000 == 0) {
            std::printf("soak: step %ld\n", step);
            std::fflush(stdout);
        }
    }
    // Leave the switches as a later test expects them.
    if (session.recording) {
        run_menu_command(CMD_RECORD);
    }
    if (session.playing_back) {
        run_menu_command(CMD_PLAYBACK);
    }
    close_script_file();

    std::printf("soak: %ld events, %ld passes, %ld games, seed %ld, %ld steps recording, %ld "
                "playing back; the game received %ld clicks, %ld characters, %ld periodic "
                "events, %ld quits\n",
                events, passes, games, seed, recording_steps, playback_steps,
                delivered_kinds[QELMA_MOUSE], delivered_kinds[QELMA_KBD],
                delivered_kinds[QELMA_PERIODIC], delivered_kinds[QELMA_QUIT]);
    if (events >= 10000) {
        // A long run meets every kind of event and every switch; a run that
        // never did was not the run this test means.
        EXPECT_GT(recording_steps, 0) << "the run never recorded";
        EXPECT_GT(playback_steps, 0) << "the run never played back";
        EXPECT_GT(delivered_kinds[QELMA_PERIODIC], 0) << "no tick became a periodic event";
    }
}
