#include <gtest/gtest.h>

#include <string>

#include "store/Scramble.h"

using kf::ScrambleText;
using kf::UnscrambleText;

namespace {

std::string Bytes(size_t n, unsigned char first, unsigned step) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>(static_cast<unsigned char>(first + i * step));
    return s;
}

size_t UnpaddedLength(size_t n) { return n == 0 ? 0 : n / 16 + 1 + 2 * n; }

}  // namespace

TEST(Scramble, RoundTripsEveryLengthAndHighBytes) {
    const std::string texts[] = {
        "", "a", Bytes(15, 'A', 1), Bytes(16, 'a', 1), Bytes(17, '0', 3), Bytes(31, 0x80, 1),
        Bytes(32, 0xE0, 1), std::string("\xff\x80\x00\x01 x", 6), Bytes(256, 0, 1), Bytes(479, 0x20, 7),
    };
    for (const std::string& t : texts) {
        for (bool pad : {false, true}) {
            std::string s = ScrambleText(t, pad);
            EXPECT_EQ(UnscrambleText(s), t) << "length " << t.size() << " pad " << pad;
            if (pad) {
                EXPECT_EQ(s.size() % 23, 0u) << t.size();
            }
        }
    }
}

TEST(Scramble, LettersAreTheCode) {
    EXPECT_EQ(ScrambleText("abc", false), "DBGCGDG");
    std::string padded = ScrambleText("abc", true);
    ASSERT_EQ(padded.size(), 23u);
    EXPECT_EQ(padded.substr(0, 7), "DBGCGDG");
    EXPECT_EQ(ScrambleText(Bytes(16, 'x', 0), false).substr(0, 2), "QA");
    EXPECT_EQ(ScrambleText(Bytes(35, 'x', 0), false).substr(0, 3), "QQD");
    // Only the prefix uses "Q"; body and padding stay within A to P.
    std::string s = ScrambleText(Bytes(40, 0xF0, 1), true);
    size_t prefix = 40 / 16 + 1;
    for (size_t i = 0; i < s.size(); ++i) {
        if (i < prefix - 1) EXPECT_EQ(s[i], 'Q');
        else EXPECT_TRUE(s[i] >= 'A' && s[i] <= 'P') << i << ": " << s[i];
    }
}

TEST(Scramble, LengthsWithAndWithoutPadding) {
    struct Case { size_t n, plain, padded; } cases[] = {
        {0, 0, 0}, {1, 3, 23}, {11, 23, 23}, {15, 31, 46}, {16, 34, 46}, {22, 46, 46},
        {33, 69, 69}, {479, 988, 989},
    };
    for (const Case& c : cases) {
        std::string t = Bytes(c.n, 'k', 0);
        EXPECT_EQ(ScrambleText(t, false).size(), c.plain) << c.n;
        EXPECT_EQ(UnpaddedLength(c.n), c.plain) << c.n;
        EXPECT_EQ(ScrambleText(t, true).size(), c.padded) << c.n;
    }
}

TEST(Scramble, DecodingForeignTextNeverReadsPastIt) {
    struct Case { const char* in; std::string out; } cases[] = {
        {"", ""},
        {"QQQQ", ""},             // a prefix with no count letter
        {"Z", ""},                // a count and no body
        {"DBG", "a"},             // count 3, body of one byte
        {"DBGC", "a"},            // a lone letter at the end is not a byte
        {"DBGCGDGXYZ", "abc"},    // what follows the count is padding
        {"BBG", "a"},
        {"Keyfort", std::string(1, static_cast<char>(('e' - 'A') + 16 * ('y' - 'A'))) +
                        std::string(1, static_cast<char>(('f' - 'A') + 16 * ('o' - 'A'))) +
                        std::string(1, static_cast<char>(('r' - 'A') + 16 * ('t' - 'A')))},
    };
    for (const Case& c : cases) EXPECT_EQ(UnscrambleText(c.in), c.out) << c.in;
}
