// tarno-demo writes a file the binary reader takes back: the same
// intensities, an even MHz grid and a header that passes the binary test.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "app/records.hpp"
#include "app/spectrum_format.hpp"
#include "app/spectrum_reader.hpp"
#include "tests/support/fixture_dir.hpp"
#include "window/headless.hpp"

namespace tarno {
namespace {

// tarno-demo beside this test executable (both live in the build directory).
std::filesystem::path demo_program() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tarno-demo";
}

TEST(demo_file, reads_back_as_written) {
    std::filesystem::path program = demo_program();
    if (!std::filesystem::exists(program)) GTEST_SKIP() << "tarno-demo not built";
    testing::FixtureDir dir;
    std::string path = dir.file("demo.spe");
    ASSERT_EQ(std::system((program.string() + " 50000 " + path + " >/dev/null").c_str()), 0);

    std::string bytes = dir.read("demo.spe");
    ASSERT_EQ(bytes.size(), 162u + 2 * 50000 + 26);
    headless::start();
    BinaryReadResult result = BinaryReadResult::not_binary;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    headless::run([&] { result = read_binary_spectrum(file); });
    std::fclose(file);
    ASSERT_EQ(result, BinaryReadResult::success);

    const SpectrumRecord& s = spectrum;
    ASSERT_EQ(s.point_count, 50000);
    const auto* raw = reinterpret_cast<const unsigned char*>(bytes.data());
    for (int32_t i = 1; i <= s.point_count; ++i) {
        ASSERT_EQ(s.intensity[i], load_int16(raw + 160 + 2 * i)) << i;
        ASSERT_EQ(s.frequency[i], 200000.0 + (i - 1) * 0.05) << i;
    }
    EXPECT_EQ(s.intensity_min, -32000);     // the demo uses the whole 16-bit range it may
    EXPECT_EQ(s.intensity_max, 32000);
    EXPECT_EQ(header.year, 2006);
    EXPECT_GT(header.modulation_freq, 0.0f);

    // A bad point count is refused with a usage message.
    EXPECT_NE(std::system((program.string() + " 1 " + dir.file("x.spe") + " 2>/dev/null").c_str()), 0);
}

}  // namespace
}  // namespace tarno
