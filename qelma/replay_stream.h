// What a program started by qelma-replay tells the command, and how.
//
// qelma-replay starts the program with variables in its environment:
// REPLAY_SCRIPT_VARIABLE names the script that the program's events come
// from, and REPLAY_STREAM_VARIABLE the file that the library writes records
// into while the program runs. qelma-replay names a descriptor, /dev/fd/3,
// open on a pipe whose identity REPLAY_PIPE_VARIABLE gives ("DEVICE:INODE"
// of the pipe, in decimal): the library writes to that descriptor only when
// it is still that pipe (a program may have closed it and opened a file of
// its own there), and keeps it from the program's children.
// REPLAY_PICTURES_VARIABLE says which pictures the command needs: "N", the
// pictures whose number is a multiple of N, and the final ones; "0", the
// final ones only; unset (or anything else), every one. A program started
// without the variables is an ordinary QELMA program.
//
// Each record is a tag byte and then 32-bit unsigned numbers in the host's
// byte order (both ends run on the same machine):
//   'H' version, palette size n, n colours 0xRRGGBB   qelma_begin ran
//   'W' waits so far                                  the program asks for an event
//   'F' picture, final, width, height, first row, rows, rows*width pixels
//       0xRRGGBB: the rows that changed since the last picture (the first
//       picture, or one of another size, has them all)
//   'S' picture, final                                the same pixels as the last picture
//   'L' length, the characters                        a line of the message log
//   'E' how, line                                     the script's end: REPLAY_END_*
// A picture is numbered by the periodic events the program has had when it
// asks for the next event: picture 0 is the start, picture k follows the k-th
// tick. "final" marks the picture at the script's end (or the program's).
// "The last picture" of 'F' and 'S' is the last one sent.
#ifndef QELMA_REPLAY_STREAM_H
#define QELMA_REPLAY_STREAM_H

#include <algorithm>
#include <cstddef>
#include <cstdint>

inline constexpr const char *REPLAY_SCRIPT_VARIABLE = "QELMA_REPLAY_SCRIPT";
inline constexpr const char *REPLAY_STREAM_VARIABLE = "QELMA_REPLAY_STREAM";
inline constexpr const char *REPLAY_PIPE_VARIABLE = "QELMA_REPLAY_PIPE";
inline constexpr const char *REPLAY_PICTURES_VARIABLE = "QELMA_REPLAY_PICTURES";
inline constexpr std::uint32_t REPLAY_STREAM_VERSION = 1;

enum ReplayEnd : std::uint32_t {
    REPLAY_END_OF_SCRIPT = 0, // every line was played
    REPLAY_END_BAD_LINE = 1,  // a line the program cannot use stopped it
    REPLAY_END_UNREADABLE = 2 // the script could not be opened or read
};

// The band of rows [*top, *bottom) outside which two pictures of width x
// height pixels are the same; empty (top == bottom) when they are the same
// throughout. What a picture record carries, and what a GIF frame covers.
inline void changed_rows(const std::uint32_t *now, const std::uint32_t *before, int width,
                         int height, int *top, int *bottom) {
    const std::size_t w = static_cast<std::size_t>(width);
    auto same_row = [&](int row) {
        const std::size_t at = static_cast<std::size_t>(row) * w;
        return std::equal(now + at, now + at + w, before + at);
    };
    int t = 0, b = height;
    while (t < b && same_row(t)) {
        ++t;
    }
    while (b > t && same_row(b - 1)) {
        --b;
    }
    *top = t;
    *bottom = b;
}

#endif // QELMA_REPLAY_STREAM_H
