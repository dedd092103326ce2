// The fast line writer: text files of millions of fixed-width lines (plot data
// files, ASCII spectra) formatted on every core and written in order.
//
// The items to write (points, usually one line each) are cut into chunks of
// LINE_CHUNK_ITEMS; worker threads format whole chunks into their own buffers
// while the calling thread writes the finished chunks to the file, strictly in
// chunk order. So the file holds exactly what one thread formatting item after
// item would have written. A few buffers circulate, so memory stays bounded
// whatever the file size, and the data already written is pushed to disk in
// the background while formatting goes on (the final sync of a staged file then
// has little left to do).
//
//   bool ok = write_lines_in_order(out, point_count, [&](int64_t first, int64_t count, std::string& text) {
//       for (int64_t k = first; k < first + count; ++k) { append_fixed(text, x[k], 12, 4); text += '\n'; }
//   });
//
// The formatter runs on several threads at once: it must only read shared
// data. A chunk always starts at a multiple of LINE_CHUNK_ITEMS, so a
// formatter that carries a running value (a frequency accumulated point by
// point) can prepare the value at each chunk start beforehand.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/staged_file.hpp"

namespace tarno {

constexpr int64_t LINE_CHUNK_ITEMS = 1 << 15;   // items formatted in one piece

// Appends the lines of items first .. first + count - 1 (0-based) to `text`.
using ChunkFormatter = std::function<void(int64_t first, int64_t count, std::string& text)>;

// Told on the calling thread, after each chunk written, how many items are in the file.
using WrittenItems = std::function<void(int64_t written, int64_t item_count)>;

// Writes the lines of items 0 .. item_count - 1 to `out`, in order. Returns
// false when a write failed (out.commit() then reports why); stops early then.
// `progress` (may be empty) hears of every chunk when there are several.
bool write_lines_in_order(StagedFile& out, int64_t item_count, const ChunkFormatter& format,
                          const WrittenItems& progress = {});

}  // namespace tarno
