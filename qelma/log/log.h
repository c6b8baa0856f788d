// The message log: a ring of the last 25 lines, shown in the text window.
#ifndef QELMA_LOG_LOG_H
#define QELMA_LOG_LOG_H

#include <cstdarg>
#include <cstddef>

// The longest line stored; longer formatted text is cut to this length.
inline constexpr std::size_t LOG_LINE_LIMIT = 65535;

// Formats printf-style into buffer (size bytes); text that does not fit goes
// into a block of its own, up to LOG_LINE_LIMIT characters. *text receives
// the formatted characters; release them with release_formatted. Returns what
// the formatting returned.
int format_text(char *buffer, std::size_t size, char **text, const char *format, va_list args);
void release_formatted(char *buffer, char *text);

// Draws one line at the bottom of the text window, scrolling it up a line.
void show_log_line(const char *text);

// Reading the ring back: the number of stored lines and line i, 0 the
// oldest (nullptr when there is no such line).
int qelma_log_count();
const char *qelma_log_line(int i);

#endif // QELMA_LOG_LOG_H
