// The thread's message queue in Windows' order, keyboard translation and
// timer bookkeeping, for every backend but Win32 (see queue.h).
#include "qelma/platform/winlayer/queue.h"

#include <cstdarg>
#include <cstdio>
#include <deque>
#include <vector>

namespace winlayer {
namespace {

constexpr unsigned KEY_CHAR_SHIFT = 16;
constexpr unsigned KEY_HAS_CHAR = 1u << 25;
constexpr unsigned KEY_CTRL_HELD = 1u << 26;
constexpr unsigned KEY_PREVIOUS_DOWN = 1u << 30;
constexpr unsigned KEY_TRANSITION_UP = 1u << 31;

// The queue's state. Timer records are never freed, so that a toolkit timer
// firing late still points at readable memory; the record is never destroyed
// either, so no static destructor runs before the leak checker.
struct QueueState {
    std::deque<PlatMsg> posted; // posted messages and translated characters, front first
    std::deque<PlatMsg> input;  // mouse and key input, front first
    std::vector<Timer *> timers; // every (window, id) ever set, in order of first setting
    std::vector<Timer *> ticks;  // timers with a tick waiting, oldest first
    bool quit = false;           // WM_QUIT waits behind everything else
    bool ticks_end_wait = true;  // false while the program waits for input only
    int quit_code = 0;
};
QueueState &q = *new QueueState;

bool room(unsigned message) {
    if (q.posted.size() + q.input.size() < MAX_QUEUED)
        return true;
    warn("message queue full (%d messages); message 0x%x dropped", static_cast<int>(MAX_QUEUED),
         message);
    return false;
}

// What an unmarked key-down types with no modifier held, as Windows
// translates it from the virtual key.
unsigned char_of_virtual_key(PlatWParam vk) {
    if (vk >= 'A' && vk <= 'Z')
        return static_cast<unsigned>(vk - 'A') + 'a';
    if (vk >= '0' && vk <= '9')
        return static_cast<unsigned>(vk);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9)
        return static_cast<unsigned>(vk - VK_NUMPAD0) + '0';
    switch (vk) {
    case VK_SPACE:
        return ' ';
    case VK_RETURN:
        return '\r';
    case VK_BACK:
        return '\b';
    case VK_TAB:
        return '\t';
    case VK_ESCAPE:
        return 27;
    default:
        return 0;
    }
}

} // namespace

void warn(const char *format, ...) {
    std::fputs("qelma platform: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

bool post(PlatWindow window, unsigned message, PlatWParam wparam, PlatLParam lparam) {
    if (!room(message))
        return false;
    q.posted.push_back(PlatMsg{window, message, wparam, lparam});
    return true;
}

bool input(PlatWindow window, unsigned message, PlatWParam wparam, PlatLParam lparam) {
    if (!room(message))
        return false;
    q.input.push_back(PlatMsg{window, message, wparam, lparam});
    return true;
}

void post_quit(int exit_code) {
    q.quit = true;
    q.quit_code = exit_code;
}

bool take(PlatMsg *msg) {
    std::deque<PlatMsg> *from = !q.posted.empty() ? &q.posted : !q.input.empty() ? &q.input : nullptr;
    if (from) {
        *msg = from->front();
        from->pop_front();
        return true;
    }
    if (!q.ticks.empty()) {
        const Timer *t = q.ticks.front();
        q.ticks.erase(q.ticks.begin());
        *msg = PlatMsg{t->window, WM_TIMER, t->id, 0};
        return true;
    }
    if (q.quit) {
        q.quit = false;
        *msg = PlatMsg{nullptr, WM_QUIT,
                       static_cast<PlatWParam>(static_cast<std::intptr_t>(q.quit_code)), 0};
        return true;
    }
    return false;
}

bool empty() {
    return q.posted.empty() && q.input.empty() && q.ticks.empty() && !q.quit;
}

bool wait_over() {
    return !q.posted.empty() || !q.input.empty() || q.quit ||
           (q.ticks_end_wait && !q.ticks.empty());
}

void set_ticks_end_wait(bool end_it) {
    q.ticks_end_wait = end_it;
}

bool ticks_end_wait() {
    return q.ticks_end_wait;
}

std::size_t length() {
    return q.posted.size() + q.input.size() + q.ticks.size() + (q.quit ? 1 : 0);
}

int count(PlatWindow window, unsigned message, PlatWParam wparam) {
    int n = 0;
    for (const std::deque<PlatMsg> *list : {&q.posted, &q.input})
        for (const PlatMsg &m : *list)
            n += m.window == window && m.message == message && m.wparam == wparam;
    if (message == WM_TIMER)
        for (const Timer *t : q.ticks)
            n += t->window == window && t->id == wparam;
    if (message == WM_QUIT && q.quit)
        n += window == nullptr && wparam == static_cast<PlatWParam>(
                                                 static_cast<std::intptr_t>(q.quit_code));
    return n;
}

// ------------------------------------------------------------------ keys

PlatLParam key_lparam(unsigned typed, bool down, bool repeat, bool ctrl) {
    unsigned bits = 1u | ((typed & 0xFFu) << KEY_CHAR_SHIFT) | KEY_HAS_CHAR;
    if (ctrl)
        bits |= KEY_CTRL_HELD;
    if (down && repeat)
        bits |= KEY_PREVIOUS_DOWN;
    if (!down)
        bits |= KEY_PREVIOUS_DOWN | KEY_TRANSITION_UP;
    return static_cast<PlatLParam>(bits);
}

int key_ctrl_state(PlatLParam lparam) {
    const auto bits = static_cast<std::uintptr_t>(lparam);
    if (!(bits & KEY_HAS_CHAR))
        return -1;
    return (bits & KEY_CTRL_HELD) ? 1 : 0;
}

unsigned char_of_key_down(PlatWParam vk, PlatLParam lparam) {
    const auto bits = static_cast<std::uintptr_t>(lparam);
    const unsigned byte = (bits >> KEY_CHAR_SHIFT) & 0xFF;
    if (bits & KEY_HAS_CHAR)
        return byte;
    return byte != 0 ? char_of_virtual_key(vk) : 0;
}

void translate(const PlatMsg *msg) {
    if (!msg || msg->message != WM_KEYDOWN)
        return;
    const unsigned ch = char_of_key_down(msg->wparam, msg->lparam);
    if (ch != 0)
        q.posted.push_front(PlatMsg{msg->window, WM_CHAR, ch, msg->lparam});
}

// ---------------------------------------------------------------- timers

Timer *find_timer(PlatWindow window, unsigned id) {
    for (Timer *t : q.timers)
        if (t->window == window && t->id == id)
            return t->running ? t : nullptr;
    return nullptr;
}

Timer *set_timer(PlatWindow window, unsigned id, unsigned period_ms) {
    Timer *timer = nullptr;
    for (Timer *t : q.timers)
        if (t->window == window && t->id == id)
            timer = t;
    if (!timer) {
        timer = new Timer{window, id, 0, false, nullptr};
        q.timers.push_back(timer);
    }
    timer->period_ms = period_ms < MIN_TIMER_MS   ? MIN_TIMER_MS
                       : period_ms > MAX_TIMER_MS ? MAX_TIMER_MS
                                                  : period_ms;
    timer->running = true;
    return timer;
}

Timer *kill_timer(PlatWindow window, unsigned id) {
    Timer *t = find_timer(window, id);
    if (t)
        t->running = false;
    return t;
}

void timer_expired(Timer *timer) {
    if (!timer || !timer->running)
        return;
    for (const Timer *t : q.ticks)
        if (t == timer)
            return; // one tick of this timer is already waiting
    q.ticks.push_back(timer);
}

void kill_window_timers(PlatWindow window, void (*stop)(Timer *)) {
    for (Timer *t : q.timers) {
        if (t->window == window && t->running) {
            t->running = false;
            stop(t);
        }
    }
}

} // namespace winlayer
