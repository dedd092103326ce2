// The ASCII save of a spectrum long enough for many parallel chunks is the
// very text that writing point after point gives: frequencies accumulated by
// repeated addition across chunk borders, and frequencies too wide for F15.5
// written after one blank in the room they need.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "common/line_writer.hpp"
#include "processing/save_spectrum.hpp"
#include "tests/support/fixture_dir.hpp"
#include "window/headless.hpp"

namespace tarno {
namespace {

// A field as the ASCII save writes it, the point-by-point way.
std::string field(double value, int width, int decimals) {
    std::string text = format_fixed(value, width, decimals);
    if (text.find('*') == std::string::npos) return text;
    return " " + std::string(trim(format_fixed(value, 60, decimals)));
}

TEST(SaveAsciiLines, parallel_output_matches_point_by_point_output) {
    testing::FixtureDir dir;
    SpectrumRecord& s = spectrum;
    s.point_count = static_cast<int32_t>(3 * LINE_CHUNK_ITEMS + 123);
    s.freq_first = 999999000.0;     // passes 10^9 on the way: F15.5 overflows there
    s.freq_step = 0.0137;
    uint32_t noise = 4242;
    for (int32_t i = 1; i <= s.point_count; ++i) {
        noise = noise * 1664525u + 1013904223u;
        s.intensity[i] = static_cast<int32_t>(noise >> 8) - (1 << 23);
        s.frequency[i] = s.freq_first + (i - 1) * s.freq_step;
    }
    s.freq_last = s.frequency[s.point_count];
    headless::start();
    set_text_field(text.data_file_name, dir.file("source.spe"));
    for (const char* answer : {"out.txt", "1", "0"}) headless::type_line(answer);
    headless::press_keys("\r");
    headless::run([] { SAVESP(); });

    std::string expected = "!\n!   Output from spectrum: " + dir.file("source.spe") + "\n!\n";
    double f = s.freq_first - s.freq_step;
    for (int32_t i = 1; i <= s.point_count; ++i) {
        f += s.freq_step;
        float y = static_cast<float>(s.intensity[i]);     // unchanged: declined limits, below 2^24
        expected += field(f, 15, 5) + field(y, 20, 8) + "\n";
    }
    std::string written = dir.read("out.txt");
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected) << "first difference at byte "
                                     << std::mismatch(written.begin(), written.end(), expected.begin(), expected.end()).first - written.begin();
    EXPECT_NE(written.find(" 1000000000.00"), std::string::npos) << "the wide frequencies are there";
}

}  // namespace
}  // namespace tarno
