// Writes the parity frames as drawn by this build's backend:
//   parity_write_frames DIR     makes DIR/day.ppm, night.ppm and shapes.ppm, and beside
//                               each its drawing calls' log lines (day.log, ...)
// The Windows build run under Wine makes the reference files in
// tests/data/parity/ (tests/parity/regenerate.sh).
#include <cstdio>
#include <string>

#include "parity/parity_frames.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: parity_write_frames DIR\n");
        return 2;
    }
    for (const char *name : PARITY_FRAMES) {
        std::string path = std::string(argv[1]) + "/" + name;
        std::string error;
        std::vector<std::string> lines;
        const Frame frame = draw_parity_frame(name, &lines);
        if (!write_ppm(path + ".ppm", frame, &error) ||
            !write_log_lines(path + ".log", lines, &error)) {
            std::fprintf(stderr, "parity_write_frames: %s\n", error.c_str());
            return 1;
        }
        std::printf("wrote %s.ppm and %s.log (%zu drawing calls)\n", path.c_str(), path.c_str(),
                    lines.size());
    }
    return 0;
}
