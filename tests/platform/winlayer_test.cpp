// The toolkit-free Windows layer on its own, fed by hand: the order in which
// the queue hands messages out, ticks that never pile up, the quit flag and
// keyboard translation. No toolkit runs here, so every case is exact.
#include <gtest/gtest.h>

#include <vector>

#include "qelma/platform/winlayer/queue.h"

namespace {

PlatWindow window_a() { return reinterpret_cast<PlatWindow>(0x1000); }
PlatWindow window_b() { return reinterpret_cast<PlatWindow>(0x2000); }

std::vector<PlatMsg> take_all() {
    std::vector<PlatMsg> all;
    PlatMsg msg{};
    while (winlayer::take(&msg))
        all.push_back(msg);
    return all;
}

TEST(WinLayerQueue, PostedThenInputThenTicksThenQuit) {
    take_all();
    winlayer::Timer *t1 = winlayer::set_timer(window_a(), 1, 100);
    winlayer::Timer *t2 = winlayer::set_timer(window_b(), 7, 100);
    winlayer::post_quit(3);
    winlayer::timer_expired(t2);
    winlayer::input(window_a(), WM_LBUTTONDOWN, 0, 5);
    winlayer::timer_expired(t1);
    winlayer::post(window_b(), WM_USER, 1, 0);
    winlayer::input(window_a(), WM_KEYDOWN, 'A', 0);
    winlayer::post(window_b(), WM_COMMAND, 2, 0);
    EXPECT_EQ(winlayer::length(), 7u);
    EXPECT_EQ(winlayer::count(window_b(), WM_TIMER, 7), 1);
    EXPECT_EQ(winlayer::count(nullptr, WM_QUIT, 3), 1);
    const std::vector<PlatMsg> all = take_all();
    ASSERT_EQ(all.size(), 7u);
    const unsigned expected[] = {WM_USER, WM_COMMAND, WM_LBUTTONDOWN, WM_KEYDOWN,
                                 WM_TIMER, WM_TIMER,  WM_QUIT};
    for (std::size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(all[i].message, expected[i]) << "message " << i;
    // Ticks leave in the order they came due, with their window and id.
    EXPECT_EQ(all[4].window, window_b());
    EXPECT_EQ(all[4].wparam, 7u);
    EXPECT_EQ(all[5].window, window_a());
    EXPECT_EQ(all[5].wparam, 1u);
    EXPECT_EQ(all[6].window, nullptr);
    EXPECT_EQ(all[6].wparam, 3u);
    EXPECT_TRUE(winlayer::empty());
    winlayer::kill_timer(window_a(), 1);
    winlayer::kill_timer(window_b(), 7);
}

TEST(WinLayerTimers, AtMostOneTickWaitsAndAKilledTimerQueuesNone) {
    take_all();
    winlayer::Timer *t = winlayer::set_timer(window_a(), 2, 100);
    for (int i = 0; i < 50; ++i)
        winlayer::timer_expired(t);
    EXPECT_EQ(winlayer::count(window_a(), WM_TIMER, 2), 1);
    EXPECT_EQ(take_all().size(), 1u);
    // Taken, the next expiry queues a tick again.
    winlayer::timer_expired(t);
    EXPECT_EQ(winlayer::count(window_a(), WM_TIMER, 2), 1);
    take_all();
    EXPECT_EQ(winlayer::kill_timer(window_a(), 2), t);
    EXPECT_EQ(winlayer::find_timer(window_a(), 2), nullptr);
    winlayer::timer_expired(t); // a late expiry of the toolkit's timer
    EXPECT_TRUE(winlayer::empty());
    // Setting the id again revives the same record with the new period,
    // within the limits.
    EXPECT_EQ(winlayer::set_timer(window_a(), 2, 0), t);
    EXPECT_EQ(t->period_ms, winlayer::MIN_TIMER_MS);
    EXPECT_EQ(winlayer::set_timer(window_a(), 2, 0xFFFFFFFFu)->period_ms, winlayer::MAX_TIMER_MS);
    // A destroyed window's timers all stop.
    winlayer::Timer *other = winlayer::set_timer(window_a(), 3, 50);
    std::vector<winlayer::Timer *> stopped;
    static std::vector<winlayer::Timer *> *sink;
    sink = &stopped;
    winlayer::kill_window_timers(window_a(), [](winlayer::Timer *k) { sink->push_back(k); });
    EXPECT_EQ(stopped, (std::vector<winlayer::Timer *>{t, other}));
    EXPECT_EQ(winlayer::find_timer(window_a(), 3), nullptr);
}

TEST(WinLayerQueue, AFullQueueRefusesMessagesButKeepsTheQuit) {
    take_all();
    std::size_t accepted = 0;
    for (std::size_t i = 0; i < winlayer::MAX_QUEUED + 5; ++i)
        accepted += (i % 2 ? winlayer::post(window_a(), WM_USER, i, 0)
                           : winlayer::input(window_a(), WM_KEYDOWN, 'A', 0))
                        ? 1
                        : 0;
    EXPECT_EQ(accepted, winlayer::MAX_QUEUED);
    winlayer::post_quit(9);
    const std::vector<PlatMsg> all = take_all();
    ASSERT_EQ(all.size(), winlayer::MAX_QUEUED + 1);
    EXPECT_EQ(all.back().message, static_cast<unsigned>(WM_QUIT));
    EXPECT_EQ(all.back().wparam, 9u);
}

TEST(WinLayerKeys, TheTypedCharacterTravelsInTheKeyMessage) {
    take_all();
    // Made by a toolkit: the typed character is carried, whatever the key.
    const PlatLParam ctrl_a = winlayer::key_lparam(1, true, false);
    EXPECT_EQ(winlayer::char_of_key_down('A', ctrl_a), 1u);
    EXPECT_EQ(winlayer::char_of_key_down(0xFF, winlayer::key_lparam(0xE9, true, false)), 0xE9u);
    EXPECT_EQ(ctrl_a & 0xFFFF, 1) << "repeat count 1";
    EXPECT_EQ(winlayer::key_lparam('a', true, true) & (1 << 30), 1 << 30) << "repeat";
    const auto up = static_cast<unsigned long>(winlayer::key_lparam('a', false, false));
    EXPECT_EQ(up >> 30, 3u) << "key-up: previous state and transition";
    // Posted without the mark: the virtual key decides, if a scan code is there.
    EXPECT_EQ(winlayer::char_of_key_down('Q', 0x10 << 16), static_cast<unsigned>('q'));
    EXPECT_EQ(winlayer::char_of_key_down(VK_NUMPAD0 + 7, 0x47 << 16), static_cast<unsigned>('7'));
    EXPECT_EQ(winlayer::char_of_key_down(VK_RETURN, 0x1C << 16), static_cast<unsigned>('\r'));
    EXPECT_EQ(winlayer::char_of_key_down(VK_LEFT, 0x4B << 16), 0u);
    EXPECT_EQ(winlayer::char_of_key_down('Q', 0), 0u) << "no scan code, no character";
    // Translate puts the character before everything queued, posted or not.
    winlayer::input(window_a(), WM_LBUTTONDOWN, 0, 0);
    winlayer::post(window_b(), WM_USER, 0, 0);
    const PlatMsg down{window_a(), WM_KEYDOWN, 'A', ctrl_a};
    winlayer::translate(&down);
    const PlatMsg key_up{window_a(), WM_KEYUP, 'A', ctrl_a};
    winlayer::translate(&key_up);
    winlayer::translate(nullptr);
    const std::vector<PlatMsg> all = take_all();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].message, static_cast<unsigned>(WM_CHAR));
    EXPECT_EQ(all[0].window, window_a());
    EXPECT_EQ(all[0].wparam, 1u);
    EXPECT_EQ(all[1].message, static_cast<unsigned>(WM_USER));
    EXPECT_EQ(all[2].message, static_cast<unsigned>(WM_LBUTTONDOWN));
}

} // namespace
