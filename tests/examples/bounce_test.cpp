// examples/bounce.c: the ball moves on periodic events, stays inside the
// window and bounces off all four walls; the Run menu's Halt stops it,
// Advance one frame moves it by one step, Animate starts it again; Quit ends
// the program with status 0.
//
// The example's own 100 ms timer is stopped at the first step, so that the
// only ticks are the ones posted here, one per step.
#include <cmath>
#include <cstdio>
#include <set>

#include "examples/example_driver.h"

namespace {

using example_test::Stage;

// Where the ball is: the box of its red pixels.
struct Ball {
    bool seen = false;
    int column = 0, row = 0;  // centre of the box
    int width = 0, height = 0;
    bool inside_window = false;
};

Ball find_ball() {
    example_test::ColourArea area = example_test::find_colour(qt_test::rgb_of(QELMA_RED));
    Ball ball;
    ball.seen = area.count > 0;
    ball.column = area.centre_column();
    ball.row = area.centre_row();
    ball.width = area.right - area.left + 1;
    ball.height = area.bottom - area.top + 1;
    ball.inside_window = example_test::in_client_area(area.left, area.top) &&
                         example_test::in_client_area(area.right, area.bottom);
    return ball;
}

bool same_place(const Ball &a, const Ball &b) { return a.column == b.column && a.row == b.row; }

bool log_has(const std::string &text) {
    for (const std::string &line : example_test::log_lines()) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(BounceExample, AnimatesBouncesAndFollowsTheRunMenu) {
    Ball first, last;
    int moves = 0;               // ball moves seen, one step each
    int left_moves = 0, right_moves = 0, up_moves = 0, down_moves = 0;
    int largest_step = 0;        // the largest move along either axis
    int size_changes = 0;        // the ball's box changed size (clipped or redrawn wrong)
    int outside = 0;             // looks at which the ball was not wholly in the window
    std::set<std::string> walls; // walls named in the log's bounce lines
    int moves_after_halt = 0, moves_after_one_frame = 0, moves_after_animate = 0;
    int *counter = nullptr;      // which of the three counts the current stage adds to

    // Looks at the ball and counts a move when it has gone elsewhere.
    auto look = [&] {
        Ball now = find_ball();
        if (!now.seen) {
            ++outside;
            return;
        }
        if (!now.inside_window) {
            ++outside;
        }
        if (now.width != first.width || now.height != first.height) {
            ++size_changes;
        }
        if (!same_place(now, last)) {
            ++moves;
            int dx = now.column - last.column, dy = now.row - last.row;
            right_moves += dx > 0;
            left_moves += dx < 0;
            down_moves += dy > 0;
            up_moves += dy < 0;
            largest_step = std::max({largest_step, std::abs(dx), std::abs(dy)});
            if (counter != nullptr) {
                ++*counter;
            }
        }
        last = now;
        for (const char *wall : {"left", "right", "top", "bottom"}) {
            if (log_has(std::string("bounce off the ") + wall + " wall")) {
                walls.insert(wall);
            }
        }
    };

    std::vector<Stage> stages = {
        {"first frame", 1,
         [&](int) {
             plat_kill_timer(session.graphics_window, QELMA_TIMER_ID);
             first = last = find_ball();
             return true;
         }},
        // Animation was started by the program itself: ticks move the ball,
        // and in time it meets every wall.
        {"bounce off all four walls", 2000,
         [&](int) {
             look();
             qt_test::post_tick();
             return walls.size() == 4;
         }},
        {"halt", 1,
         [&](int) {
             look();
             qt_test::post_command(CMD_HALT);
             return true;
         }},
        // The wait that was already armed still delivers its one tick, which
        // may land in any of these steps on a busy machine; after that,
        // ticks change nothing.
        {"halted", 12,
         [&](int call) {
             counter = &moves_after_halt;
             look();
             qt_test::post_tick();
             return call == 11;
         }},
        {"advance one frame", 1,
         [&](int) {
             look();
             counter = &moves_after_one_frame;
             qt_test::post_command(CMD_ONE_FRAME);
             return true;
         }},
        {"after one frame", 10,
         [&](int call) {
             look();
             qt_test::post_tick();
             return call == 9;
         }},
        {"animate", 1,
         [&](int) {
             look();
             counter = &moves_after_animate;
             qt_test::post_command(CMD_ANIMATE);
             return true;
         }},
        {"running again", 40,
         [&](int) {
             look();
             qt_test::post_tick();
             return moves_after_animate >= 3;
         }},
    };
    example_test::RunResult result = example_test::run_example(stages);

    EXPECT_EQ(result.failed_stage, "");
    EXPECT_EQ(result.exit_status, 0);
    ASSERT_TRUE(first.seen) << "no red ball in the first frame";
    EXPECT_GE(first.width, 11);
    EXPECT_EQ(first.width, first.height) << "a round ball";

    EXPECT_EQ(walls.size(), 4u);
    EXPECT_GT(left_moves, 0);
    EXPECT_GT(right_moves, 0);
    EXPECT_GT(up_moves, 0);
    EXPECT_GT(down_moves, 0);
    EXPECT_EQ(outside, 0) << "the ball left the visible window";
    EXPECT_EQ(size_changes, 0) << "the ball was clipped or drawn at another size";
    EXPECT_LE(largest_step, first.width) << "one tick, one small step";

    EXPECT_LE(moves_after_halt, 1) << "ticks moved a halted ball beyond the armed tick";
    EXPECT_EQ(moves_after_one_frame, 1);
    EXPECT_GE(moves_after_animate, 3);

    // The program's last line counts the frames it moved: at least the moves
    // seen here.
    std::vector<std::string> lines = example_test::log_lines();
    ASSERT_FALSE(lines.empty());
    int frames = -1;
    ASSERT_EQ(std::sscanf(lines.back().c_str(), "the ball moved %d frames", &frames), 1)
        << lines.back();
    EXPECT_GE(frames, moves);
}

} // namespace
