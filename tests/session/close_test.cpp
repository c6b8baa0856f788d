// Closing the drawing window ends the program through the quit event. It
// destroys the window, so it has a process of its own.
#include "support/qelma_test.h"

TEST(CloseWindow, ClosingTheDrawingWindowQuits) {
    qt_test::open_session();
    plat_post_message(session.graphics_window, WM_CLOSE, 0, 0);
    EXPECT_EQ(qt_test::next_event().kind, QELMA_QUIT);
    EXPECT_EQ(qelma_end(), 1);
}
