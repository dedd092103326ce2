// Writes the framebuffer as an 8-bit RGB PNG file (screenshots for tests and debugging).
#include <png.h>   // libpng: the PNG encoder

#include <cstdio>

#include "common/file_handle.hpp"
#include "window/core.hpp"

namespace tarno::window_internal {

// Returns false (with a message naming the file) when the file cannot be written.
bool write_png(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels) {
    FileHandle file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        std::fprintf(stderr, "PNG: [%s] Failed to open file\n", path.c_str());
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<uint8_t> row(size_t(width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        std::fprintf(stderr, "PNG: [%s] Failed to write file\n", path.c_str());
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[size_t(y) * width + x];
            row[size_t(x) * 3 + 0] = uint8_t(p >> 16);
            row[size_t(x) * 3 + 1] = uint8_t(p >> 8);
            row[size_t(x) * 3 + 2] = uint8_t(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file.release()) == 0;
}

}  // namespace tarno::window_internal
