// Fuzzes the script reader: the input is written as "QELMA.SCR" in a
// directory of the target's own and played back, first through the real
// event wait and then through read_script_event alone, until playback stops.
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "fuzz/fuzz_session.h"

namespace {

// Events delivered through the real wait before the reader is driven alone.
constexpr int WAIT_EVENTS = 8;
// Reads per input; a long periodic count is cut short here.
constexpr int MAX_READS = 4096;

void write_script(const std::uint8_t *data, std::size_t size) {
    std::FILE *f = std::fopen(SCRIPT_FILE_NAME, "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
    FUZZ_CHECK(std::fclose(f) == 0);
}

// What the reader leaves after delivering one event.
void check_delivered() {
    int kind = session.pending_event;
    FUZZ_CHECK(kind == QELMA_MOUSE || kind == QELMA_KBD || kind == QELMA_PERIODIC);
    FUZZ_CHECK(session.playback_run >= -1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    open_fuzz_session();
    char pattern[] = "/tmp/qelma-fuzz-script-XXXXXX";
    const char *dir = mkdtemp(pattern);
    FUZZ_CHECK(dir != nullptr);
    FUZZ_CHECK(chdir(dir) == 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    close_script_file();
    session.playing_back = false;
    session.play_one_pending = false;
    session.recording = false;
    session.animating = false;
    session.single_step = false;
    session.playback_run = 0;
    session.periodic_run = 0;
    write_script(data, size);

    // Through the real wait: a tick lets a pass read the script, and the
    // click is what the wait returns once playback has ended.
    run_menu_command(CMD_PLAYBACK);
    for (int i = 0; i < WAIT_EVENTS && session.playing_back; ++i) {
        qelma_set_animation(QELMA_ANIMATE_HALT);
        plat_post_message(session.graphics_window, WM_TIMER, QELMA_TIMER_ID, 0);
        plat_post_message(session.graphics_window, WM_LBUTTONDOWN, 0, 0);
        int x = 0;
        int y = 0;
        char key = 0;
        int kind = qelma_next_event(&x, &y, &key);
        FUZZ_CHECK(kind == QELMA_MOUSE || kind == QELMA_KBD || kind == QELMA_PERIODIC);
        if (kind != QELMA_KBD) {
            FUZZ_CHECK(key == 0);
        }
        if (kind != QELMA_MOUSE) {
            FUZZ_CHECK(x == 0 && y == 0);
        }
        drop_queued_messages();
    }

    // Then the reader alone, to the end of the file.
    for (int i = 0; i < MAX_READS && session.playing_back; ++i) {
        int got = read_script_event();
        if (got == 1) {
            check_delivered();
            if (session.playback_run > MAX_READS) {
                session.playback_run = 0; // a long count delivers nothing new
            }
        } else {
            FUZZ_CHECK(got == 0);
            FUZZ_CHECK(!session.playing_back && !session.play_one_pending);
        }
    }
    // A playback that met the end, started again, meets it at once.
    if (!session.playing_back && session.script_file != nullptr &&
        std::feof(session.script_file) != 0) {
        run_menu_command(CMD_PLAYBACK);
        FUZZ_CHECK(read_script_event() == 0);
        FUZZ_CHECK(!session.playing_back);
    }
    if (session.playing_back) {
        run_menu_command(CMD_PLAYBACK);
    }
    close_script_file();
    FUZZ_CHECK(session.script_file == nullptr);
    check_log_ring();
    return 0;
}
