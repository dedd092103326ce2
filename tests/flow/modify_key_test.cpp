// Key M in the display: the option page, chopping at either end, zeroing a
// range to the mean level, the answers refused, the short spectrum whose chop
// options are refused with a message, and the reference copy afterwards.
#include <gtest/gtest.h>

#include <string>

#include "common/fields.hpp"
#include "display/point_index.hpp"
#include "tests/flow/display_flow.hpp"

namespace tarno::testing {
namespace {

constexpr double F0 = 500.0;
constexpr double STEP = 0.5;

int32_t value_of(int32_t i) { return (i * 29) % 700 - 300; }

class ModifyKey : public DisplayFlow {
protected:
    void SetUp() override {
        DisplayFlow::SetUp();
        load_spectrum(100, F0, STEP, value_of);
    }

    // Runs the display on `keys` after M and the typed answers.
    void modify(std::string_view keys_before, std::initializer_list<std::string_view> answers) {
        headless::press_keys(keys_before);
        headless::press_keys("M");
        for (std::string_view a : answers) headless::type_line(a);
        run_display();
    }

    static void expect_reference_copy_is_the_spectrum() {
        for (int32_t i = 1; i <= spectrum.point_count; ++i)
            ASSERT_EQ(spectrum.original_intensity[i], spectrum.intensity[i]) << i;
    }
};

TEST_F(ModifyKey, option_page) {
    run_display("M");       // runs out at the option prompt
    EXPECT_EQ(row(2), "_____M O D I F Y   S P E C T R U M" + std::string(46, '_'));
    EXPECT_EQ(row(6), "     Select option:    0 = exit");
    EXPECT_EQ(row(7), "                       1 = chop spectrum at the beginning");
    EXPECT_EQ(row(8), "                       2 = chop spectrum at the end");
    EXPECT_EQ(row(9), "                       3 = zero point range");
    EXPECT_EQ(headless::row_text(11).substr(0, 23), "                  .... ");
    if (const char* out = std::getenv("TARNO_SCREENSHOT_DIR")) {
        EXPECT_TRUE(headless::save_png(std::string(out) + "/modify_options.png"));
    }
}

TEST_F(ModifyKey, chop_at_the_beginning) {
    struct Case { const char* answers; int32_t k; };
    for (Case c : {Case{"1", 1}, Case{"90", 90}, Case{" 37 ", 37}}) {
        SetUp();
        // -: an inverted working spectrum, which the chop makes the new reference
        modify("-", {"1", "0", "91", "-4", "x", c.answers});    // 0, 91 (leaves 10), -4 and x are refused
        int32_t kept = 100 - c.k + 1;
        ASSERT_EQ(spectrum.point_count, kept) << c.k;
        EXPECT_EQ(spectrum.frequency[1], F0 + (c.k - 1) * STEP);
        EXPECT_EQ(spectrum.freq_first, spectrum.frequency[1]);
        EXPECT_EQ(spectrum.freq_last, F0 + 99 * STEP);
        expect_reference_copy_is_the_spectrum();
        double sum = 0;
        for (int32_t i = 1; i <= kept; ++i) sum += spectrum.intensity[i];
        EXPECT_EQ(display.intensity_sum, sum);
        EXPECT_EQ(display.mean_intensity, sum / kept);
    }
    // k = 1 keeps every point but the inverted spectrum is the reference now
    SetUp();
    modify("-", {"1", "1"});
    double y = display.y_low + display.y_high;
    EXPECT_EQ(spectrum.point_count, 100);
    EXPECT_EQ(spectrum.intensity[7], truncate_to_int32(y - value_of(7)));
    expect_reference_copy_is_the_spectrum();
}

TEST_F(ModifyKey, chop_at_the_end) {
    modify("", {"2", "9", "101", "10"});    // 9 and 101 are refused
    EXPECT_EQ(spectrum.point_count, 10);
    EXPECT_EQ(spectrum.freq_last, F0 + 9 * STEP);
    for (int32_t i = 1; i <= 10; ++i) EXPECT_EQ(spectrum.intensity[i], value_of(i));
    expect_reference_copy_is_the_spectrum();
}

TEST_F(ModifyKey, zero_a_range_to_the_mean_level) {
    double mean_before = 0;
    for (int32_t i = 1; i <= 100; ++i) mean_before += value_of(i);
    mean_before /= 100;
    modify("", {"3", "5,3", "0,4", "3,101", "3", "3,3"});   // refused until 3,3
    EXPECT_EQ(spectrum.intensity[3], truncate_to_int32(mean_before));
    EXPECT_EQ(spectrum.intensity[2], value_of(2));
    EXPECT_EQ(spectrum.intensity[4], value_of(4));
    EXPECT_EQ(spectrum.point_count, 100);
    expect_reference_copy_is_the_spectrum();

    SetUp();
    modify("", {"3", "10 20"});
    for (int32_t i = 10; i <= 20; ++i) EXPECT_EQ(spectrum.intensity[i], truncate_to_int32(mean_before)) << i;
    EXPECT_EQ(spectrum.intensity[21], value_of(21));
}

TEST_F(ModifyKey, exit_and_other_options_change_nothing) {
    for (const char* option : {"0", "", "4", "-1"}) {
        SetUp();
        modify("-", {option});
        EXPECT_EQ(spectrum.point_count, 100) << option;
        EXPECT_EQ(spectrum.original_intensity[7], value_of(7)) << option << ": the reference copy stays";
        EXPECT_NE(headless::row_text(screen.text_rows).find("run5.spe"), std::string::npos) << "display back";
    }
}

TEST_F(ModifyKey, chop_options_on_a_short_spectrum_are_refused_with_a_message) {
    struct Case { int32_t points; const char* option; bool refused; };
    const Case cases[] = {
        {10, "1", true},        // no k leaves 11 points
        {11, "1", false},       // k = 1 is possible
        {9, "2", true},         // no k >= 10 within 9 points
        {10, "2", false},       // k = 10 is possible
    };
    for (const Case& c : cases) {
        SetUp();
        load_spectrum(c.points, F0, STEP, value_of);
        modify("", {c.option});     // runs out at the refusal's ENTER, or at the k prompt
        std::string message = "     The spectrum has only" + format_integer(c.points, 3) +
                              " points: it cannot be chopped any shorter";
        bool shown = false;
        for (int r = 1; r <= screen.text_rows; ++r) shown = shown || row(r) == message;
        EXPECT_EQ(shown, c.refused) << c.points << " points, option " << c.option;
    }
    // after the refusal's ENTER the option page comes again, and 0 leaves
    SetUp();
    load_spectrum(10, F0, STEP, value_of);
    modify("", {"1", "", "0"});
    EXPECT_EQ(spectrum.point_count, 10);
    EXPECT_NE(headless::row_text(screen.text_rows).find("run5.spe"), std::string::npos);
}

}  // namespace
}  // namespace tarno::testing
