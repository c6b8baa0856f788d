// The digest that decides whether two learners' units are one: the standard
// SHA-256 answers, whatever the pieces it is fed in.
#include <gtest/gtest.h>

#include <string>

#include "check/object_cache.h"

TEST(Sha256, GivesTheStandardDigests) {
    const struct {
        std::string text;
        std::size_t piece; // fed this many bytes at a time
        const char *digest;
    } cases[] = {
        {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits in the last block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 7,
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), 1000,
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {std::string(1000000, 'a'), 333,
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto &c : cases) {
        Sha256 digest;
        for (std::size_t at = 0; at < c.text.size(); at += c.piece)
            digest.add(c.text.data() + at, std::min(c.piece, c.text.size() - at));
        EXPECT_EQ(digest.hex(), c.digest) << c.text.size() << " bytes in pieces of " << c.piece;
    }
}
