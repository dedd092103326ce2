// Fonts: fontconfig finds the installed face nearest to a request, FreeType
// renders it. Two users:
//  - graphics text (select_font, draw_text): anti-aliased glyphs blended onto
//    the pixels in the graphics colour, at the graphics position (top-left);
//  - the console: one monospace face sized to fill a text cell, its glyphs
//    rendered once per character into a coverage cache.
//
// Sizes are read as the classic desktop font mapper reads them: the height h
// is the character cell (ascent + descent, from the face's OS/2 Windows
// metrics) and the width w the average character width (OS/2 xAvgCharWidth).
// So "t'Arial'h75w25ei" scales the em to 75·em/(ascent+descent) pixels
// vertically and 25·em/avg_width horizontally.
//
// All state here is guarded by surface().lock (every caller holds it).
//
// Sections:
//   [SECTION] Face lookup
//   [SECTION] Graphics font
//   [SECTION] Console font
//   [SECTION] Public routines
#include <ft2build.h>
#include FT_FREETYPE_H       // FT_Face, glyph loading and rendering
#include FT_SYNTHESIS_H      // FT_GlyphSlot_Embolden/Oblique when a face has no bold or italic style
#include FT_TRUETYPE_TABLES_H // OS/2 table: Windows ascent/descent, average width
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>
#include <unordered_map>
#include <mutex>

#include "common/utf8.hpp"       // text cells are drawn character by character
#include "window/backend.hpp"
#include "window/core.hpp"
#include "window/font_description.hpp"
#include "window/window.hpp"

namespace tarno::window_internal {

constexpr int DEFAULT_TEXT_HEIGHT = 16;  // pixels, when a description gives no h

namespace {
// A face on disk: what fontconfig names and where FreeType finds it.
struct FaceFile {
    std::string file;
    int index = 0;
    std::string family;
    std::string style;
    bool is_bold = false;
    bool is_italic = false;
};

struct GraphicsFont {
    FT_Face face = nullptr;     // from the face cache; null = none selected
    double em_x = 0, em_y = 0;  // em size (pixels) horizontally and vertically
    int ascent = 0;             // pixels from the cell top to the baseline
    bool embolden = false, oblique = false, underline = false;
};

struct ConsoleFont {
    FT_Face face = nullptr;          // own face object (its size differs from the graphics one)
    std::string name;                // as configured
    int requested_size = 0;          // 0 = fit the cell
    int cell_width = 0, cell_height = 0;
    int baseline = 0, x_offset = 0;  // inside the cell (pixels)
    std::unordered_map<char32_t, std::vector<uint8_t>> coverage; // per character: cell_width * cell_height each
};

// Vertical cell (ascent + descent), ascent and average width of a face in font units.
struct CellMetrics {
    double cell, ascent, average_width;
};

// The console pixel for each glyph coverage 0..255 in one pair of colours.
struct BlendTable {
    uint32_t foreground = 0, background = 0;
    bool filled = false;               // false until a pair was blended into it
    std::array<uint32_t, 256> pixel{};
};
}  // namespace

constexpr size_t BLEND_TABLE_COUNT = 8;  // colour pairs kept; a screen rarely shows more at once

// [SECTION] File-level state
static FT_Library g_library = nullptr;
static bool g_fontconfig_ready = false;
static std::vector<FaceFile> g_installed;                   // filled by init_fonts(), numbered from 1
static std::map<std::pair<std::string, int>, FT_Face> g_faces; // loaded graphics faces, kept for the run
static GraphicsFont g_font;
static ConsoleFont g_console;
static std::map<FT_Face, CellMetrics> g_metrics;             // per open face, dropped when it closes
static std::array<BlendTable, BLEND_TABLE_COUNT> g_blend_tables; // recent console colour pairs
static size_t g_next_blend_table = 0;                        // the slot a new pair takes (oldest first)

// [SECTION] Face lookup ---------------------------------------------------------

// Starts FreeType and fontconfig once; false when either fails.
static bool ensure_libraries() {
    if (!g_library && FT_Init_FreeType(&g_library) != 0) {
        std::fprintf(stderr, "FONTS: FreeType could not be initialised\n");
        g_library = nullptr;
        return false;
    }
    if (!g_fontconfig_ready) g_fontconfig_ready = FcInit();
    return g_fontconfig_ready;
}

// Returns the text in lower case (ASCII).
static std::string lower(std::string_view text) {
    std::string out(text);
    for (char& ch : out) ch = char(std::tolower(uint8_t(ch)));
    return out;
}

// Faces made to the metrics of the classic desktop faces: fontconfig offers them
// for those names, and they count as the face asked for.
static bool is_metric_twin(const std::string& requested, const std::string& family) {
    static const std::map<std::string, std::vector<std::string>> twins = {
        {"arial", {"liberation sans", "arimo"}},
        {"helvetica", {"liberation sans", "arimo"}},
        {"times new roman", {"liberation serif", "tinos"}},
        {"courier new", {"liberation mono", "cousine"}},
    };
    auto it = twins.find(requested);
    return it != twins.end() && std::find(it->second.begin(), it->second.end(), family) != it->second.end();
}

// Reads file, family, style, weight and slant of a fontconfig pattern.
static FaceFile face_file_of(FcPattern* pattern) {
    FaceFile face;
    FcChar8* text = nullptr;
    if (FcPatternGetString(pattern, FC_FILE, 0, &text) == FcResultMatch) face.file = reinterpret_cast<char*>(text);
    if (FcPatternGetString(pattern, FC_FAMILY, 0, &text) == FcResultMatch) face.family = reinterpret_cast<char*>(text);
    if (FcPatternGetString(pattern, FC_STYLE, 0, &text) == FcResultMatch) face.style = reinterpret_cast<char*>(text);
    FcPatternGetInteger(pattern, FC_INDEX, 0, &face.index);
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(pattern, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(pattern, FC_SLANT, 0, &slant);
    face.is_bold = weight >= FC_WEIGHT_DEMIBOLD;
    face.is_italic = slant != FC_SLANT_ROMAN;
    return face;
}

// True when one of the pattern's family names is the requested one or its metric twin.
static bool family_matches(FcPattern* pattern, const std::string& requested) {
    FcChar8* text = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &text) == FcResultMatch; ++i) {
        std::string family = lower(reinterpret_cast<char*>(text));
        if (family == requested || is_metric_twin(requested, family)) return true;
    }
    return false;
}

// Asks fontconfig for the best scalable face of a family, weight, slant and pitch.
static std::optional<FaceFile> match_face(const std::string& family, bool bold, bool italic, FontPitch pitch,
                                          bool* out_exact) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    if (pitch == FontPitch_Fixed) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    if (pitch == FontPitch_Proportional) FcPatternAddInteger(pattern, FC_SPACING, FC_PROPORTIONAL);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return std::nullopt;
    FaceFile face = face_file_of(match);
    if (out_exact) *out_exact = family_matches(match, lower(family));
    FcPatternDestroy(match);
    if (face.file.empty()) return std::nullopt;
    return face;
}

// The generic family nearest to a named face that is not installed.
static std::string generic_family(const std::string& name, FontPitch pitch) {
    std::string n = lower(name);
    if (pitch == FontPitch_Fixed || n.find("mono") != std::string::npos || n.find("courier") != std::string::npos)
        return "monospace";
    if (n.find("times") != std::string::npos || n.find("roman") != std::string::npos ||
        (n.find("serif") != std::string::npos && n.find("sans") == std::string::npos))
        return "serif";
    return "sans-serif";
}

// Finds the installed face for a request: the named face (or its metric twin),
// else the nearest face of the same kind, since fontconfig silently answers an
// unknown name with its default face whatever the kind.
static std::optional<FaceFile> find_face(const FontRequest& request) {
    if (request.number > 0) {
        if (size_t(request.number) > g_installed.size()) return std::nullopt;
        return g_installed[size_t(request.number) - 1];
    }
    std::string name = request.typeface.empty() ? generic_family("", request.pitch) : request.typeface;
    bool exact = false;
    std::optional<FaceFile> face = match_face(name, request.bold, request.italic, request.pitch, &exact);
    if (face && exact) return face;
    std::optional<FaceFile> nearest =
        match_face(generic_family(name, request.pitch), request.bold, request.italic, request.pitch, nullptr);
    return nearest ? nearest : face;
}

// Returns the loaded face for a file (loading it once).
static FT_Face load_face(const FaceFile& file) {
    auto key = std::make_pair(file.file, file.index);
    if (auto it = g_faces.find(key); it != g_faces.end()) return it->second;
    FT_Face face = nullptr;
    if (FT_New_Face(g_library, file.file.c_str(), file.index, &face) != 0) {
        std::fprintf(stderr, "FONTS: [%s] Failed to load face\n", file.file.c_str());
        return nullptr;
    }
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    g_faces[key] = face;
    return face;
}

// Average character width in font units, as the OS/2 table defined it before
// version 3: lowercase letters and the blank weighted by their frequency in
// English text. REF: OpenType font file format, OS/2 table, field xAvgCharWidth.
// NOTE: the version 3+ value (mean over all glyphs) of the metric-compatible
// faces is much wider than the classic faces' value; this one matches them.
static double weighted_average_width(FT_Face face) {
    static constexpr int WEIGHTS[27] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6, 35, 20, 56,
                                        56, 17, 4,  49, 56, 71,  31, 10, 18, 3,  18, 2, 166};
    double sum = 0;
    for (int i = 0; i < 27; ++i) {
        FT_ULong character = i < 26 ? FT_ULong('a' + i) : ' ';
        if (FT_Get_Char_Index(face, character) == 0) return 0;
        if (FT_Load_Char(face, character, FT_LOAD_NO_SCALE) != 0) return 0;
        sum += double(face->glyph->metrics.horiAdvance) * WEIGHTS[i];
    }
    return sum / 1000.0;
}

static CellMetrics cell_metrics(FT_Face face) {
    if (auto it = g_metrics.find(face); it != g_metrics.end()) return it->second;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    CellMetrics m{double(face->ascender - face->descender), double(face->ascender), face->units_per_EM / 2.0};
    if (os2 && os2->version != 0xFFFF) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            m.cell = double(os2->usWinAscent) + os2->usWinDescent;
            m.ascent = os2->usWinAscent;
        }
        if (os2->xAvgCharWidth > 0) m.average_width = os2->xAvgCharWidth;
    }
    if (double weighted = weighted_average_width(face); weighted > 0) m.average_width = weighted;
    if (m.cell <= 0) m.cell = face->units_per_EM;
    g_metrics[face] = m;
    return m;
}

// [SECTION] Graphics font -------------------------------------------------------

// Makes a face the graphics font at the size the request reads as.
static bool make_graphics_font(const FaceFile& file, const FontRequest& request) {
    FT_Face face = load_face(file);
    if (!face) return false;
    CellMetrics m = cell_metrics(face);
    double em = face->units_per_EM;
    int height = request.height > 0 ? request.height : DEFAULT_TEXT_HEIGHT;
    GraphicsFont font;
    font.face = face;
    font.em_y = height * em / m.cell;
    font.em_x = request.width > 0 ? request.width * em / m.average_width : font.em_y;
    font.ascent = int(std::lround(m.ascent * font.em_y / em));
    font.embolden = request.bold && !file.is_bold;
    font.oblique = request.italic && !file.is_italic;
    font.underline = request.underline;
    g_font = font;
    return true;
}

// Sets the face's size to the graphics font (the face object may be shared between selections).
static void apply_graphics_size() {
    FT_Set_Char_Size(g_font.face, FT_F26Dot6(std::lround(g_font.em_x * 64)), FT_F26Dot6(std::lround(g_font.em_y * 64)), 72, 72);
}

// Loads and renders one character of the graphics font into the glyph slot.
static bool render_graphics_glyph(uint8_t character) {
    FT_Face face = g_font.face;
    FT_UInt glyph = FT_Get_Char_Index(face, character);  // bytes are Latin-1
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL) != 0) return false;
    if (g_font.embolden) FT_GlyphSlot_Embolden(face->glyph);
    if (g_font.oblique) FT_GlyphSlot_Oblique(face->glyph);
    return FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0;
}

// Blends a rendered glyph bitmap with its top-left at window pixel (x, y).
static void blend_bitmap(const FT_Bitmap& bitmap, int x, int y) {
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const uint8_t* line = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
        for (unsigned column = 0; column < bitmap.width; ++column)
            if (line[column]) blend_pixel_locked(x + int(column), y + int(row), line[column]);
    }
}

// Draws text with its top-left at window pixel (x, y); returns its advance (pixels).
static int draw_graphics_text(std::string_view text, int x, int y) {
    apply_graphics_size();
    FT_Face face = g_font.face;
    int baseline = y + g_font.ascent;
    double pen = x;
    for (char ch : text) {
        if (!render_graphics_glyph(uint8_t(ch))) continue;
        FT_GlyphSlot slot = face->glyph;
        int origin = int(std::lround(pen));
        blend_bitmap(slot->bitmap, origin + slot->bitmap_left, baseline - slot->bitmap_top);
        pen += slot->advance.x / 64.0;
    }
    int advance = int(std::lround(pen - x));
    if (g_font.underline && advance > 0) {
        double scale = g_font.em_y / face->units_per_EM;
        int top = baseline - int(std::lround(face->underline_position * scale));
        int thickness = std::max(1, int(std::lround(face->underline_thickness * scale)));
        for (int row = top; row < top + thickness; ++row)
            for (int column = x; column < x + advance; ++column) blend_pixel_locked(column, row, 255);
    }
    surface().generation++;
    return advance;
}

// [SECTION] Console font --------------------------------------------------------

// Opens the console face for a configured name: the face itself or its metric
// twin, else the nearest monospace face (cells must all be alike).
static FT_Face open_console_face(const std::string& name) {
    FontRequest request;
    request.typeface = name;
    request.pitch = FontPitch_Fixed;
    bool exact = false;
    std::optional<FaceFile> file = match_face(name, false, false, FontPitch_Fixed, &exact);
    if (!file || !exact) file = match_face("monospace", false, false, FontPitch_Fixed, nullptr);
    if (!file) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(g_library, file->file.c_str(), file->index, &face) != 0) return nullptr;
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    return face;
}

// Chooses the console font's pixel size: the configured one, or the largest
// whose cell (ascent + descent) and advance fit the text cell.
static int console_pixel_size(FT_Face face, int cell_width, int cell_height, int requested) {
    if (requested > 0) return requested;
    CellMetrics m = cell_metrics(face);
    double advance = face->max_advance_width > 0 ? face->max_advance_width : m.average_width;
    double em = face->units_per_EM;
    int best = 4;
    for (int size = 4; size <= 512; ++size) {
        if (std::lround(size * m.cell / em) > cell_height || std::lround(size * advance / em) > cell_width) break;
        best = size;
    }
    return best;
}

// Sizes the console face for the current cells and forgets the rendered glyphs.
static void fit_console_font(int cell_width, int cell_height) {
    ConsoleFont& f = g_console;
    f.cell_width = cell_width;
    f.cell_height = cell_height;
    f.coverage.clear();
    if (!f.face) return;
    int size = console_pixel_size(f.face, cell_width, cell_height, f.requested_size);
    FT_Set_Pixel_Sizes(f.face, 0, FT_UInt(size));
    CellMetrics m = cell_metrics(f.face);
    double em = f.face->units_per_EM;
    int font_cell = int(std::lround(size * m.cell / em));
    f.baseline = int(std::lround(size * m.ascent / em)) + std::max(0, (cell_height - font_cell) / 2);
    double advance = (f.face->max_advance_width > 0 ? f.face->max_advance_width : m.average_width) * size / em;
    f.x_offset = std::max(0, int(cell_width - std::lround(advance)) / 2);
}

// Renders a character into the coverage cache (a box outline when no face
// could be opened; the face's own box for a character it does not have).
static const std::vector<uint8_t>& console_coverage(char32_t character) {
    ConsoleFont& f = g_console;
    std::vector<uint8_t>& cell = f.coverage[character];
    if (!cell.empty()) return cell;
    cell.assign(size_t(f.cell_width) * f.cell_height, 0);
    if (character == ' ' || character < 32 || (character >= 0x7F && character < 0xA0)) return cell;
    if (!f.face) {
        // Fallback: a hollow box, so text stays visible without any font.
        for (int y = 2; y < f.cell_height - 2; ++y)
            for (int x = 1; x < f.cell_width - 1; ++x)
                if (y == 2 || y == f.cell_height - 3 || x == 1 || x == f.cell_width - 2) cell[size_t(y) * f.cell_width + x] = 255;
        return cell;
    }
    FT_UInt glyph = FT_Get_Char_Index(f.face, character);
    if (FT_Load_Glyph(f.face, glyph, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) != 0) return cell;
    if (FT_Render_Glyph(f.face->glyph, FT_RENDER_MODE_NORMAL) != 0) return cell;
    const FT_Bitmap& bitmap = f.face->glyph->bitmap;
    int left = f.x_offset + f.face->glyph->bitmap_left, top = f.baseline - f.face->glyph->bitmap_top;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        int y = top + int(row);
        if (y < 0 || y >= f.cell_height) continue;
        for (unsigned column = 0; column < bitmap.width; ++column) {
            int x = left + int(column);
            if (x < 0 || x >= f.cell_width) continue;
            cell[size_t(y) * f.cell_width + x] = bitmap.buffer[ptrdiff_t(row) * bitmap.pitch + column];
        }
    }
    return cell;
}

// Chooses the console face (kept open while the name and size stay the same).
void set_console_font_locked(const std::string& name, int pixel_size) {
    ConsoleFont& f = g_console;
    if (!f.face || f.name != name) {
        if (f.face) {
            g_metrics.erase(f.face);
            FT_Done_Face(f.face);
        }
        f.face = ensure_libraries() ? open_console_face(name) : nullptr;
        f.name = name;
    }
    f.requested_size = pixel_size;
    f.cell_width = 0;  // fit again on the next glyph
}

// Returns the blended pixels of a colour pair, one per coverage (blend_rgb of
// the foreground on the background). A pair met recently is reused, so a glyph
// pixel costs one table load instead of three divisions.
static const BlendTable& blend_table(uint32_t foreground, uint32_t background) {
    for (const BlendTable& table : g_blend_tables)
        if (table.filled && table.foreground == foreground && table.background == background) return table;
    BlendTable& table = g_blend_tables[g_next_blend_table];
    g_next_blend_table = (g_next_blend_table + 1) % BLEND_TABLE_COUNT;
    table.foreground = foreground;
    table.background = background;
    table.filled = true;
    for (int a = 0; a <= 255; ++a) table.pixel[size_t(a)] = blend_rgb(background, foreground, a);
    return table;
}

// Draws one character cell with its background into `pixels` (width x height).
void draw_console_glyph_into_locked(std::vector<uint32_t>& pixels, int pixels_width, int pixels_height, char32_t character,
                                    int x, int y, int width, int height, uint32_t foreground, uint32_t background) {
    if (g_console.cell_width != width || g_console.cell_height != height) fit_console_font(width, height);
    if (x < 0 || y < 0) return;
    const std::vector<uint8_t>& cell = console_coverage(character);
    const std::array<uint32_t, 256>& blended = blend_table(foreground, background).pixel;
    int rows = std::min(height, pixels_height - y), columns = std::min(width, pixels_width - x);
    for (int row = 0; row < rows; ++row) {
        uint32_t* out = pixels.data() + size_t(y + row) * pixels_width + x;
        const uint8_t* in = cell.data() + size_t(row) * width;
        for (int column = 0; column < columns; ++column) out[column] = blended[in[column]];
    }
}

// Draws one character cell with its background into the window's pixels.
void draw_console_glyph_locked(char32_t character, int x, int y, int width, int height, uint32_t foreground,
                               uint32_t background) {
    Surface& s = surface();
    draw_console_glyph_into_locked(s.pixels, s.width, s.height, character, x, y, width, height, foreground, background);
}

// Draws text into console cells of a picture of the window, up to the last column.
void draw_text_cells_into_locked(std::vector<uint32_t>& pixels, int pixels_width, int pixels_height, int row, int column,
                                 std::string_view text, int text_color, int background_color) {
    const CoreState& c = core();
    const uint32_t foreground = pack_rgb(palette_rgb(text_color)), background = pack_rgb(palette_rgb(background_color));
    for (size_t pos = 0; pos < text.size() && column <= c.columns; ++column) {
        DecodedCharacter ch = decode_character(text, pos);
        pos += ch.length;
        draw_console_glyph_into_locked(pixels, pixels_width, pixels_height, ch.code, (column - 1) * c.cell_width,
                                       (row - 1) * c.cell_height, c.cell_width, c.cell_height, foreground, background);
    }
}

// Forgets the graphics font (faces stay loaded for the next selection).
void reset_fonts_locked() { g_font = GraphicsFont{}; }

}  // namespace tarno::window_internal

namespace tarno {
using namespace window_internal;

// [SECTION] Public routines -----------------------------------------------------

// Makes the installed faces available; returns how many were found (-1 when fontconfig or FreeType fail).
int init_fonts() {
    std::lock_guard guard(surface().lock);
    if (!ensure_libraries()) return -1;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FILE, FC_INDEX, FC_WEIGHT, FC_SLANT, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    g_installed.clear();
    if (set) {
        for (int i = 0; i < set->nfont; ++i) {
            FaceFile face = face_file_of(set->fonts[i]);
            if (!face.file.empty()) g_installed.push_back(face);
        }
        FcFontSetDestroy(set);
    }
    // A stable numbering for n<number>: by family, style, file.
    std::sort(g_installed.begin(), g_installed.end(), [](const FaceFile& a, const FaceFile& b) {
        return std::tie(a.family, a.style, a.file, a.index) < std::tie(b.family, b.style, b.file, b.index);
    });
    return int(g_installed.size());
}

// Selects the graphics font for a description; returns the face's number in the
// installed list (0 when it is not listed), or -1 when nothing matches (the font
// then stays as it was).
int select_font(std::string_view description) {
    std::optional<FontRequest> request = parse_font_description(description);
    if (!request) return -1;
    bool listed = false;
    {
        std::lock_guard guard(surface().lock);
        listed = !g_installed.empty();
    }
    if (!listed && init_fonts() <= 0) return -1;
    std::lock_guard guard(surface().lock);
    std::optional<FaceFile> file = find_face(*request);
    if (!file || !make_graphics_font(*file, *request)) return -1;
    for (size_t i = 0; i < g_installed.size(); ++i)
        if (g_installed[i].file == file->file && g_installed[i].index == file->index) return int(i + 1);
    return 0;
}

// Draws text at the graphics position (its top-left) and advances the position by its width.
void draw_text(std::string_view text) {
    if (text.empty()) return;
    bool has_font = false;
    {
        std::lock_guard guard(surface().lock);
        has_font = g_font.face != nullptr;
    }
    if (!has_font) select_font("t'Arial'h16");  // nothing selected yet: a plain default
    std::lock_guard guard(surface().lock);
    CoreState& c = core();
    if (!g_font.face) return;
    // Far outside the window nothing shows; keep the arithmetic in range.
    auto window_pixel = [](int64_t origin, int64_t offset) { return int(std::clamp<int64_t>(origin + offset, -1000000, 1000000)); };
    int advance = draw_graphics_text(text, window_pixel(c.viewport_x1, c.position_x), window_pixel(c.viewport_y1, c.position_y));
    c.position_x += advance;
}

}  // namespace tarno
