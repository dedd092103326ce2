// Linked operation on the headless window: a partner (a second thread) drives
// the display through the exchange block while the display polls; F1-F3 and
// the partner's commands append their records with their tones; F7, F8 and
// ESC; a datafile that cannot be appended to; keys typed in quick succession.
#include "tests/flow/display_flow.hpp"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <sstream>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "common/fields.hpp"
#include "display/frame.hpp"
#include "display/linked.hpp"
#include "display/measurement.hpp"
#include "display/point_index.hpp"
#include "input/keyboard.hpp"

namespace tarno::testing {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double LINE_FREQ = 100020.0;     // the synthetic line, at the first view's centre (point 401)
constexpr int TONE_HZ = 1000;
constexpr int TONE_MS = 200;

// Waits up to `ms` for `done`; true when it came.
bool wait_until(const std::function<bool()>& done, int ms = 5000) {
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

std::vector<std::pair<int, int>> tone_list() {
    std::vector<std::pair<int, int>> list;
    for (const headless::Tone& t : headless::tones()) list.push_back({t.frequency_hz, t.duration_ms});
    return list;
}

class Linked : public DisplayFlow {
protected:
    FixtureDir data;

    void SetUp() override {
        DisplayFlow::SetUp();
        // 2000 points of 0.05 MHz from 100000 MHz; one Gaussian line at point 401.
        load_spectrum(2000, 100000.0, 0.05, [](int32_t i) {
            double x = (i - 401) / 4.0;
            return int32_t(std::lround(10000 * std::exp(-x * x / 2)));
        });
        set_text_field(text.data_file_name, data.file("run5.spe"));
        linked_input = LinkedInput{};
        measurement = MeasurementMemory{};
        for (int q = 1; q <= 12; ++q) set_exchange_quantum_number(q, q);
        set_exchange_transition_intensity(0.5f);
    }

    void TearDown() override { headless::hold_key_script(false); }

    void write_linked_input(std::string_view datafile) {
        std::string label(40, ' ');
        data.write("tarno_l.inp", "! partner input\n" + label + std::string(datafile) + "\n" + label + "0.020\n" +
                                      label + std::to_string(TONE_HZ) + " " + std::to_string(TONE_MS) + "\n");
        if (!std::filesystem::exists(data.file(datafile))) data.write(datafile, "");
    }

    // Runs the display on this thread while `partner` plays on another; the
    // display ends once the partner is done (its reader finds the script empty).
    headless::RunResult run_with_partner(const std::function<void()>& partner, std::string_view keys = {}) {
        headless::hold_key_script(true);
        headless::press_keys(keys);
        std::thread other([&] {
            wait_until([] { return read_exchange_view().view_high != 0; });   // the first frame is out
            std::this_thread::sleep_for(std::chrono::milliseconds(100));        // and the display polls
            partner();
            headless::hold_key_script(false);
        });
        headless::RunResult result = headless::run([] { LOOKFM(); });
        other.join();
        return result;
    }

    // Places `command` as a partner does and waits until it is taken back (0).
    static bool place_and_wait(int32_t command) {
        set_exchange_command(command);
        return wait_until([] { return exchange_command() == 0; });
    }
};

const std::string F1 = std::string("\0;", 2), F2 = std::string("\0<", 2), F3 = std::string("\0=", 2);
const std::string F7 = std::string("\0A", 2), F8 = std::string("\0B", 2), ESC = "\x1b";

// [SECTION] The partner through the shared block --------------------------------------------

TEST_F(Linked, partner_thread_sets_the_view_and_places_command_1_through_the_shared_block) {
    std::string name = "/tarno_jointc_test_" + std::to_string(::getpid());
    ASSERT_TRUE(open_exchange_block(name));
    write_linked_input("lines.lin");

    double pickup_ms = -1;
    bool taken = false;
    auto partner = [&] {
        // The partner maps the block itself and writes the fields at their offsets.
        int fd = shm_open(name.c_str(), O_RDWR, 0);
        ASSERT_GE(fd, 0);
        auto* block = static_cast<unsigned char*>(mmap(nullptr, 156, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        ::close(fd);
        auto f64 = [&](size_t offset) { return std::atomic_ref<double>(*reinterpret_cast<double*>(block + offset)); };
        auto i32 = [&](size_t offset) { return std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(block + offset)); };
        auto f32 = [&](size_t offset) { return std::atomic_ref<float>(*reinterpret_cast<float*>(block + offset)); };

        f64(0).store(100015.0);
        f64(8).store(100025.0);
        f64(16).store(LINE_FREQ);
        wait_until([&] { return std::fabs(f64(0).load() - 100015.0) < 1e-6 && display.cursor_freq == LINE_FREQ; });
        for (int q = 0; q < 12; ++q) i32(44 + 4 * q).store(q < 6 ? 10 + q : 0);
        f32(40).store(2.0f);
        auto placed = Clock::now();
        i32(92).store(1);
        taken = wait_until([&] { return i32(92).load() == 0; });
        pickup_ms = std::chrono::duration<double, std::milli>(Clock::now() - placed).count();
        munmap(block, 156);
    };
    headless::RunResult run = run_with_partner(partner);
    shm_unlink(name.c_str());

    EXPECT_TRUE(run.script_exhausted);
    ASSERT_TRUE(taken);
    std::printf("command 1 placed -> taken back: %.2f ms\n", pickup_ms);
    EXPECT_NEAR(display.view_low, 100015.0, 1e-9);
    EXPECT_NEAR(display.view_high, 100025.0, 1e-9);
    EXPECT_NEAR(measurement.measure_last, LINE_FREQ, 1e-3);
    std::vector<std::string> lines = lines_of(data.read("lines.lin"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], " 10 11 12 13 14 15  0  0  0  0  0  0" + format_fixed(measurement.measure_last, 15, 5) +
                            "     0.02000   1.00000");
    EXPECT_EQ(tone_list(), (std::vector<std::pair<int, int>>{{TONE_HZ, TONE_MS}}));
}

TEST_F(Linked, polling_follows_the_partners_view_and_cursor_without_a_key) {
    write_linked_input("lines.lin");
    double width = 0, inside = 0;
    run_with_partner([&] {
        width = display.view_high - display.view_low;
        inside = display.view_low + 10 * display.freq_per_pixel;
        publish_cursor(inside);                                        // inside the view: cursor moves
        EXPECT_TRUE(wait_until([&] { return display.cursor_freq == inside; }));
        EXPECT_EQ(linked.partner_cursor, inside);
        publish_cursor(100070.0);                                      // outside: the view centres on it
        EXPECT_TRUE(wait_until([&] { return display.cursor_freq == 100070.0 && view_matches_block(); }));
    });
    EXPECT_NEAR(display.view_low, 100070.0 - width / 2, 0.05);
    EXPECT_NEAR(display.view_high - display.view_low, width, 0.051);
    EXPECT_EQ(read_exchange_view().view_low, display.view_low);     // published back
}

TEST_F(Linked, a_partners_cursor_move_keeps_a_measured_result_on_screen) {
    write_linked_input("lines.lin");
    double moved_to = 0;
    run_with_partner([&] {
        EXPECT_TRUE(place_and_wait(COMMAND_MEASURE_ONLY));   // the result goes to the message rows
        moved_to = display.cursor_freq + 5 * display.freq_per_pixel;
        publish_cursor(moved_to);
        EXPECT_TRUE(wait_until([&] { return display.cursor_freq == moved_to; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    });
    EXPECT_EQ(row(1).substr(0, 24), " Fitted peak frequency: ");
    EXPECT_EQ(row(2).substr(0, 24), "      Halfwidth (FWHH): ");
    EXPECT_EQ(display.cursor_index, point_index(moved_to));    // a measurement starts from the new cursor
    EXPECT_EQ(read_exchange_view().cursor_freq, moved_to);
}

// The partner writes its limits one field at a time; the half-written block
// is neither followed nor overwritten, and the finished one is followed.
TEST_F(Linked, a_half_written_view_is_left_alone_until_the_partner_finishes) {
    write_linked_input("lines.lin");
    JointcBlock& block = JOINTC();
    auto low = std::atomic_ref<double>(block.view_low);
    auto high = std::atomic_ref<double>(block.view_high);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Step {
        const char* name;
        std::atomic_ref<double>* half;   // written first: the block is inconsistent
        double half_value;
        std::atomic_ref<double>* rest;   // written next: the request is complete
        double rest_value;
        double want_low, want_high;
    };
    const Step steps[] = {
        {"low written above the old high", &low, 100060.0, &high, 100070.0, 100060.0, 100070.0},
        {"low not a number", &low, nan, &low, 100030.0, 100030.0, 100070.0},
        {"high infinite", &high, inf, &high, 100040.0, 100030.0, 100040.0},
    };
    bool taken_back_by_key = false;
    run_with_partner([&] {
        publish_view_limits(100010.0, 100020.0);
        ASSERT_TRUE(wait_until([] { return display.view_low == 100010.0 && display.view_high == 100020.0; }));
        for (const Step& s : steps) {
            SCOPED_TRACE(s.name);
            ExchangeView before{display.view_low, display.view_high, display.cursor_freq};
            s.half->store(s.half_value);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            double seen = s.half->load();
            EXPECT_TRUE(seen == s.half_value || (std::isnan(seen) && std::isnan(s.half_value)));
            EXPECT_EQ(display.view_low, before.view_low);
            EXPECT_EQ(display.view_high, before.view_high);
            s.rest->store(s.rest_value);
            EXPECT_TRUE(wait_until([&] { return display.view_low == s.want_low && display.view_high == s.want_high; }));
        }
        // Left half-written, the block is the display's again once the user moves the cursor.
        low.store(100090.0);
        headless::press_keys("K");
        taken_back_by_key = wait_until([] { return read_exchange_view().view_low == 100030.0; });
    });
    EXPECT_TRUE(taken_back_by_key);
    EXPECT_EQ(display.view_low, 100030.0);
    EXPECT_EQ(read_exchange_view().cursor_freq, display.cursor_freq);
}

// [SECTION] Commands from the keys and from the partner -------------------------------------

TEST_F(Linked, f1_f2_f3_append_line_blend_and_excluded_records_with_their_tones) {
    write_linked_input("lines.lin");
    run_display(F1 + F2 + F3);
    std::string f = format_fixed(measurement.measure_last, 15, 5);
    std::string q = "  1  2  3  4  5  6  7  8  9 10 11 12";
    EXPECT_EQ(data.read("lines.lin"), q + f + "     0.02000   1.00000\n" +
                                          q + f + "     0.02000  5.00E-01\n" +
                                          q + f + "     0.00000   1.00000\n");
    EXPECT_EQ(exchange_command(), 0);
    EXPECT_EQ(tone_list(), (std::vector<std::pair<int, int>>{
                               {TONE_HZ, TONE_MS}, {TONE_HZ, TONE_MS / 2}, {TONE_HZ, TONE_MS / 2}, {TONE_HZ, 2 * TONE_MS}}));
}

TEST_F(Linked, partner_commands_4_6_5_other_and_negative) {
    write_linked_input("lines.dat");
    set_exchange_transition_intensity(0.0f);
    set_exchange_transition_extra(3.5f);
    bool negative_kept = false;
    run_with_partner([&] {
        EXPECT_TRUE(place_and_wait(COMMAND_MEASURE_ONLY));
        EXPECT_TRUE(place_and_wait(COMMAND_INTENSITY));
        EXPECT_TRUE(place_and_wait(COMMAND_AVERAGE));
        EXPECT_TRUE(place_and_wait(9));
        set_exchange_command(-3);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        negative_kept = exchange_command() == -3;
        set_exchange_command(0);
    });
    EXPECT_TRUE(negative_kept);
    EXPECT_EQ(exchange_transition_intensity(), 1.0E-20f);   // replaced in the block itself
    std::vector<std::string> lines = lines_of(data.read("lines.dat"));
    ASSERT_EQ(lines.size(), 2u);
    const MeasurementMemory& m = measurement;
    EXPECT_EQ(lines[0].substr(0, 14), format_fixed(m.measure_last, 14, 5));
    EXPECT_EQ(lines[0].substr(44), "     1  2  3 <-   4  5  6    1.0000E-20     3.50000");
    EXPECT_EQ(lines[1], "    1    2    3    4    5    6" + format_fixed((m.measure_last + m.measure_prev) / 2, 20, 6) +
                            "       0.020000    1");
    int d4 = TONE_MS / 4;
    EXPECT_EQ(tone_list(), (std::vector<std::pair<int, int>>{
                               {TONE_HZ, d4}, {TONE_HZ, TONE_MS}, {TONE_HZ, d4}, {TONE_HZ, d4}, {TONE_HZ, d4}}));
}

TEST_F(Linked, a_datafile_that_cannot_be_appended_to_is_reported_and_nothing_is_written) {
    write_linked_input("lines.lin");
    headless::press_keys(F1);
    headless::RunResult run = headless::run([&] {
        initialise_display();
        std::filesystem::remove(data.file("lines.lin"));    // gone after tarno_l.inp was read
        run_command_loop();
    });
    EXPECT_TRUE(run.script_exhausted);                       // the program went on
    EXPECT_EQ(row(1), " ERROR: nothing written, lines.lin: No such file or directory");
    EXPECT_EQ(row(2), "");
    EXPECT_FALSE(std::filesystem::exists(data.file("lines.lin")));
    EXPECT_EQ(exchange_command(), 0);
    EXPECT_EQ(tone_list(), (std::vector<std::pair<int, int>>{{4000, 250}}));
}

TEST_F(Linked, a_quantum_number_beyond_its_field_is_refused_like_a_failed_append) {
    write_linked_input("lines.lin");
    set_exchange_quantum_number(7, 1000);       // 12I3 records: 1000 would be written as "***"
    run_with_partner([] { EXPECT_TRUE(place_and_wait(COMMAND_LINE)); });
    EXPECT_EQ(row(1), " ERROR: nothing written, lines.lin: Q7 = 1000 outside -99..999");
    EXPECT_EQ(row(2), "");
    EXPECT_EQ(data.read("lines.lin"), "");
    EXPECT_EQ(tone_list(), (std::vector<std::pair<int, int>>{{4000, 250}}));
}

TEST_F(Linked, a_failed_measurement_resets_the_command_and_writes_nothing) {
    write_linked_input("lines.lin");
    run_with_partner([] {
        publish_cursor(100000.05);      // at the spectrum's first points: no room for the fit
        EXPECT_TRUE(wait_until([] { return display.cursor_freq == 100000.05; }));
        EXPECT_TRUE(place_and_wait(COMMAND_LINE));
    });
    EXPECT_EQ(row(1).substr(0, 7), " ERROR:");
    EXPECT_EQ(data.read("lines.lin"), "");
}

// [SECTION] Keys of linked operation ------------------------------------------------------

TEST_F(Linked, f7_suspends_and_resumes_polling) {
    write_linked_input("lines.lin");
    bool waited_while_suspended = false;
    run_with_partner([&] {
        headless::press_keys(F7);
        wait_until([] { return linked.linked_flag == -1; });
        set_exchange_command(COMMAND_LINE);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        waited_while_suspended = exchange_command() == COMMAND_LINE;
        headless::press_keys(F7);
        EXPECT_TRUE(wait_until([] { return exchange_command() == 0; }));
    });
    EXPECT_TRUE(waited_while_suspended);
    EXPECT_EQ(linked.linked_flag, 1);
    EXPECT_EQ(lines_of(data.read("lines.lin")).size(), 1u);

    std::filesystem::remove(data.file("tarno_l.inp"));      // no linked input: F7 and F1 do nothing
    run_display(F7 + F1);
    EXPECT_EQ(linked.linked_flag, 0);
    EXPECT_EQ(exchange_command(), 0);
}

TEST_F(Linked, f8_marks_the_offset_from_the_partners_cursor) {
    write_linked_input("lines.lin");
    run_display(F8 + F8);
    EXPECT_FALSE(linked.offset_marker_on);                   // twice: off again

    double cursor = 0, step = 0;
    headless::press_keys(F8);
    headless::run([&] {
        initialise_display();
        linked.partner_cursor = display.view_low + 2.0;
        cursor = display.cursor_freq;
        step = display.freq_per_pixel;
        run_command_loop();
    });
    EXPECT_TRUE(linked.offset_marker_on);
    EXPECT_DOUBLE_EQ(linked.marker_offset, cursor - (display.view_low + 2.0));
    EXPECT_DOUBLE_EQ(display.cursor_freq, cursor + 4 * step);
}

TEST_F(Linked, escape_rereads_the_input_and_the_bottom_row_follows) {
    run_display();
    const int bottom = screen.text_rows;
    EXPECT_EQ(linked.linked_flag, 0);
    EXPECT_EQ(row(bottom).substr(0, 10), "A-S  Q-E  ");

    write_linked_input("assignments_of_band_2.lin");
    run_display(ESC);
    EXPECT_EQ(linked.linked_flag, 1);
    EXPECT_EQ(row(bottom).substr(0, 40), " ...\\ts_of_band_2.lin" + std::string(19, ' '));
    EXPECT_EQ(headless::cell_text_color(bottom, 2), 2);
    EXPECT_EQ(row(bottom).substr(73, 6), "H=help");

    std::filesystem::remove(data.file("tarno_l.inp"));
    run_display(ESC);
    EXPECT_EQ(linked.linked_flag, 0);
    EXPECT_EQ(row(bottom).substr(0, 10), "A-S  Q-E  ");
}

TEST_F(Linked, keys_typed_in_quick_succession_are_all_taken) {
    write_linked_input("lines.lin");
    double start = 0, step = 0;
    headless::press_keys("lllll");
    headless::run([&] {
        initialise_display();
        start = display.cursor_freq;
        step = display.freq_per_pixel;
        run_command_loop();
    });
    EXPECT_DOUBLE_EQ(display.cursor_freq, start + 5 * step);

    // A typed stop character (code 199) ends the key reader; the keys after it still arrive.
    headless::press_keys("\xC7l");
    headless::run([&] {
        initialise_display();
        start = display.cursor_freq;
        run_command_loop();
    });
    EXPECT_DOUBLE_EQ(display.cursor_freq, start + step);
}

}  // namespace
}  // namespace tarno::testing
