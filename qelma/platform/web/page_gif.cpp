// The page's GIF, made from the replay's stream as the program ends.
#include "qelma/platform/web/page_gif.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "replay/replay_gif.h"

namespace {

// One line of the outcome: no line break inside, none at the end.
std::string one_line(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    for (char &c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

} // namespace

void page_gif_of_stream(const char *stream_path) {
    const char *gif = std::getenv(PAGE_GIF_VARIABLE);
    if (gif == nullptr || gif[0] == '\0' || stream_path == nullptr)
        return;
    StreamGif made;
    std::string error;
    std::string told;
    if (gif_of_stream(stream_path, gif, &made, &error)) {
        told = "frames " + std::to_string(made.frames) + "\n";
        if (made.report.ended)
            told += "end " + std::to_string(made.report.end_how) + " " + std::to_string(made.report.end_line) + "\n";
        if (!made.report.last_log.empty())
            told += "log " + one_line(made.report.last_log) + "\n";
    } else {
        told = "error " + one_line(error) + "\n";
    }
    const std::string told_path = std::string(gif) + ".told";
    if (std::FILE *out = std::fopen(told_path.c_str(), "w")) {
        std::fputs(told.c_str(), out);
        std::fclose(out);
    }
}
