// Fuzzes every drawing call with arbitrary ints for colour, coordinates,
// sizes and widths. Every call returns 1, a bad argument costs at most its
// warning lines, and the ring never holds more than its 25 lines.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_session.h"

namespace {

// Mostly values near the canvas, sometimes any int at all.
int coordinate(FuzzedDataProvider &in) {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-700, 700) : in.ConsumeIntegral<int>();
}

int any_int(FuzzedDataProvider &in) {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-40, 40) : in.ConsumeIntegral<int>();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    open_fuzz_session();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    session.logging_on = in.ConsumeBool();
    for (int call = 0; call < 16 && in.remaining_bytes() > 0; ++call) {
        int color = any_int(in);
        int result = 0;
        switch (in.ConsumeIntegralInRange<int>(0, 5)) {
        case 0: {
            int x = coordinate(in), y = coordinate(in);
            result = qelma_draw_circle(color, x, y, any_int(in));
            break;
        }
        case 1: {
            int x1 = coordinate(in), y1 = coordinate(in), x2 = coordinate(in);
            int y2 = coordinate(in), x3 = coordinate(in), y3 = coordinate(in);
            result = qelma_draw_triangle(color, x1, y1, x2, y2, x3, y3, any_int(in));
            break;
        }
        case 2: {
            int x1 = coordinate(in), y1 = coordinate(in), x2 = coordinate(in);
            int y2 = coordinate(in);
            result = qelma_draw_rectangle(color, x1, y1, x2, y2, any_int(in));
            break;
        }
        case 3: {
            int x1 = coordinate(in), y1 = coordinate(in), x2 = coordinate(in);
            int y2 = coordinate(in);
            result = qelma_draw_oval(color, x1, y1, x2, y2, any_int(in));
            break;
        }
        case 4: {
            int x = coordinate(in), y = coordinate(in), point_size = any_int(in);
            std::string text = in.ConsumeRandomLengthString(64);
            result = qelma_draw_text(color, x, y, point_size, text.c_str());
            break;
        }
        default:
            result = qelma_clear_canvas();
            break;
        }
        FUZZ_CHECK(result == 1);
        FUZZ_CHECK(session.canvas_dirty == 1);
    }
    check_log_ring();
    return 0;
}
