// Objects kept by the digest of what made them (see object_cache.h).
#include "check/object_cache.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

} // namespace

Sha256::Sha256()
    : h_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::block(const unsigned char *p) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t(p[4 * i]) << 24 | std::uint32_t(p[4 * i + 1]) << 16 |
               std::uint32_t(p[4 * i + 2]) << 8 | p[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6],
                  h = h_[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 =
            h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + K[i] + w[i];
        const std::uint32_t t2 =
            (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    const std::uint32_t out[8] = {a, b, c, d, e, f, g, h};
    for (int i = 0; i < 8; ++i)
        h_[i] += out[i];
}

void Sha256::add(const void *data, std::size_t size) {
    const auto *p = static_cast<const unsigned char *>(data);
    total_ += size;
    while (size > 0) {
        if (pending_size_ == 0 && size >= 64) {
            block(p);
            p += 64;
            size -= 64;
            continue;
        }
        const std::size_t n = std::min(size, 64 - pending_size_);
        std::memcpy(pending_ + pending_size_, p, n);
        pending_size_ += n;
        p += n;
        size -= n;
        if (pending_size_ == 64) {
            block(pending_);
            pending_size_ = 0;
        }
    }
}

std::string Sha256::hex() {
    const std::uint64_t bits = total_ * 8;
    const unsigned char one = 0x80, zero = 0;
    add(&one, 1);
    while (pending_size_ != 56)
        add(&zero, 1);
    unsigned char length[8];
    for (int i = 0; i < 8; ++i)
        length[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    add(length, 8);
    char text[65];
    for (int i = 0; i < 8; ++i)
        std::snprintf(text + 8 * i, 9, "%08x", h_[i]);
    return std::string(text, 64);
}

namespace {

// The whole of a file; false when it cannot be read.
bool text_of(const fs::path &path, std::string *text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Adds a file's bytes; false when it cannot be read.
bool add_file(Sha256 *digest, const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        digest->add(buffer, static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

void add_word(Sha256 *digest, const std::string &word) {
    digest->add(word.c_str(), word.size() + 1);
}

// Whether a file names the moment it was built: its object would differ
// from an identical file's built at another.
bool names_the_time(const std::string &text) {
    return text.find("__DATE__") != std::string::npos ||
           text.find("__TIME__") != std::string::npos ||
           text.find("__TIMESTAMP__") != std::string::npos;
}

// The paths a make rule written by the compiler (-MD) names after its colon.
std::vector<std::string> dependencies(const std::string &depfile, bool *ok) {
    std::string text;
    std::vector<std::string> out;
    const bool read = text_of(depfile, &text);
    const auto colon = text.find(": ");
    *ok = read && colon != std::string::npos;
    if (!*ok)
        return out;
    std::string word;
    for (std::size_t i = colon + 2; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\n' || text[i + 1] == ' ')) {
            if (text[i + 1] == ' ')
                word += ' ';
            else if (!word.empty())
                out.push_back(word), word.clear();
            ++i;
        } else if (c == '$' && i + 1 < text.size() && text[i + 1] == '$') {
            word += '$';
            ++i;
        } else if (c == ' ' || c == '\n') {
            if (!word.empty())
                out.push_back(word), word.clear();
            // A second rule (-MP's empty ones) ends the first.
            if (c == '\n' && i + 1 < text.size() && text[i + 1] != ' ')
                break;
        } else {
            word += c;
        }
    }
    if (!word.empty())
        out.push_back(word);
    return out;
}

} // namespace

std::string tree_digest(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code failed;
    for (fs::recursive_directory_iterator it(folder, failed), end; !failed && it != end;
         it.increment(failed)) {
        // Only files and folders, named so that a make rule reads back
        // every name as it is.
        const fs::file_status status = it->symlink_status(failed);
        if (failed || !(fs::is_regular_file(status) || fs::is_directory(status)) ||
            it->path().filename().string().find_first_of("\n\\") != std::string::npos)
            return "";
        names.push_back(fs::relative(it->path(), folder, failed).string() +
                        (fs::is_directory(status) ? "/" : ""));
    }
    if (failed)
        return "";
    std::sort(names.begin(), names.end());
    Sha256 digest;
    for (const std::string &name : names)
        add_word(&digest, name);
    return digest.hex();
}

std::string ObjectCache::key(const std::vector<std::string> &compile, const std::string &tree,
                             const std::string &folder, const std::string &source) {
    if (tree.empty())
        return "";
    // Each word ends with a zero byte: no two lists read as one.
    Sha256 digest;
    for (const std::string &word : compile)
        add_word(&digest, word);
    add_word(&digest, "");
    add_word(&digest, tree);
    add_word(&digest, source);
    return add_file(&digest, fs::path(folder) / source) ? digest.hex() : "";
}

bool ObjectCache::read_of(const std::string &depfile, const std::string &folder,
                          const std::string &source, const std::vector<std::string> &fixed,
                          Read *read) {
    bool ok = false;
    const std::vector<std::string> paths = dependencies(depfile, &ok);
    std::string text;
    if (!ok || !text_of(fs::path(folder) / source, &text) || names_the_time(text))
        return false;
    for (const std::string &path : paths) {
        if (path[0] == '/') {
            // Under a fixed folder, and not out of it again.
            const auto under =
                std::find_if(fixed.begin(), fixed.end(), [&](const std::string &prefix) {
                    return path.rfind(prefix, 0) == 0 &&
                           path.find("/..", prefix.size() - 1) == std::string::npos;
                });
            if (under == fixed.end())
                return false;
            continue;
        }
        const std::string relative = fs::path(path).lexically_normal().string();
        if (relative == source)
            continue;
        if (relative.rfind("..", 0) == 0 || !text_of(fs::path(folder) / relative, &text) ||
            names_the_time(text))
            return false;
        Sha256 digest;
        digest.add(text.data(), text.size());
        read->emplace_back(relative, digest.hex());
    }
    return true;
}

bool ObjectCache::take(const std::string &key, const std::string &folder, const std::string &to) {
    std::vector<Kept> candidates;
    {
        std::lock_guard<std::mutex> hold(lock_);
        const auto found = objects_.find(key);
        if (found == objects_.end())
            return false;
        candidates = found->second;
    }
    for (const Kept &kept : candidates) {
        const bool same = std::all_of(kept.read.begin(), kept.read.end(), [&](const auto &file) {
            Sha256 digest;
            return add_file(&digest, fs::path(folder) / file.first) && digest.hex() == file.second;
        });
        std::error_code failed;
        if (same && fs::copy_file(kept.object, to, fs::copy_options::overwrite_existing, failed) &&
            !failed)
            return true;
    }
    return false;
}

void ObjectCache::keep(const std::string &key, const Read &read, const std::string &object) {
    std::string copy;
    {
        std::lock_guard<std::mutex> hold(lock_);
        copy = (fs::path(folder_) / (std::to_string(count_++) + ".o")).string();
    }
    std::error_code failed;
    fs::create_directories(folder_, failed);
    if (!fs::copy_file(object, copy, fs::copy_options::overwrite_existing, failed) || failed)
        return;
    std::lock_guard<std::mutex> hold(lock_);
    objects_[key].push_back({read, copy});
}
