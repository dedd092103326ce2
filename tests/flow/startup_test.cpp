// Start-up on the headless window: the configuration file (read from a
// temporary $XDG_CONFIG_HOME), the window it gives, the 30/17-row toggle, the
// decorative curve and the title screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "app/title_screen.hpp"
#include "app/records.hpp"
#include "app/startup.hpp"
#include "tests/support/fixture_dir.hpp"
#include "window/headless.hpp"
#include "window/window.hpp"

namespace tarno {
namespace {

using testing::FixtureDir;

constexpr Rgb BLACK{0, 0, 0}, BLUE{0, 0, 128}, LIGHT_GREY{192, 192, 192}, DARK_GREY{128, 128, 128},
    LIGHT_BLUE{0, 0, 255}, LIGHT_CYAN{0, 255, 255}, LIGHT_RED{255, 0, 0}, WHITE{255, 255, 255};

// A configuration value line: a label in columns 1-35, the value from column 36.
std::string value_line(std::string_view label, std::string_view value) {
    std::string line(label);
    line.resize(35, ' ');
    return line + std::string(value) + "\n";
}

// Points XDG_CONFIG_HOME at a fresh directory for one test.
class ConfigHome {
public:
    ConfigHome() {
        std::filesystem::create_directories(dir_.path() / "tarno");
        setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
    }
    ~ConfigHome() { unsetenv("XDG_CONFIG_HOME"); }
    std::string write(std::string_view contents) const { return dir_.write("tarno/wemb.cfg", contents); }
    std::string path() const { return dir_.file("tarno/wemb.cfg"); }

private:
    FixtureDir dir_;
};

// Returns the index of the first row containing `needle`, or 0.
int find_row(std::string_view needle) {
    for (int row = 1; row <= screen.text_rows; ++row)
        if (headless::row_text(row).find(needle) != std::string::npos) return row;
    return 0;
}

std::string standard_config(std::string_view width, std::string_view height,
                            const std::vector<std::string>& attributes) {
    std::string cfg = "! window\n! size and face\n! of tarno\n";
    cfg += value_line("Window width in pixels", width);
    cfg += value_line("Window height in pixels", height);
    cfg += value_line("Console font face", "Liberation Mono");
    for (const std::string& a : attributes) cfg += value_line("Font attribute", a);
    return cfg + "! end\nignored after the end line\n";
}

// [SECTION] Configuration file ---------------------------------------------------

struct ConfigCase {
    const char* name;
    std::string contents;       // "" = no file
    int32_t config_found;
    int width, height;
    int32_t attributes;
    bool notice;                // the refused-size lines are shown
};

TEST(startup_config, window_from_the_file_or_defaults) {
    const std::string commented_height =
        "!\n" + value_line("Window width", "640") + value_line("! a comment here is the height", " 480") +
        value_line("Face", "Liberation Mono") + "!\n";
    const ConfigCase cases[] = {
        {"missing file", "", 0, 800, 540, 0, false},
        {"three comments, 1024x700, attributes 7 and 2", standard_config("1024", "700", {"   7", "   2"}), 1,
         1024, 700, 0x102, false},
        {"a code twice adds its flag twice", standard_config("1024", "700", {"7", "7"}), 1, 1024, 700, 0x200,
         false},
        {"code 12 adds nothing, 1 the top bit", standard_config("800", "600", {"12", "1"}), 1, 800, 600,
         int32_t(0x80000000u), false},
        {"blanks inside the number are ignored", standard_config("1 24", "7 00", {}), 1, 124, 700, 0, false},
        {"comment between width and height gives the height", commented_height, 1, 640, 480, 0, false},
        {"DOS line ends", "!x\r\n" + value_line("w", "900") + value_line("h", "600") + value_line("f", "X") +
                              "!\r\n",
         1, 900, 600, 0, false},
        {"zero width refused", standard_config("0", "700", {}), 1, 800, 540, 0, true},
        {"huge height refused", standard_config("1024", "9999", {}), 1, 800, 540, 0, true},
        {"negative width refused", standard_config("-640", "480", {}), 1, 800, 540, 0, true},
    };
    for (const ConfigCase& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigHome home;
        if (!c.contents.empty()) home.write(c.contents);
        headless::start();
        int32_t found = -1;
        headless::RunResult run = headless::run([&] { STARTG(found); });
        EXPECT_FALSE(run.ended);
        EXPECT_EQ(found, c.config_found);
        EXPECT_EQ(screen.screen_width, c.width - 1);
        EXPECT_EQ(screen.screen_height, c.height - 1);
        EXPECT_EQ(screen.text_rows, 30);
        EXPECT_EQ(screen.row_height, (c.height - 1) / 30 + 1);
        EXPECT_EQ(window_configuration().font_attributes, c.attributes);
        WindowRect area = get_window_size(UNIT_CONSOLE);
        EXPECT_EQ(area.width, c.width);
        EXPECT_EQ(area.height, c.height);
        EXPECT_EQ(startup_notice().empty(), !c.notice);
        if (c.config_found == 0) {
            EXPECT_EQ(window_configuration().font_name, "Courier New");
        } else if (!c.notice) {
            EXPECT_EQ(window_configuration().font_size, -2);
        }
    }
}

TEST(startup_config, illegal_attribute_ends_after_enter) {
    for (const char* code : {"  16", "   0", "    "}) {
        SCOPED_TRACE(code);
        ConfigHome home;
        home.write(standard_config("1024", "700", {"7", code}));
        headless::start();
        headless::press_keys("\r");
        int32_t found = -1;
        headless::RunResult run = headless::run([&] { STARTG(found); });
        EXPECT_TRUE(run.ended);
        EXPECT_FALSE(run.script_exhausted);   // the ENTER of the pause was taken
        EXPECT_NE(run.status, 0);
        int value = std::string_view(code) == "  16" ? 16 : 0;
        char expected[100];
        std::snprintf(expected, sizeof expected,
                      " Extended font attribute from WEMB.CFG is%5d, which is illegal (1-15 allowed)", value);
        EXPECT_GT(find_row(expected), 0) << expected;
        EXPECT_GT(find_row(" **** TRY AGAIN! *****"), 0);
    }
}

TEST(startup_config, unreadable_file_ends_with_a_message_naming_it) {
    const struct {
        const char* name;
        std::string contents;
        const char* message;
    } cases[] = {
        {"ends before the end line", standard_config("800", "600", {"7"}).substr(0, 140),
         "end of file before the end line"},
        {"only comments", "!\n!\n", "end of file before the end line"},
        {"width not a number", value_line("w", "wide") + value_line("h", "600"), "width in columns 36-39 is not a number"},
        {"attribute not a number", standard_config("800", "600", {"bold"}), "attribute in columns 36-39"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigHome home;
        home.write(c.contents);
        headless::start();
        int32_t found = -1;
        headless::RunResult run = headless::run([&] { STARTG(found); });
        EXPECT_TRUE(run.ended);
        EXPECT_FALSE(run.script_exhausted);
        EXPECT_NE(run.status, 0);
        EXPECT_GT(find_row(c.message), 0);
        EXPECT_GT(find_row("wemb.cfg"), 0);
    }
}

TEST(startup_config, path_follows_xdg_rules) {
    setenv("HOME", "/home/someone", 1);
    setenv("XDG_CONFIG_HOME", "/etc/xdg-test", 1);
    EXPECT_EQ(config_file_path(), "/etc/xdg-test/tarno/wemb.cfg");
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(config_file_path(), "/home/someone/.config/tarno/wemb.cfg");
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);   // not absolute: ignored
    EXPECT_EQ(config_file_path(), "/home/someone/.config/tarno/wemb.cfg");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(config_file_path(), "/home/someone/.config/tarno/wemb.cfg");
}

TEST(startup_config, directory_in_place_of_the_file_gives_defaults) {
    ConfigHome home;
    std::filesystem::create_directories(home.path());
    headless::start();
    int32_t found = -1;
    headless::run([&] { STARTG(found); });
    EXPECT_EQ(found, 0);
    EXPECT_EQ(screen.screen_width, 799);
}

// [SECTION] Row toggle -------------------------------------------------------------

TEST(startup_rows, toggle_keeps_the_row_height) {
    const struct {
        const char* height;
        int reduced, restored;
    } cases[] = {{"700", 391, 690}, {"540", 306, 540}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.height);
        ConfigHome home;
        home.write(standard_config("1024", c.height, {}));
        headless::start();
        headless::run([] {
            int32_t found = 0;
            STARTG(found);
        });
        headless::run(NARGR);
        EXPECT_EQ(screen.text_rows, 17);
        EXPECT_EQ(screen.screen_height + 1, c.reduced);
        EXPECT_EQ(get_window_size(UNIT_CONSOLE).height, c.reduced);
        EXPECT_EQ(screen.screen_width, 1023);
        headless::run(NARGR);
        EXPECT_EQ(screen.text_rows, 30);
        EXPECT_EQ(screen.screen_height + 1, c.restored);
        EXPECT_EQ(get_window_size(UNIT_CONSOLE).height, c.restored);
        EXPECT_EQ(screen.row_height, (c.restored - 1) / 30 + 1);
    }
}

// [SECTION] Decorative curve ---------------------------------------------------------

TEST(startup_curve, stays_above_the_bottom_row_and_fills_only_below_it) {
    ConfigHome home;   // no file: default window
    headless::start();
    headless::run([] {
        int32_t found = 0;
        STARTG(found);
    });
    const int w = screen.screen_width, h = screen.screen_height;
    for (int draw = 0; draw < 20; ++draw) {
        headless::run([] {
            set_background_color(7);
            clear_screen(0);
            SGAME();
        });
        for (int x = 0; x <= w; ++x) {
            ASSERT_EQ(headless::pixel(x, h), BLUE) << "draw " << draw << " x " << x;
            // Above the curve the window keeps its background: the fill did not leak.
            ASSERT_EQ(headless::pixel(x, 0), LIGHT_GREY) << "draw " << draw << " x " << x;
        }
        // The curve is one connected white line from the left to the right edge.
        int white_left = 0, white_right = 0;
        for (int y = 0; y <= h; ++y) {
            white_left += headless::pixel(0, y) == WHITE;
            white_right += headless::pixel(w, y) == WHITE;
        }
        EXPECT_GT(white_left, 0);
        EXPECT_GT(white_right, 0);
    }
}

// [SECTION] Title screen -------------------------------------------------------------

TEST(startup_title, bands_title_colours_capacity_and_missing_configuration) {
    ConfigHome home;   // no file
    headless::start();
    headless::RunResult run = headless::run([] { show_title_screen(); });
    ASSERT_FALSE(run.ended);
    if (const char* dir = std::getenv("TARNO_TEST_PNG_DIR")) headless::save_png(std::string(dir) + "/title.png");

    // Bands: white line, dark grey band, white, light grey, dark grey, black.
    EXPECT_EQ(headless::pixel(5, 0), WHITE);
    EXPECT_EQ(headless::pixel(5, 50), DARK_GREY);
    EXPECT_EQ(headless::pixel(799, 109), DARK_GREY);
    EXPECT_EQ(headless::pixel(799, 110), WHITE);
    EXPECT_EQ(headless::pixel(5, 111), LIGHT_GREY);
    EXPECT_EQ(headless::pixel(799, 130), DARK_GREY);
    EXPECT_EQ(headless::pixel(799, 142), BLACK);
    EXPECT_EQ(headless::pixel(799, 150), LIGHT_GREY);

    // The title in its three colours, inside the top band.
    int cyan = 0, light_blue = 0, blue = 0, red = 0;
    for (int y = 1; y < 110; ++y)
        for (int x = 0; x < 800; ++x) {
            Rgb p = headless::pixel(x, y);
            cyan += p == LIGHT_CYAN;
            light_blue += p == LIGHT_BLUE;
            blue += p == BLUE;
        }
    for (int y = 195; y < 245; ++y)
        for (int x = 90; x < 800; ++x) red += headless::pixel(x, y) == LIGHT_RED;
    EXPECT_GT(cyan, 100);
    EXPECT_GT(light_blue, 100);
    EXPECT_GT(blue, 1000);
    EXPECT_GT(red, 200);   // the two missing-configuration lines

    // Capacity at row 142 / (539 / 30) + 2 = 10, column 65.
    EXPECT_EQ(headless::row_text(10).substr(64, 15), "10000000 points");
    EXPECT_EQ(headless::cell_text_color(10, 65), 0);
    EXPECT_EQ(text_row(), 15);
    EXPECT_EQ(text_column(), 1);
    EXPECT_EQ(trimmed_text_field(text.blank_line), "");
    EXPECT_EQ(text.blank_line[79], ' ');
}

TEST(startup_title, found_configuration_shows_no_missing_lines) {
    ConfigHome home;
    home.write(standard_config("1024", "700", {}));
    headless::start();
    headless::run([] { show_title_screen(); });
    int red = 0;
    for (int y = 195; y < 245; ++y)
        for (int x = 90; x < 1024; ++x) red += headless::pixel(x, y) == LIGHT_RED;
    EXPECT_EQ(red, 0);
    EXPECT_EQ(text_row(), 11);
    // The title is centred on the wider window: x0 = (1023 - 620) / 2 = 201.
    int first_cyan = -1;
    for (int x = 0; x < 1024 && first_cyan < 0; ++x)
        for (int y = 1; y < 110; ++y)
            if (headless::pixel(x, y) == LIGHT_CYAN) {
                first_cyan = x;
                break;
            }
    EXPECT_GE(first_cyan, 201);
    EXPECT_LT(first_cyan, 240);
}

}  // namespace
}  // namespace tarno
