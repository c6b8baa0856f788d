// What the Windows layer does with pixels, under the headless toolkit: when
// a window's rows are handed to the toolkit to be shown, and how text from
// the toolkit's coverage is placed, clipped and blended, whether the layer
// keeps its rendering or not.
#include <gtest/gtest.h>

#include <algorithm>
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

// The layer's letters, drawn twice (the second time from the texts it
// keeps): ink lands only in the text's cell and the few pixels glyphs reach
// past it, every pixel is a blend of the ink over what was there, opaque
// paper fills exactly the cell, and both drawings are the same pixels.
struct TextCase {
    const char *name;
    std::string text;
    int x, y;
    bool opaque;
};

void PrintTo(const TextCase &c, std::ostream *os) { *os << c.name; }

class LayerText : public ::testing::TestWithParam<TextCase> {};

// A value of each channel between a and b (inclusive).
bool between(PlatColor p, PlatColor a, PlatColor b) {
    const auto in = [](unsigned v, unsigned x, unsigned y) { return v >= std::min(x, y) && v <= std::max(x, y); };
    return in(plat_red(p), plat_red(a), plat_red(b)) && in(plat_green(p), plat_green(a), plat_green(b)) &&
           in(plat_blue(p), plat_blue(a), plat_blue(b));
}

TEST_P(LayerText, GlyphsLandInTheirCellAndBlendOverWhatWasThere) {
    const TextCase &c = GetParam();
    PlatDC dc = plat_create_compatible_dc(nullptr);
    PlatObject bitmap = plat_create_compatible_bitmap(dc, 120, 40);
    PlatObject old_bitmap = plat_select_object(dc, bitmap);
    PlatObject font = plat_create_font(-16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "f");
    PlatObject old_font = plat_select_object(dc, font);
    const PlatColor ink = plat_rgb(10, 200, 30), paper = plat_get_bk_color(dc); // white
    const PlatColor black = plat_rgb(0, 0, 0);
    plat_set_text_color(dc, ink);
    plat_set_bk_mode(dc, c.opaque ? OPAQUE : TRANSPARENT);
    int cx = 0, cy = 0;
    const int length = static_cast<int>(c.text.size());
    ASSERT_EQ(plat_get_text_extent_point(dc, c.text.data(), length, &cx, &cy), 1);
    // No kerning: a text is as wide as its letters one by one.
    int sum = 0;
    for (char ch : c.text) {
        int w = 0, h = 0;
        plat_get_text_extent_point(dc, &ch, 1, &w, &h);
        sum += w;
    }
    EXPECT_EQ(cx, sum);
    int height = 0;
    plat_get_text_metrics(dc, &height, nullptr);
    EXPECT_EQ(cy, height);
    std::vector<PlatColor> first;
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(plat_text_out(dc, c.x, c.y, c.text.data(), length), 1);
        std::vector<PlatColor> seen;
        int inked = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 120; ++x) {
                const PlatColor p = plat_get_pixel(dc, x, y);
                seen.push_back(p);
                const bool in_cell = x >= c.x && x < c.x + cx && y >= c.y && y < c.y + cy;
                const bool near = x >= c.x - 4 && x < c.x + cx + 4 && y >= c.y - 2 && y < c.y + cy + 2;
                const PlatColor under = in_cell && c.opaque ? paper : black;
                ASSERT_TRUE(near || p == black) << "ink far from the text at (" << x << ", " << y << ")";
                ASSERT_TRUE(between(p, under, ink)) << "at (" << x << ", " << y << "), round " << round;
                inked += p != under;
            }
        }
        EXPECT_GT(inked, 0) << "nothing drawn";
        if (round == 0)
            first = seen;
        else
            EXPECT_EQ(seen, first) << "the kept text differs from the new one";
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
    ::testing::Values(TextCase{"Opaque", "Wolf & fiji", 7, 3, true},
                      TextCase{"Transparent", "Wolf & fiji", 7, 3, false},
                      TextCase{"ClippedAtTheTopLeft", "gjQ|W", -13, -9, true},
                      TextCase{"ClippedAtTheBottomRight", "gjQ|W", 100, 30, true},
                      // Too long to keep: drawn only where it lands.
                      TextCase{"LongTextClippedOnBothSides", std::string(600, 'x'), -2005, 10, true},
                      TextCase{"MissingGlyphsAndAccents", "\x81\x8D\xC5\xE7\x80\x99", 3, 12, false}),
    [](const ::testing::TestParamInfo<TextCase> &c) { return std::string(c.param.name); });

// A text too long to keep is drawn where it lands from the same glyphs: its
// visible end is the same pixels as that end drawn alone, which is kept.
TEST(LayerText, LongTextsDrawAsTheirVisiblePartDrawnAlone) {
    PlatDC dc = plat_create_compatible_dc(nullptr);
    PlatObject bitmap = plat_create_compatible_bitmap(dc, 200, 30);
    PlatObject old_bitmap = plat_select_object(dc, bitmap);
    plat_set_bk_mode(dc, OPAQUE);
    const std::string tail = "The lazy dog, jumped over 0123456789";
    std::string whole;
    while (whole.size() < 600)
        whole += "Qxy ";
    whole += tail;
    int tail_w = 0, whole_w = 0, h = 0;
    plat_get_text_extent_point(dc, tail.data(), static_cast<int>(tail.size()), &tail_w, &h);
    plat_get_text_extent_point(dc, whole.data(), static_cast<int>(whole.size()), &whole_w, &h);
    std::vector<PlatColor> pictures[2];
    for (int round = 0; round < 2; ++round) {
        if (round == 0)
            plat_text_out(dc, 5 - (whole_w - tail_w), 4, whole.data(), static_cast<int>(whole.size()));
        else
            plat_text_out(dc, 5, 4, tail.data(), static_cast<int>(tail.size()));
        for (int y = 0; y < 30; ++y)
            for (int x = 5; x < 200; ++x)
                pictures[round].push_back(plat_get_pixel(dc, x, y));
    }
    EXPECT_EQ(pictures[0], pictures[1]);
    plat_select_object(dc, old_bitmap);
    plat_delete_object(bitmap);
    plat_delete_dc(dc);
}

} // namespace
