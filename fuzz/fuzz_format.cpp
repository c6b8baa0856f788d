// Fuzzes formatted text: qelma_draw_textf and qelma_log_printf with fixed
// format strings and long, odd arguments made from the input. The format is
// never taken from the input. Each call must return the length the
// formatting produced, and the log line must hold that text, cut at the
// line limit.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_session.h"

namespace {

// The formatted text, as the C library makes it.
__attribute__((format(printf, 1, 2))) std::string expected_text(const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    FUZZ_CHECK(n >= 0);
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(s.data(), s.size(), format, again);
    va_end(again);
    s.resize(static_cast<std::size_t>(n));
    return s;
}

void check_last_line(const std::string &expected) {
    int n = qelma_log_count();
    FUZZ_CHECK(n > 0);
    std::string line = qelma_log_line(n - 1);
    std::string cut = expected.substr(0, LOG_LINE_LIMIT);
    FUZZ_CHECK(line == cut);
}

// An argument string: bytes from the input (no NUL: the text would end
// there anyway), sometimes repeated to well past the line limit.
std::string argument(FuzzedDataProvider &in) {
    std::string s = in.ConsumeRandomLengthString(512);
    for (char &c : s) {
        if (c == '\0') {
            c = '\x01';
        }
    }
    int repeat =
        in.ConsumeIntegralInRange<int>(0, 3) == 0 ? in.ConsumeIntegralInRange<int>(1, 400) : 1;
    std::string out;
    for (int i = 0; i < repeat && out.size() < 200000; ++i) {
        out += s;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    open_fuzz_session();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    session.logging_on = in.ConsumeBool();
    std::string a = argument(in);
    std::string b = argument(in);
    int n = in.ConsumeIntegral<int>();
    int precision = in.ConsumeIntegral<int>();
    int color = in.ConsumeIntegralInRange<int>(-2, 25);
    int x = in.ConsumeIntegralInRange<int>(-400, 400);
    int y = in.ConsumeIntegralInRange<int>(-400, 400);
    int point_size = in.ConsumeIntegralInRange<int>(-5, 140);

    // Each format once through the log and once through the canvas.
    std::string e = expected_text("%s", a.c_str());
    FUZZ_CHECK(qelma_log_printf("%s", a.c_str()) == static_cast<int>(e.size()));
    check_last_line(e);
    FUZZ_CHECK(qelma_draw_textf(color, x, y, point_size, "%s", a.c_str()) ==
               static_cast<int>(e.size()));

    e = expected_text("%d %s", n, b.c_str());
    FUZZ_CHECK(qelma_log_printf("%d %s", n, b.c_str()) == static_cast<int>(e.size()));
    check_last_line(e);
    FUZZ_CHECK(qelma_draw_textf(color, x, y, point_size, "%d %s", n, b.c_str()) ==
               static_cast<int>(e.size()));

    // A negative precision counts as none.
    e = expected_text("%.*s", precision, a.c_str());
    FUZZ_CHECK(qelma_log_printf("%.*s", precision, a.c_str()) == static_cast<int>(e.size()));
    check_last_line(e);
    FUZZ_CHECK(qelma_draw_textf(color, x, y, point_size, "%.*s", precision, a.c_str()) ==
               static_cast<int>(e.size()));

    e = expected_text("%-20s|%5d", b.c_str(), n);
    FUZZ_CHECK(qelma_log_printf("%-20s|%5d", b.c_str(), n) == static_cast<int>(e.size()));
    check_last_line(e);
    FUZZ_CHECK(qelma_draw_textf(color, x, y, point_size, "%-20s|%5d", b.c_str(), n) ==
               static_cast<int>(e.size()));

    e = expected_text("%s\n%s\n", a.c_str(), b.c_str());
    FUZZ_CHECK(qelma_log_printf("%s\n%s\n", a.c_str(), b.c_str()) == static_cast<int>(e.size()));
    check_last_line(e);
    FUZZ_CHECK(qelma_draw_textf(color, x, y, point_size, "%s\n%s\n", a.c_str(), b.c_str()) ==
               static_cast<int>(e.size()));

    // The plain call with the same text draws and returns 1.
    FUZZ_CHECK(qelma_draw_text(color, x, y, point_size, a.c_str()) == 1);
    check_log_ring();
    return 0;
}
