// Reading the records a replayed program writes (qelma/replay_stream.h)
// as they arrive, in pieces of any size.
#ifndef QELMA_REPLAY_RECORDS_H
#define QELMA_REPLAY_RECORDS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "replay/pictures.h"

// What the program has told so far.
struct ReplayReport {
    bool began = false;                 // 'H': a QELMA session began
    std::vector<std::uint32_t> palette; // its colours
    std::uint32_t waits = 0;            // waits begun
    bool ended = false;                 // 'E': the script's end
    std::uint32_t end_how = 0, end_line = 0;
    std::string last_log;               // the latest 'L' (each goes to the sink)
    Picture picture;                    // the latest picture ('F', kept by 'S')
    std::uint32_t picture_number = 0;
    bool picture_final = false;
    bool picture_repeated = false;      // 'S': the same pixels as the picture before
    int changed_top = 0, changed_bottom = 0; // 'F': the rows it brought, [top, bottom)
    bool has_picture = false;
};

// Called for each picture record, after report.picture is brought up to
// date, and for each log line as it comes (the report keeps only the last).
class PictureSink {
  public:
    virtual ~PictureSink() = default;
    virtual bool picture(const ReplayReport &report, std::string *error) = 0;
    virtual bool log_line(const std::string &, std::string *) { return true; }
};

class RecordReader {
  public:
    explicit RecordReader(PictureSink *sink) : sink_(sink) {}
    // Takes the next bytes. False when the stream is damaged or the sink
    // refused a picture; *error says which.
    bool take(const void *bytes, std::size_t size, std::string *error);
    // True when no record is left half-read.
    bool complete() const { return buffer_.empty(); }
    const ReplayReport &report() const { return report_; }

  private:
    // The record at `at`: its length once read; 0 when more bytes are
    // needed (*need: how many it takes as far as they tell); -1 when damaged.
    long read_one(const unsigned char *at, std::size_t available, std::size_t *need, std::string *error);

    PictureSink *sink_;
    ReplayReport report_;
    std::vector<unsigned char> buffer_; // a record half-read, and nothing else

};

#endif // QELMA_REPLAY_RECORDS_H
