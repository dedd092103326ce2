// The progress notes of long work: the share of an ASCII save and of a plot
// data file written, and the pass of a preliminary and a final baseline. Each
// note sits on cells that are blank when it appears, counts up, and is gone
// afterwards; the console text never holds it (the screens themselves are
// checked by the tests of each dialogue).
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "common/line_writer.hpp"
#include "plot/plot_output.hpp"
#include "processing/save_spectrum.hpp"
#include "tests/flow/display_flow.hpp"
#include "window/headless.hpp"

namespace tarno::testing {
namespace {

const int32_t SEVERAL_CHUNKS = static_cast<int32_t>(3 * LINE_CHUNK_ITEMS + 123);  // points: four chunks of lines

int32_t ripple(int32_t i) { return 1000 + (i * 37) % 500; }

bool is_blank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// The percent of a "Writing  37 %" note, -1 when the note is not of that form.
int shown_percent(const std::string& note) {
    const std::string label = "Writing";
    if (note.size() != label.size() + 6 || note.compare(0, label.size(), label) != 0 || note.substr(note.size() - 2) != " %")
        return -1;
    return std::stoi(note.substr(label.size(), 4));
}

// Notes shown over blank cells, all at one place, counting up to 100 %.
void expect_share_notes(const std::vector<headless::ShownNote>& notes, int expected_row, int expected_column) {
    ASSERT_GE(notes.size(), 3u);
    int previous = -1;
    for (const headless::ShownNote& note : notes) {
        EXPECT_EQ(note.row, expected_row) << note.text;
        EXPECT_EQ(note.column, expected_column) << note.text;
        EXPECT_TRUE(is_blank(note.covered)) << "'" << note.covered << "' under " << note.text;
        EXPECT_GT(shown_percent(note.text), previous) << note.text;
        previous = shown_percent(note.text);
    }
    EXPECT_EQ(notes.back().text, "Writing 100 %");
}

class ProgressNotes : public DisplayFlow {
protected:
    FixtureDir dir;
};

// Both file writers: where the note goes is the empty row below the last line
// on the screen when the writing starts.
TEST_F(ProgressNotes, file_writers_show_the_share_written_and_take_it_away) {
    struct Case {
        const char* name;
        std::vector<std::string> answers;       // typed lines, then ENTER at the closing pause
        std::function<void()> program;
        const char* line_above_note;            // the screen's line just above the note
        int column;
    };
    double low = 0.0, high = 0.0;
    const Case cases[] = {
        {"ascii save", {"out.txt", "1", "0"}, [] { SAVESP(); }, "New limits (1/0) ?  0", 6},
        {"plot data", {""}, [&] { GLEOUT(low, high, 0.0, 1500.0, 1, 0); }, "Data written to", 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        headless::start(800, 540);
        plot_settings = PlotSettings{};
        load_spectrum(SEVERAL_CHUNKS, 86000.0, 0.01, ripple);
        low = spectrum.freq_first;
        high = spectrum.freq_last;
        set_text_field(text.data_file_name, dir.file("run5.spe"));
        for (const std::string& answer : c.answers) headless::type_line(answer);
        headless::press_keys("\r");
        headless::run(c.program);

        expect_share_notes(headless::progress_notes(), row_containing(c.line_above_note) + 1, c.column);
        EXPECT_EQ(headless::progress_note(), "");
        EXPECT_EQ(row_containing("Writing"), 0);
    }
}

// A negative interval: the preliminary baseline notes its passes on the empty
// row under the answer, where pass lines would go; the final baseline after
// the cutoff step notes them on the cutoff row, after its text. A positive
// interval writes its pass lines and needs no note.
TEST_F(ProgressNotes, baselines_without_pass_lines_note_the_pass) {
    load_spectrum(3000, 140000.0, 0.1, ripple);
    run_display("B-5\r\r\r\r");
    const std::vector<headless::ShownNote> notes = headless::progress_notes();
    ASSERT_EQ(notes.size(), 10u);
    for (int k = 0; k < 10; ++k) {
        const headless::ShownNote& note = notes[size_t(k)];
        EXPECT_EQ(note.text, "Smooth  " + std::to_string(k % 5 + 1));
        EXPECT_TRUE(is_blank(note.covered)) << "'" << note.covered << "' under " << note.text;
        EXPECT_EQ(note.column, k < 5 ? 22 : 66) << note.text;
        EXPECT_EQ(note.row, k < 5 ? notes[0].row : 1) << note.text;
    }
    EXPECT_GT(notes[0].row, 1);
    EXPECT_EQ(headless::progress_note(), "");

    load_spectrum(3000, 140000.0, 0.1, ripple);
    run_display("B5\r\r");
    EXPECT_EQ(headless::progress_notes().size(), notes.size());
}

}  // namespace
}  // namespace tarno::testing
