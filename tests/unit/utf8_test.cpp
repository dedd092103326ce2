// UTF-8 text one character at a time, with bytes outside a sequence read as Latin-1.
#include <gtest/gtest.h>

#include "common/utf8.hpp"

namespace tarno {
namespace {

TEST(utf8, characters_and_their_lengths) {
    struct Case {
        std::string text;
        char32_t code;
        size_t length;
    };
    const Case cases[] = {
        {"a", U'a', 1},
        {"\xC3\xA4x", U'\u00E4', 2},
        {"\xE2\x82\xAC", U'\u20AC', 3},
        {"\xF0\x9F\x98\x80", U'\U0001F600', 4},
        {"\xE4x", U'\u00E4', 1},            // Latin-1 a umlaut
        {"\xC3", U'\u00C3', 1},             // cut off
        {"\xC0\xAF", U'\u00C0', 1},         // overlong '/'
        {"\xED\xA0\x80", U'\u00ED', 1},     // a surrogate
        {"\x80", U'\u0080', 1},             // stray continuation byte
    };
    for (const Case& c : cases) {
        DecodedCharacter ch = decode_character(c.text, 0);
        EXPECT_EQ(ch.code, c.code) << c.text;
        EXPECT_EQ(ch.length, c.length) << c.text;
        if (c.length > 1) {
            EXPECT_EQ(utf8_encoded(c.code), c.text.substr(0, c.length));
        }
    }
}

TEST(utf8, counting_cutting_and_padding_keep_characters_whole) {
    const std::string name = "m\xC3\xA4\xE2\x82\xAC";          // m, a umlaut, euro sign: 3 characters in 6 bytes
    EXPECT_EQ(character_count(name), 3u);
    EXPECT_EQ(last_character_start(name), 3u);
    EXPECT_EQ(last_character_start(""), 0u);
    EXPECT_EQ(whole_characters_within(name, 5), 3u);           // the euro sign does not fit in 5 bytes
    EXPECT_EQ(padded_characters(name, 5), name + "  ");
    EXPECT_EQ(padded_characters(name, 2), "m\xC3\xA4");
    EXPECT_EQ(padded_characters("ab\xB5", 4), "ab\xB5 ");      // a Latin-1 byte is one character
}

}  // namespace
}  // namespace tarno
