// The spectral information screen: the spectrum header and the basic figures
// of the spectrum record as one page of console text.
//
//   rows 1-2   field marks and bars pointing at the end of the comment
//   rows 3-5   the comment in a white-on-blue box (columns 3-78)
//   then       time and date, lamp, instrument settings, points and range,
//              and, when the frequency axis is known, the frequency range and
//              "Press ENTER to continue".
//
// Labels are right-aligned so that their colons line up in column 25; values
// start two blanks after the colon.
#include "app/info_screen.hpp"

#include <string>
#include <string_view>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "window/window.hpp"

namespace tarno {

// Gains below this are stored in volts and shown in millivolts. The 64-bit
// constant matters: the 32-bit value nearest 0.099 lies just below it.
constexpr double GAIN_IN_VOLTS_BELOW = 0.099;

// Writes the fixed-width text field as it is, padding included.
template <size_t N>
static std::string field_text(const std::array<char, N>& field) {
    return std::string(text_field_view(field));
}

// Writes the comment box of rows 3 to 5 in text colour 15 on background 1.
static void write_comment_box() {
    SharedText& t = text;
    set_text_color(COLOR_WHITE);
    set_background_color(COLOR_BLUE);
    std::string_view blanks = text_field_view(t.blank_line).substr(0, 76);
    set_text_position(3, 3);
    write_text(blanks);
    set_text_field(t.text_line, "  " + field_text(header.comment) + "  ");
    set_text_position(4, 3);
    write_text(text_field_view(t.text_line).substr(0, 76));
    set_text_position(5, 3);
    write_text(blanks);
    set_text_color(COLOR_BLACK);
    set_background_color(COLOR_LIGHT_GREY);
}

// Writes the date and the instrument settings.
static void write_settings() {
    const SpectrumHeader& h = header;
    console_write("");
    console_write("");
    console_write("           Time and Date:  " + format_integer(h.hour, 2) + ":" +
                  format_integer(h.minute, 2) + ":" + format_integer(h.second, 2) + ", " +
                  format_integer(h.day, 2) + "/" + format_integer(h.month, 2) + "/" +
                  format_integer(h.year, 4));
    console_write("");
    console_write("                    Lamp:  " + field_text(h.lamp));
    console_write("          Vkm limits /mV:  " + format_fixed(h.vkm_low, 8, 2) + "-" +
                  format_fixed(h.vkm_high, 8, 2));
    console_write("                 Grid /V:  " + format_fixed(h.grid_voltage, 6, 1));
    console_write("");
    console_write("                  Sample:  " + field_text(h.sample));
    console_write("  Sample pressure /mTorr:  " + format_fixed(h.sample_pressure, 6, 1));
    console_write("");
    const float gain = h.gain < GAIN_IN_VOLTS_BELOW ? h.gain * 1000.0f : h.gain;
    console_write("                Gain /mV:  " + format_fixed(gain, 6, 1));
    console_write("        Time constant /s:  " + format_fixed(h.time_constant, 6, 3));
    console_write("              Phase /deg:  " + format_fixed(h.phase, 6, 1));
    console_write("   N.delay, N.aver@point:   " + field_text(h.delay_aver));
    console_write("       Points per second:  " + format_fixed(h.points_per_second, 7, 2));
    console_write("");
    console_write("   Modulation freq. /kHz:  " + format_fixed(h.modulation_freq, 8, 3));
    console_write("          deviation /kHz:  " + format_fixed(h.deviation, 6, 1));
}

// Writes the information page of the spectrum in memory.
void SPEINF() {
    const SpectrumRecord& s = spectrum;
    // Marks over columns 61-79 and bars pointing down at the end of the comment.
    console_write(std::string(60, ' ') + "G1__   S2__    __D3");
    console_write(std::string(60, ' ') + "    |      |  |");
    write_comment_box();
    write_settings();
    console_write("");
    console_write(format_count(s.point_count, 8) + " points, ranging from " +
                  format_count(s.intensity_min, 10) + "  to" + format_count(s.intensity_max, 10));

    // During a binary read the frequency block is not read yet (both limits 0):
    // the reader reports it itself, and waits for nothing here.
    if (s.freq_first == s.freq_last) return;
    console_write(std::string(15, ' ') + "frequency from" + format_fixed(s.freq_first, 11, 2) + "  to" +
                  format_fixed(s.freq_last, 10, 2) + ", step size" + format_fixed(s.freq_step, 10, 5));
    console_write("");
    console_write("");
    write_text(std::string(27, ' ') + "Press ENTER to continue");
}

}  // namespace tarno
