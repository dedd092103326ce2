// The fast line writer: append_fixed gives format_fixed's very text, and
// chunks formatted in parallel reach the file in order; a failed write stops
// the writing and is reported by the staged file.
#include <gtest/gtest.h>
#include <sys/resource.h>   // RLIMIT_FSIZE: a real write error without filling a disk

#include <cmath>
#include <csignal>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "common/fields.hpp"
#include "common/line_writer.hpp"
#include "common/staged_file.hpp"
#include "tests/support/fixture_dir.hpp"

namespace tarno {
namespace {

using testing::FixtureDir;

std::string appended(double value, int width, int decimals) {
    std::string out = "|";
    append_fixed(out, value, width, decimals);
    return out.substr(1);
}

TEST(AppendFixed, same_text_as_format_fixed_for_chosen_values) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case { double value; int width, decimals; } cases[] = {
        {0.125, 6, 2}, {-0.125, 6, 2}, {0.375, 6, 2}, {2.5, 4, 0}, {-2.5, 4, 0}, {0.5, 3, 0},  // exact ties
        {1.0005, 8, 3}, {86001.15, 12, 4}, {0.0, 9, 4}, {-0.0, 9, 4}, {-0.00001, 9, 4},        // rounding to -0
        {0.5, 4, 3}, {-0.5, 5, 3}, {-0.5, 6, 3}, {0.25, 1, 0},                                  // dropped leading zero
        {99999.99999, 9, 4}, {12345678.9, 9, 4}, {1e20, 30, 2}, {1e300, 30, 2},                 // overflow, long way
        {5e-324, 12, 9}, {1e-300, 9, 4}, {std::nan(""), 9, 4}, {-inf, 12, 4}, {3.0, 0, 2},
        {200000.05, 15, 5}, {-123.456789, 20, 8}, {0.3, 2, 0}, {7.0, 5, 12},
    };
    for (const auto& c : cases)
        EXPECT_EQ(appended(c.value, c.width, c.decimals), format_fixed(c.value, c.width, c.decimals))
            << c.value << " F" << c.width << "." << c.decimals;
}

TEST(AppendFixed, same_text_as_format_fixed_for_random_values) {
    std::mt19937_64 random(20261210);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-12, 14), decimals(0, 9), halves(-4000000, 4000000);
    for (int n = 0; n < 300000; ++n) {
        const int d = decimals(random);
        // Every third value an exact tie at d decimals (k + 1/2) / 2^j where representable.
        double value = n % 3 == 0 ? (halves(random) + 0.5) / std::pow(2.0, d)
                                  : mantissa(random) * std::pow(10.0, exponent(random));
        const int width = 4 + static_cast<int>(random() % 24);
        ASSERT_EQ(appended(value, width, d), format_fixed(value, width, d))
            << "value " << value << " F" << width << "." << d << " (case " << n << ")";
    }
}

// Writes `items` lines "k:k*k" through the line writer; items whose number
// ends in 7 write no line, others one.
std::string expected_lines(int64_t items) {
    std::string text;
    for (int64_t k = 0; k < items; ++k)
        if (k % 10 != 7) text += std::to_string(k) + ":" + std::to_string(k * k) + "\n";
    return text;
}

ChunkFormatter numbered_lines() {
    return [](int64_t first, int64_t count, std::string& text) {
        for (int64_t k = first; k < first + count; ++k)
            if (k % 10 != 7) text += std::to_string(k) + ":" + std::to_string(k * k) + "\n";
    };
}

TEST(LineWriter, chunks_reach_the_file_in_item_order) {
    FixtureDir dir;
    for (int64_t items : {int64_t{0}, int64_t{1}, LINE_CHUNK_ITEMS, LINE_CHUNK_ITEMS + 1, 37 * LINE_CHUNK_ITEMS / 2}) {
        SCOPED_TRACE(items);
        StagedFile out(dir.file("lines.txt"), StagedFile::Mode::replace);
        out.write("head\n");
        EXPECT_TRUE(write_lines_in_order(out, items, numbered_lines()));
        out.write("tail\n");
        ASSERT_TRUE(out.commit()) << out.error();
        EXPECT_TRUE(dir.read("lines.txt") == "head\n" + expected_lines(items) + "tail\n");
    }
}

TEST(LineWriter, a_failed_write_stops_and_leaves_no_file) {
    FixtureDir dir;
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved;
    lowered.rlim_cur = 1 << 20;
    setrlimit(RLIMIT_FSIZE, &lowered);
    StagedFile out(dir.file("big.txt"), StagedFile::Mode::replace);
    bool written = write_lines_in_order(out, 40 * LINE_CHUNK_ITEMS, numbered_lines());
    bool committed = out.commit();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_FALSE(committed);
    EXPECT_EQ(out.reason(), "writing: File too large");
    EXPECT_FALSE(std::filesystem::exists(dir.file("big.txt")));
}

}  // namespace
}  // namespace tarno
