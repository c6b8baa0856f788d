// The objects a run of qelma-check has compiled, by all that the compiler
// read: a learner's file that is byte for byte one already built, with the
// same headers, in a folder of the same names (a file the whole class was
// handed), is not compiled again.
#ifndef QELMA_CHECK_OBJECT_CACHE_H
#define QELMA_CHECK_OBJECT_CACHE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// SHA-256, fed in pieces.
class Sha256 {
  public:
    Sha256();
    void add(const void *data, std::size_t size);
    std::string hex(); // the digest; the object is spent
  private:
    void block(const unsigned char *p);
    std::uint32_t h_[8];
    unsigned char pending_[64];
    std::size_t pending_size_ = 0;
    std::uint64_t total_ = 0;
};

// Where a learner's copied folder's includes can lead: the digest of the
// names of all that it holds; empty where it holds a link or a name a make
// rule cannot carry, or cannot be read (its units are then always compiled).
std::string tree_digest(const std::string &folder);

// The files of a learner's folder a unit read besides its source, each with
// the digest of its bytes.
using Read = std::vector<std::pair<std::string, std::string>>;

class ObjectCache {
  public:
    explicit ObjectCache(std::string folder) : folder_(std::move(folder)) {}
    // The key of the source (relative to the folder) compiled by the command
    // in that folder. Empty when the folder has no tree digest.
    static std::string key(const std::vector<std::string> &compile, const std::string &tree,
                           const std::string &folder, const std::string &source);
    // What the unit read of its folder, by the compiler's dependency file;
    // false when it read anything else than its folder's files and those
    // under the fixed prefixes (the system, the kit), or names the time.
    static bool read_of(const std::string &depfile, const std::string &folder,
                        const std::string &source, const std::vector<std::string> &fixed,
                        Read *read);
    // Copies to `to` an object kept under the key whose unit read files of
    // the same bytes in this folder; false when none is kept.
    bool take(const std::string &key, const std::string &folder, const std::string &to);
    // Keeps a copy of the object under the key, with what its unit read.
    void keep(const std::string &key, const Read &read, const std::string &object);

  private:
    struct Kept {
        Read read;
        std::string object;
    };
    std::string folder_;
    std::mutex lock_;
    std::map<std::string, std::vector<Kept>> objects_;
    std::size_t count_ = 0;
};

#endif // QELMA_CHECK_OBJECT_CACHE_H
