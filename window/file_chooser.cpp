// The in-window file chooser.
//
// Screen (R = panel rows: the text rows but the last, so writing never scrolls):
//   row 1        caption                                   text 15 on 1
//   row 2        "Look in:" directory                      text 0 on 7
//   row 3        "Type:" filter description
//   rows 5..R-3  entries: "../", directories "name/", files with their size;
//                the highlighted one in text 15 on 1
//   row R-1      "File name:" what has been typed          text 0 on 15
//   row R        the keys                                  text 1 on 7
//
// Sections:
//   [SECTION] Filters
//   [SECTION] Directory listing
//   [SECTION] Drawing
//   [SECTION] Keys
#include "window/file_chooser.hpp"

#include "common/fields.hpp"        // format_integer for file sizes, trim, shortened_name
#include "common/utf8.hpp"          // typed names are UTF-8
#include "window/screen_panel.hpp"  // SavedScreen, write_cells, read_dialog_key
#include "window/window.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tarno::window_internal {

namespace fs = std::filesystem;

constexpr int COLUMNS = 80;
constexpr int PANEL_FG = COLOR_BLACK, PANEL_BG = COLOR_LIGHT_GREY;  // normal text
constexpr int HOT_FG = COLOR_WHITE, HOT_BG = COLOR_BLUE;           // caption bar, highlighted entry
constexpr int FIELD_FG = COLOR_BLACK, FIELD_BG = COLOR_WHITE;      // typed name
constexpr int HINT_FG = COLOR_BLUE;

namespace {
struct Entry {
    std::string name;
    bool is_directory;
    uintmax_t size;     // bytes (files only)
};

struct Chooser {
    fs::path directory;                 // absolute, normalised
    std::vector<FileFilter> filters;
    size_t filter_index = 0;
    std::vector<Entry> entries;
    int selected = 0;                   // index into entries
    int first_shown = 0;                // first entry on screen
    std::string typed;                  // the "File name:" field
    std::string notice;                 // shown in the hint row once, e.g. a directory that cannot be read
};
}  // namespace

// [SECTION] Filters ---------------------------------------------------------------

std::vector<FileFilter> parse_filter_list(std::string_view list) {
    std::vector<FileFilter> filters;
    while (!list.empty()) {
        size_t end = list.find(';');
        std::string_view pair = trim(list.substr(0, end));
        list = end == std::string_view::npos ? std::string_view{} : list.substr(end + 1);
        if (pair.empty()) continue;  // the " ;" that closes a list, blank padding
        // The description may itself contain commas; the pattern follows the last one.
        size_t comma = pair.rfind(',');
        std::string_view description = comma == std::string_view::npos ? pair : trim(pair.substr(0, comma));
        std::string_view pattern_field = comma == std::string_view::npos ? pair : trim(pair.substr(comma + 1));
        FileFilter filter{std::string(description.empty() ? pattern_field : description), {}};
        while (!pattern_field.empty()) {
            size_t blank = pattern_field.find(' ');
            std::string_view pattern = pattern_field.substr(0, blank);
            if (!pattern.empty()) filter.patterns.emplace_back(pattern);
            pattern_field = blank == std::string_view::npos ? std::string_view{} : trim(pattern_field.substr(blank));
        }
        if (filter.patterns.empty()) filter.patterns.emplace_back("*");
        filters.push_back(std::move(filter));
    }
    if (filters.empty()) filters.push_back({"All Files (*.*)", {"*.*"}});
    return filters;
}

// Glob match with '*' and '?', letters compared without case.
static bool glob_match(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0, star = std::string_view::npos, star_n = 0;
    auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            star_n = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++star_n;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool matches_pattern(std::string_view pattern, std::string_view file_name) {
    if (glob_match(pattern, file_name)) return true;
    // "name.*" also covers a name without any extension, so "*.*" lists every file.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
        return file_name.find('.') == std::string_view::npos && glob_match(pattern.substr(0, pattern.size() - 2), file_name);
    return false;
}

bool matches_filter(const FileFilter& filter, std::string_view file_name) {
    return std::any_of(filter.patterns.begin(), filter.patterns.end(),
                       [&](const std::string& pattern) { return matches_pattern(pattern, file_name); });
}

// [SECTION] Directory listing -------------------------------------------------------

static bool name_less(const Entry& a, const Entry& b) {
    return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

// Lists the chooser's directory: "..", then directories, then files the filter lets through.
static void list_directory(Chooser& c) {
    c.entries.clear();
    c.selected = 0;
    c.first_shown = 0;
    std::vector<Entry> directories, files;
    std::error_code error;
    fs::directory_iterator it(c.directory, fs::directory_options::skip_permission_denied, error);
    if (error) c.notice = "Cannot read " + shortened_name(c.directory.string(), 50, 47) + ": " + error.message();
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;  // hidden files stay hidden, as in desktop dialogs
        std::error_code ignored;
        if (it->is_directory(ignored)) {
            directories.push_back({name, true, 0});
        } else if (matches_filter(c.filters[c.filter_index], name)) {
            uintmax_t size = it->file_size(ignored);
            files.push_back({name, false, ignored ? 0 : size});
        }
    }
    std::sort(directories.begin(), directories.end(), name_less);
    std::sort(files.begin(), files.end(), name_less);
    if (c.directory.has_relative_path()) c.entries.push_back({"..", true, 0});
    c.entries.insert(c.entries.end(), directories.begin(), directories.end());
    c.entries.insert(c.entries.end(), files.begin(), files.end());
}

static void enter_directory(Chooser& c, const fs::path& directory) {
    std::error_code error;
    fs::path target = fs::weakly_canonical(directory, error);
    c.directory = error ? directory.lexically_normal() : target;
    list_directory(c);
}

static std::string chosen_name(const fs::path& path) {
    return path.lexically_normal().string();
}

// [SECTION] Drawing ------------------------------------------------------------------

static int panel_rows() { return std::max(8, console_row_count() - 1); }
static int list_rows() { return panel_rows() - 7; }

static std::string entry_text(const Entry& e) {
    if (e.is_directory) return "  " + e.name + "/";
    std::string size = format_integer(static_cast<long long>(e.size), 12);
    std::string name = "  " + shortened_name(e.name, 62, 59);
    name.resize(COLUMNS - 2 - size.size(), ' ');
    return name + size;
}

static void draw_chooser(Chooser& c, std::string_view caption) {
    int rows = panel_rows();
    int shown = list_rows();
    // Keep the highlight on screen.
    if (c.selected < c.first_shown) c.first_shown = c.selected;
    if (c.selected >= c.first_shown + shown) c.first_shown = c.selected - shown + 1;

    write_cells(1, 1, " " + std::string(caption), COLUMNS, HOT_FG, HOT_BG);
    write_cells(2, 1, " Look in:   " + shortened_name(c.directory.string(), COLUMNS - 13, COLUMNS - 16), COLUMNS, PANEL_FG, PANEL_BG);
    std::string type = " Type:      " + c.filters[c.filter_index].description;
    if (c.filters.size() > 1) type += "   (" + std::to_string(c.filter_index + 1) + " of " + std::to_string(c.filters.size()) + ")";
    write_cells(3, 1, type, COLUMNS, PANEL_FG, PANEL_BG);
    write_cells(4, 1, "", COLUMNS, PANEL_FG, PANEL_BG);
    for (int line = 0; line < shown; ++line) {
        int index = c.first_shown + line;
        bool exists = index < static_cast<int>(c.entries.size());
        bool hot = exists && index == c.selected;
        std::string text = exists ? entry_text(c.entries[static_cast<size_t>(index)]) : "";
        if (!exists && line == 0 && c.entries.empty()) text = "  (no matching files)";
        write_cells(5 + line, 1, text, COLUMNS, hot ? HOT_FG : PANEL_FG, hot ? HOT_BG : PANEL_BG);
    }
    write_cells(rows - 2, 1, "", COLUMNS, PANEL_FG, PANEL_BG);
    write_cells(rows - 1, 1, " File name: ", 12, PANEL_FG, PANEL_BG);
    write_cells(rows - 1, 13, shortened_name(c.typed, COLUMNS - 14, COLUMNS - 17) + "_", COLUMNS - 13, FIELD_FG, FIELD_BG);
    write_cells(rows - 1, COLUMNS, "", 1, PANEL_FG, PANEL_BG);
    std::string hint = c.notice.empty()
        ? " ENTER open/choose  ESC cancel  arrows PGUP PGDN move  TAB file type  BKSP up"
        : " " + c.notice;
    write_cells(rows, 1, hint, COLUMNS, c.notice.empty() ? HINT_FG : 12, PANEL_BG);
    c.notice.clear();
}

// [SECTION] Keys -----------------------------------------------------------------------

static void move_highlight(Chooser& c, int delta) {
    int last = static_cast<int>(c.entries.size()) - 1;
    c.selected = std::clamp(c.selected + delta, 0, std::max(0, last));
}

static void switch_filter(Chooser& c, int delta) {
    int count = static_cast<int>(c.filters.size());
    c.filter_index = static_cast<size_t>((static_cast<int>(c.filter_index) + delta + count) % count);
    list_directory(c);
}

// A typed name: a directory is entered, a wildcard becomes a new filter, anything else is chosen.
static std::optional<std::string> take_typed_name(Chooser& c) {
    std::string typed = std::string(trim(c.typed));
    c.typed.clear();
    if (typed.empty()) return std::nullopt;
    if (typed.find_first_of("*?") != std::string::npos) {
        c.filters.push_back({typed, {typed}});
        c.filter_index = c.filters.size() - 1;
        list_directory(c);
        return std::nullopt;
    }
    fs::path path(typed);
    if (typed[0] == '~' && (typed.size() == 1 || typed[1] == '/')) {
        const char* home = std::getenv("HOME");
        if (home != nullptr) path = fs::path(home) / typed.substr(std::min<size_t>(2, typed.size()));
    }
    if (path.is_relative()) path = c.directory / path;
    std::error_code ignored;
    if (fs::is_directory(path, ignored)) {
        enter_directory(c, path);
        return std::nullopt;
    }
    return chosen_name(path);
}

// ENTER on the highlighted entry: a directory is entered, a file chosen.
static std::optional<std::string> take_entry(Chooser& c) {
    if (c.entries.empty()) return std::nullopt;
    const Entry& e = c.entries[static_cast<size_t>(c.selected)];
    if (!e.is_directory) return chosen_name(c.directory / e.name);
    enter_directory(c, e.name == ".." ? c.directory.parent_path() : c.directory / e.name);
    return std::nullopt;
}

std::optional<std::string> choose_file_in_window(std::string_view caption, std::string_view filter_list,
                                                 const fs::path& directory) {
    SavedScreen saved;
    Chooser c;
    c.filters = parse_filter_list(filter_list);
    enter_directory(c, directory.empty() ? fs::path(".") : fs::absolute(directory));
    for (;;) {
        draw_chooser(c, caption);
        int key = read_dialog_key();
        std::optional<std::string> chosen;
        switch (key) {
        case KEY_UP: move_highlight(c, -1); break;
        case KEY_DOWN: move_highlight(c, 1); break;
        case KEY_PGUP: move_highlight(c, -list_rows()); break;
        case KEY_PGDN: move_highlight(c, list_rows()); break;
        case KEY_HOME: move_highlight(c, -static_cast<int>(c.entries.size())); break;
        case KEY_END: move_highlight(c, static_cast<int>(c.entries.size())); break;
        case KEY_TAB: case KEY_RIGHT: switch_filter(c, 1); break;
        case KEY_LEFT: switch_filter(c, -1); break;
        case KEY_ESCAPE: saved.restore(); return std::nullopt;
        case KEY_ENTER: chosen = c.typed.empty() ? take_entry(c) : take_typed_name(c); break;
        case KEY_BACKSPACE:
            if (!c.typed.empty()) c.typed.erase(last_character_start(c.typed));   // a whole character
            else enter_directory(c, c.directory.parent_path());
            break;
        default:                                                      // typed text, UTF-8 bytes included
            if (key >= 32 && key != KEY_DELETE_CHARACTER && key <= 255) c.typed.push_back(static_cast<char>(key));
            break;
        }
        if (chosen) {
            saved.restore();
            return chosen;
        }
    }
}

}  // namespace tarno::window_internal
