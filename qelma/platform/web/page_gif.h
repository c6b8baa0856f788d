// The page's GIF of a script (Make GIF): the program runs a second time in a
// Web Worker, on the headless platform, replaying the script into a record
// stream kept in memory; as the stream closes, qelma-replay's own GIF writer
// turns it into the GIF, byte for byte the one qelma-replay --gif makes.
#ifndef QELMA_PLATFORM_WEB_PAGE_GIF_H
#define QELMA_PLATFORM_WEB_PAGE_GIF_H

// Names the GIF the worker wants; beside it, NAME.told says what came of it:
//   frames N           the GIF's frames
//   end HOW LINE       the script's end (REPLAY_END_*), when it was told
//   log TEXT           the last line logged
// or the one line "error TEXT", and no GIF.
inline constexpr const char *PAGE_GIF_VARIABLE = "QELMA_PAGE_GIF";

// Makes the GIF of the closed stream at stream_path, where the variable
// names one.
void page_gif_of_stream(const char *stream_path);

#endif // QELMA_PLATFORM_WEB_PAGE_GIF_H
