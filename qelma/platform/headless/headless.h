// The headless toolkit: what it keeps and was asked to do, for the programs
// and tests that run the Windows layer on it. Its windows are records with
// no screen; each shows its pixels by remembering which rows it was handed.
#ifndef QELMA_PLATFORM_HEADLESS_HEADLESS_H
#define QELMA_PLATFORM_HEADLESS_HEADLESS_H

#include "qelma/platform/platform.h"

#include <string>
#include <vector>

namespace headless {

// Height of a window's menu bar, taken from its client area.
constexpr int MENU_BAR_HEIGHT = 20;

struct Record {
    // The toolkit calls that leave a trace, in order: "create", "destroyed",
    // "update", "shown TOP-BOTTOM", "later", "checked ITEM".
    std::vector<std::string> calls;
    int timers_running = 0;
    // The screen's refresh period, for the layer's presentation rule.
    int refresh_ms = 16;
    // The window whose delayed show is due (tk_show_later), or null.
    PlatWindow show_due = nullptr;
};
Record &record();

} // namespace headless

#endif // QELMA_PLATFORM_HEADLESS_HEADLESS_H
