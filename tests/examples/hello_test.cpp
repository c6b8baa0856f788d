// examples/hello.c: it draws its picture, reports a click and a character in
// the log, and ends with status 0 on Run > Quit.
#include "examples/example_driver.h"

namespace {

using example_test::Stage;

TEST(HelloExample, DrawsReportsInputAndQuits) {
    std::uint32_t centre = 0, corner = 0, sun = 0;
    std::vector<Stage> stages = {
        {"look and click", 1,
         [&](int) {
             centre = qt_test::canvas_rgb(0, 0);
             corner = qt_test::canvas_rgb(-240, 190);
             sun = qt_test::canvas_rgb(180, 140);
             qt_test::post_click(10, 20);
             return true;
         }},
        {"type", 1,
         [&](int) {
             qt_test::post_char('a');
             return true;
         }},
    };
    example_test::RunResult result = example_test::run_example(stages);

    EXPECT_EQ(result.failed_stage, "");
    EXPECT_EQ(result.exit_status, 0);
    // The picture: a green triangle over the middle of an ice-blue box, a
    // yellow sun at the upper right.
    EXPECT_EQ(centre, qt_test::rgb_of(QELMA_FOREST_GREEN));
    EXPECT_EQ(corner, qt_test::rgb_of(QELMA_ICE_BLUE));
    EXPECT_EQ(sun, qt_test::rgb_of(QELMA_YELLOW));

    std::vector<std::string> lines = example_test::log_lines();
    ASSERT_GE(lines.size(), 3u);
    std::vector<std::string> last(lines.end() - 3, lines.end());
    EXPECT_EQ(last, (std::vector<std::string>{"click at (10,20)\n", "key 97\n", "quit\n"}));
}

} // namespace
