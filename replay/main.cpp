// qelma-replay's entry point (see replay_command.h).
#include <cstdio>

#include "replay/replay_command.h"

static const char USAGE[] =
    "usage: qelma-replay [options] SCRIPT -- PROGRAM [ARGS...]\n"
    "Runs a QELMA program with its events from SCRIPT, as fast as it takes them,\n"
    "without a screen, and ends it when the script ends.\n"
    "  --gif FILE        an animated GIF, one frame per periodic event (100 ms)\n"
    "  --png FILE        the last picture\n"
    "  --frames DIR      every picture as DIR/frame-NNNNN.png ...\n"
    "  --every N         ... or every Nth of them\n"
    "  --expect PNG      compare the last picture with PNG; exit 1 when they differ\n"
    "  --tolerance P     ... by more than P percent of the pixels (default 0)\n"
    "  --diff FILE       where the difference picture goes (default NAME-diff.png)\n"
    "  --log FILE        the message log's lines\n"
    "  --timeout S       stop a program that asks for no event for S seconds (default 10)\n"
    "Two outputs that are one file, or an output that is the script or the\n"
    "reference, are refused; each output appears only when it is complete.\n";

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    ReplayOptions options;
    std::string error;
    if (!parse_replay_options(args, &options, &error)) {
        std::fprintf(stderr, "qelma-replay: %s\n%s", error.c_str(), USAGE);
        return EXIT_BAD_INPUT;
    }
    if (options.help) {
        std::fputs(USAGE, stdout);
        return EXIT_PLAYED;
    }
    return run_replay(options);
}
