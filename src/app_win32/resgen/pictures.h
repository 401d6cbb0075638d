// The program's own pictures, drawn by the resource generator: the side
// picture of every page and the application icon.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace resgen {

// A picture of straight (not premultiplied) RGBA pixels, rows from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

// The side picture: 85 x 277.
Image DrawSidePicture(int width, int height);
// The application icon at one size.
Image DrawIcon(int size);

// A bottom-up 24-bit BMP file (alpha dropped, rows padded to 4 bytes).
std::vector<std::uint8_t> EncodeBmp24(const Image& image);
// An ICO file: every image at each depth of bitsPerPixel (4, 8 or 32), and
// the 256-pixel image, if any, once as PNG.
std::vector<std::uint8_t> EncodeIco(const std::vector<Image>& images, const std::vector<int>& bitsPerPixel);
// A PNG file (RGBA, 8 bits per channel).
std::vector<std::uint8_t> EncodePng(const Image& image);

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace resgen
