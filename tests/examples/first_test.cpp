// examples/first.c, the program the README explains line by line: the sun
// stands above the grass, follows a click, a key is logged, Run > Quit ends
// it with status 0.
#include "examples/example_driver.h"

namespace {

using example_test::Stage;

TEST(FirstExample, SunFollowsTheClickAndQuitEndsIt) {
    const std::uint32_t yellow = qt_test::rgb_of(QELMA_YELLOW);
    const std::uint32_t green = qt_test::rgb_of(QELMA_FOREST_GREEN);
    std::uint32_t sun_before = 0, grass = 0, sun_after = 0, old_place = 0;
    std::vector<Stage> stages = {
        {"look and click", 1,
         [&](int) {
             sun_before = qt_test::canvas_rgb(0, 100);
             grass = qt_test::canvas_rgb(100, -100);
             qt_test::post_click(-150, 50);
             return true;
         }},
        {"look again and type", 1,
         [&](int) {
             sun_after = qt_test::canvas_rgb(-150, 50);
             old_place = qt_test::canvas_rgb(0, 100);
             qt_test::post_char('s');
             return true;
         }},
    };
    example_test::RunResult result = example_test::run_example(stages);

    EXPECT_EQ(result.failed_stage, "");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(sun_before, yellow);
    EXPECT_EQ(grass, green);
    EXPECT_EQ(sun_after, yellow);
    EXPECT_NE(old_place, yellow); // redrawn from scratch: the old sun is gone
    std::vector<std::string> lines = example_test::log_lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
              (std::vector<std::string>{"sun moved to (-150,50)\n", "key 's'\n"}));
}

} // namespace
