// What the Windows layer does with pixels, under the headless toolkit: when
// a window's rows are handed to the toolkit to be shown, and how text from
// the toolkit's coverage is placed, clipped and blended, whether the layer
// keeps its rendering or not.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "qelma/platform/headless/headless.h"
#include "qelma/platform/platform_inspect.h"
#include "qelma/platform/winlayer/window_records.h"

namespace {

headless::Record &tk = headless::record();

PlatResult quiet_proc(PlatWindow w, unsigned message, PlatWParam wparam, PlatLParam lparam) {
    if (message == WM_PAINT) {
        PlatDC dc = plat_begin_paint(w);
        plat_rectangle(dc, 0, 0, 5, 5); // drawn inside the paint: shown by it
        plat_end_paint(w);
        return 0;
    }
    return plat_def_window_proc(w, message, wparam, lparam);
}

// A shown window with a 100 x 60 client area, and its context.
struct Shown {
    PlatWindow window;
    PlatDC dc;
    Shown() {
        static const bool registered = plat_register_class("Quiet", quiet_proc, 0, nullptr) != 0;
        EXPECT_TRUE(registered);
        window = plat_create_window("Quiet", "q", 0, 0, 0, 100, 60);
        plat_show_window(window, SW_SHOW);
        dc = plat_get_dc(window);
        tk.calls.clear();
    }
    ~Shown() {
        plat_release_dc(window, dc);
        plat_def_window_proc(window, WM_CLOSE, 0, 0);
        tk.refresh_ms = 16;
        tk.show_due = nullptr;
    }
};

// One step of a presentation case: draw a box over rows top..bottom-1, copy
// a picture in, give the toolkit its due show, repaint, or let the program
// start waiting for input.
struct Step {
    enum Kind { BOX, SAME_COPY, CHANGED_COPY, DUE, REPAINT, WAITS } kind;
    int top = 0, bottom = 0;
};

struct PresentationCase {
    const char *name;
    int refresh_ms;
    std::vector<Step> steps;
    std::vector<std::string> calls; // the toolkit's trace
};

void PrintTo(const PresentationCase &c, std::ostream *os) { *os << c.name; }

class LayerPresentation : public ::testing::TestWithParam<PresentationCase> {};

TEST_P(LayerPresentation, HandsTheToolkitTheChangedRowsAtMostOncePerRefresh) {
    const PresentationCase &c = GetParam();
    Shown s;
    tk.refresh_ms = c.refresh_ms;
    // A picture equal to the client area as it is (white), for copies.
    PlatDC memory = plat_create_compatible_dc(s.dc);
    PlatObject bitmap = plat_create_compatible_bitmap(s.dc, 100, 60);
    PlatObject old_bitmap = plat_select_object(memory, bitmap);
    PlatObject white = plat_get_stock_object(0); // WHITE_BRUSH
    PlatObject old_brush = plat_select_object(memory, white);
    PlatObject old_pen = plat_select_object(memory, plat_get_stock_object(NULL_PEN));
    plat_rectangle(memory, 0, 0, 101, 61);
    for (const Step &step : c.steps) {
        switch (step.kind) {
        case Step::BOX:
            plat_rectangle(s.dc, 10, step.top, 20, step.bottom);
            break;
        case Step::CHANGED_COPY:
            plat_select_object(memory, plat_get_stock_object(4)); // BLACK_BRUSH
            plat_rectangle(memory, 0, step.top, 101, step.bottom + 1); // rows top..bottom-1
            [[fallthrough]];
        case Step::SAME_COPY:
            plat_bit_blt(s.dc, 0, 0, 100, 60, memory, 0, 0, SRCCOPY);
            break;
        case Step::DUE:
            ASSERT_EQ(tk.show_due, s.window);
            tk.show_due = nullptr;
            winlayer::show_due(s.window);
            break;
        case Step::REPAINT:
            winlayer::repaint(s.window, true);
            break;
        case Step::WAITS:
            winlayer::show_before_waiting();
            break;
        }
    }
    EXPECT_EQ(tk.calls, c.calls);
    plat_select_object(memory, old_pen);
    plat_select_object(memory, old_brush);
    plat_select_object(memory, old_bitmap);
    plat_delete_dc(memory);
    plat_delete_object(bitmap);
}

// A one-pixel pen reaches a row either side of a box (the shown band's margin).
INSTANTIATE_TEST_SUITE_P(
    Cases, LayerPresentation,
    ::testing::Values(
        PresentationCase{"FirstPictureAtOnce", 1000000, {{Step::BOX, 20, 30}}, {"shown 19-31"}},
        PresentationCase{"LaterOnesWaitForTheRefreshAndComeTogether",
                         1000000,
                         {{Step::BOX, 20, 30}, {Step::BOX, 40, 45}, {Step::BOX, 5, 8}, {Step::DUE}},
                         {"shown 19-31", "later", "shown 4-46"}},
        PresentationCase{"EveryPictureWhenTheRefreshIsOver",
                         0,
                         {{Step::BOX, 20, 30}, {Step::BOX, 40, 45}},
                         {"shown 19-31", "shown 39-46"}},
        PresentationCase{"ACopyOfTheSamePictureShowsNothing", 0, {{Step::SAME_COPY}}, {}},
        PresentationCase{"ACopyShowsOnlyTheRowsItChanged",
                         0,
                         {{Step::CHANGED_COPY, 12, 14}, {Step::SAME_COPY}},
                         {"shown 12-14"}},
        PresentationCase{"WhatAPaintDrawsIsShownByThePaint",
                         0,
                         {{Step::REPAINT}},
                         {}},
        PresentationCase{"WaitingForInputShowsWhatWasDrawnAtOnce",
                         1000000,
                         {{Step::BOX, 20, 30}, {Step::BOX, 40, 45}, {Step::WAITS}, {Step::BOX, 5, 8},
                          {Step::WAITS}, {Step::DUE}},
                         {"shown 19-31", "later", "shown 39-46", "later", "shown 4-9"}},
        PresentationCase{"AShowDueWithNothingDrawnShowsNothing",
                         1000000,
                         {{Step::BOX, 20, 30}, {Step::BOX, 20, 30}, {Step::REPAINT}, {Step::DUE}},
                         {"shown 19-31", "later"}}),
    [](const ::testing::TestParamInfo<PresentationCase> &c) { return std::string(c.param.name); });

TEST(LayerShowing, AHiddenWindowIsNotShownUntilItAppears) {
    Shown s;
    plat_show_window(s.window, SW_HIDE);
    tk.calls.clear();
    plat_rectangle(s.dc, 0, 0, 10, 10);
    EXPECT_TRUE(tk.calls.empty());
    // Appearing shows the whole client area (the toolkit's part): nothing is
    // owed any more.
    plat_show_window(s.window, SW_SHOW);
    EXPECT_FALSE(winlayer::has_unshown(s.window));
}

// The headless toolkit's block font: every character but a space is a box
// of half the pixel height (plus a pixel between characters) by three
// quarters of the ascent, standing on the baseline.
struct TextCase {
    const char *name;
    std::string text;
    int x, y;
    bool opaque;
};

void PrintTo(const TextCase &c, std::ostream *os) { *os << c.name; }

class LayerText : public ::testing::TestWithParam<TextCase> {};

TEST_P(LayerText, GlyphsLandWhereTheFontPutsThemAndNowhereElse) {
    const TextCase &c = GetParam();
    PlatDC dc = plat_create_compatible_dc(nullptr);
    PlatObject bitmap = plat_create_compatible_bitmap(dc, 120, 40);
    PlatObject old_bitmap = plat_select_object(dc, bitmap);
    PlatObject font = plat_create_font(-16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "f");
    PlatObject old_font = plat_select_object(dc, font);
    const PlatColor ink = plat_rgb(10, 200, 30), paper = plat_get_bk_color(dc); // white
    plat_set_text_color(dc, ink);
    plat_set_bk_mode(dc, c.opaque ? OPAQUE : TRANSPARENT);
    // The cell: the advance (9 pixels a character at 16 pixels) by the height (20).
    int cx = 0, cy = 0;
    ASSERT_EQ(plat_get_text_extent_point(dc, c.text.data(), static_cast<int>(c.text.size()), &cx,
                                         &cy),
              1);
    EXPECT_EQ(cx, 9 * static_cast<int>(c.text.size()));
    EXPECT_EQ(cy, 20);
    // Drawn twice: the second comes from what the layer kept, when it keeps it.
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(plat_text_out(dc, c.x, c.y, c.text.data(), static_cast<int>(c.text.size())), 1);
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 120; ++x) {
                const long long i = (static_cast<long long>(x) - c.x) / 9;
                const bool in_cell = x >= c.x && x < c.x + cx && y >= c.y && y < c.y + cy;
                const bool glyph = in_cell && c.text[static_cast<std::size_t>(i)] != ' ' &&
                                   (x - c.x) % 9 < 8 && y >= c.y + 4 && y < c.y + 16;
                const PlatColor want = glyph ? ink : in_cell && c.opaque ? paper : plat_rgb(0, 0, 0);
                ASSERT_EQ(plat_get_pixel(dc, x, y), want)
                    << "at (" << x << ", " << y << "), round " << round;
            }
        }
        // The next round starts black again, with the background to fill.
        PlatObject old_pen = plat_select_object(dc, plat_get_stock_object(NULL_PEN));
        PlatObject old_brush = plat_select_object(dc, plat_get_stock_object(4)); // BLACK_BRUSH
        plat_rectangle(dc, 0, 0, 121, 41);
        plat_select_object(dc, old_brush);
        plat_select_object(dc, old_pen);
    }
    plat_select_object(dc, old_font);
    plat_select_object(dc, old_bitmap);
    plat_delete_object(font);
    plat_delete_object(bitmap);
    plat_delete_dc(dc);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LayerText,
    ::testing::Values(TextCase{"Opaque", "ab c", 7, 3, true},
                      TextCase{"Transparent", "ab c", 7, 3, false},
                      TextCase{"ClippedAtTheTopLeft", "abcdef", -13, -9, true},
                      TextCase{"ClippedAtTheBottomRight", "abcdef", 100, 30, true},
                      // Too long to keep: rendered only where it lands.
                      TextCase{"LongTextClippedOnBothSides", std::string(600, 'x'), -2005, 10, true},
                      TextCase{"LongTextOutOfSight", std::string(600, 'x'), 200, 10, true}),
    [](const ::testing::TestParamInfo<TextCase> &c) { return std::string(c.param.name); });

} // namespace
