// Key m in the display: the save dialogue runs on a cleared page, the file is
// written beside the spectrum, and the display is drawn again.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/flow/display_flow.hpp"

namespace tarno::testing {
namespace {

class SaveKey : public DisplayFlow {};

TEST_F(SaveKey, m_saves_and_returns_to_the_display) {
    FixtureDir dir;
    set_text_field(text.data_file_name, dir.file("run5.spe"));
    load_spectrum(400, 86000.0, 0.05, [](int32_t i) { return 3 * i - 600; });
    headless::press_keys("m");
    headless::type_line("saved.spe");
    headless::type_line("0");       // binary
    headless::type_line("0");       // keep the range
    headless::press_keys("\r");     // "Press ENTER to continue"
    run_display();
    std::string bytes = dir.read("saved.spe");
    EXPECT_EQ(bytes.size(), 162u + 2 * 400 + 26);
    EXPECT_EQ(spectrum.intensity_min, -597);
    EXPECT_EQ(spectrum.intensity_max, 600);
    // the whole display is back: the file name sits in the bottom row again
    EXPECT_NE(headless::row_text(screen.text_rows).find("run5.spe"), std::string::npos);
    EXPECT_EQ(headless::row_text(1).find("O U T P U T"), std::string::npos);
}

}  // namespace
}  // namespace tarno::testing
