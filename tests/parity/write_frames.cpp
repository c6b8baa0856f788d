// Writes the parity frames as drawn by this build's backend:
//   parity_write_frames DIR     makes DIR/day.ppm and DIR/night.ppm
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
        std::string path = std::string(argv[1]) + "/" + name + ".ppm";
        std::string error;
        if (!write_ppm(path, draw_parity_frame(name), &error)) {
            std::fprintf(stderr, "parity_write_frames: %s\n", error.c_str());
            return 1;
        }
        std::printf("wrote %s\n", path.c_str());
    }
    return 0;
}
