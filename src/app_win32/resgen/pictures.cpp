#include "app_win32/resgen/pictures.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace resgen {
namespace {

struct Colour {
    double r, g, b, a;
};

Colour Mix(Colour x, Colour y, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

// Paints c over d (straight alpha).
Colour Over(Colour c, Colour d) {
    double a = c.a + d.a * (1 - c.a);
    if (a <= 0) return {0, 0, 0, 0};
    auto channel = [&](double x, double y) { return (x * c.a + y * d.a * (1 - c.a)) / a; };
    return {channel(c.r, d.r), channel(c.g, d.g), channel(c.b, d.b), a};
}

// The aeroplane seen from above, nose along +u, in units of its length.
bool InsidePlane(double u, double v) {
    double av = std::fabs(v);
    if (std::fabs(u) < 0.75 && av < 0.085 * std::sqrt(std::max(0.0, 1 - (u / 0.75) * (u / 0.75)))) return true;
    if (av < 0.62 && u < 0.18 - 0.22 * av && u > -0.06 - 0.14 * av) return true;
    if (av < 0.26 && u < -0.48 - 0.12 * av && u > -0.66 - 0.04 * av) return true;
    return false;
}

// Each pixel is the mean of 4 x 4 samples of shade(x, y), x and y in pixels.
template <class Shade>
Image Render(int width, int height, Shade shade) {
    Image image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};
    constexpr int kSamples = 4;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    Colour c = shade(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            }
            std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * width + x) * 4];
            double n = kSamples * kSamples;
            auto byte = [](double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v * 255), 0L, 255L)); };
            p[0] = a > 0 ? byte(r / a) : 0;
            p[1] = a > 0 ? byte(g / a) : 0;
            p[2] = a > 0 ? byte(b / a) : 0;
            p[3] = byte(a / n);
        }
    }
    return image;
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Put32BigEndian(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

struct Rgb {
    int r, g, b;
};

// The 16 colours of the standard 4-bit palette.
std::vector<Rgb> Palette16() {
    return {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
            {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
            {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
}

// A 6 x 6 x 6 colour cube and 40 greys.
std::vector<Rgb> Palette256() {
    std::vector<Rgb> palette;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) palette.push_back({r * 51, g * 51, b * 51});
    for (int i = 0; i < 40; ++i) {
        int grey = (i + 1) * 255 / 41;
        palette.push_back({grey, grey, grey});
    }
    return palette;
}

int Nearest(const std::vector<Rgb>& palette, int r, int g, int b) {
    int best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        long dr = r - palette[i].r, dg = g - palette[i].g, db = b - palette[i].b;
        long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

// One icon image in the DIB form of icon resources: header with the doubled
// height, palette, colour rows, then the 1-bit AND mask, all bottom-up.
std::vector<std::uint8_t> EncodeIconDib(const Image& image, int bits) {
    std::vector<std::uint8_t> out;
    std::vector<Rgb> palette = bits == 4 ? Palette16() : bits == 8 ? Palette256() : std::vector<Rgb>{};
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(image.width));
    Put32(out, static_cast<std::uint32_t>(image.height * 2));
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(bits));
    Put32(out, 0);
    int rowBytes = ((image.width * bits + 31) / 32) * 4;
    int maskRowBytes = ((image.width + 31) / 32) * 4;
    Put32(out, static_cast<std::uint32_t>((rowBytes + maskRowBytes) * image.height));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(palette.size()));
    Put32(out, 0);
    for (const Rgb& c : palette) {
        out.push_back(static_cast<std::uint8_t>(c.b));
        out.push_back(static_cast<std::uint8_t>(c.g));
        out.push_back(static_cast<std::uint8_t>(c.r));
        out.push_back(0);
    }
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes));
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
            if (bits == 32) {
                row[x * 4 + 0] = p[2];
                row[x * 4 + 1] = p[1];
                row[x * 4 + 2] = p[0];
                row[x * 4 + 3] = p[3];
                continue;
            }
            int index = p[3] < 128 ? 0 : Nearest(palette, p[0], p[1], p[2]);
            if (bits == 8) {
                row[x] = static_cast<std::uint8_t>(index);
            } else {
                row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(maskRowBytes));
        for (int x = 0; x < image.width; ++x)
            if (image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4 + 3] < 128)
                row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

void PutPngChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
    Put32BigEndian(out, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    Put32BigEndian(out, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

}  // namespace

Image DrawSidePicture(int width, int height) {
    const Colour skyTop{0.62, 0.80, 0.96, 1}, skyLow{0.16, 0.36, 0.70, 1};
    const Colour hillFar{0.30, 0.55, 0.32, 1}, hillNear{0.16, 0.40, 0.20, 1};
    const Colour white{1, 1, 1, 1};
    return Render(width, height, [&](double x, double y) {
        double t = y / height;
        Colour c = Mix(skyTop, skyLow, t * 1.2);
        // Two rows of hills along the foot of the picture.
        double far = height * 0.80 + 6 * std::sin(x * 0.09 + 1.0);
        double near = height * 0.88 + 5 * std::sin(x * 0.13 + 2.5);
        if (y > far) c = hillFar;
        if (y > near) c = Mix(hillNear, Colour{0.10, 0.28, 0.14, 1}, (y - near) / (height - near));
        // The aeroplane climbing away, nose to the upper right.
        double cx = width * 0.52, cy = height * 0.30, scale = width * 0.42;
        double dx = (x - cx) / scale, dy = (y - cy) / scale;
        double angle = -0.9;
        double u = dx * std::cos(angle) + dy * std::sin(angle);
        double v = -dx * std::sin(angle) + dy * std::cos(angle);
        if (InsidePlane(u, v)) c = Over(Colour{1, 1, 1, 0.92}, c);
        // A thin light edge on the right, where the page's text begins.
        if (x > width - 1.5) c = Mix(c, white, 0.5);
        return c;
    });
}

Image DrawIcon(int size) {
    return Render(size, size, [&](double x, double y) {
        double nx = (x / size) * 2 - 1, ny = (y / size) * 2 - 1;
        double r = std::sqrt(nx * nx + ny * ny);
        double edge = std::max(1.0 / size, 0.02);
        if (r > 0.96 + edge) return Colour{0, 0, 0, 0};
        double light = std::sqrt((nx + 0.4) * (nx + 0.4) + (ny + 0.5) * (ny + 0.5)) / 1.6;
        Colour c = Mix(Colour{0.45, 0.72, 0.98, 1}, Colour{0.07, 0.22, 0.55, 1}, light);
        if (r > 0.86) c = Colour{0.05, 0.14, 0.36, 1};
        double angle = -M_PI / 4;
        double u = (nx * std::cos(angle) + ny * std::sin(angle)) / 0.78;
        double v = (-nx * std::sin(angle) + ny * std::cos(angle)) / 0.78;
        if (InsidePlane(u, v)) c = Colour{1, 1, 1, 1};
        // The orange patch on the tail fin side.
        double px = nx - 0.48, py = ny - 0.48;
        if (px * px + py * py < 0.09) c = Colour{0.98, 0.55, 0.10, 1};
        if (r > 0.96) c.a = std::clamp((0.96 + edge - r) / edge, 0.0, 1.0);
        return c;
    });
}

std::vector<std::uint8_t> EncodeBmp24(const Image& image) {
    int rowBytes = ((image.width * 3 + 3) / 4) * 4;
    std::uint32_t pixelBytes = static_cast<std::uint32_t>(rowBytes * image.height);
    std::vector<std::uint8_t> out = {'B', 'M'};
    Put32(out, 14 + 40 + pixelBytes);
    Put32(out, 0);
    Put32(out, 14 + 40);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(image.width));
    Put32(out, static_cast<std::uint32_t>(image.height));
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, pixelBytes);
    Put32(out, 2835);  // 72 dots per inch
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
        }
        for (int pad = image.width * 3; pad < rowBytes; ++pad) out.push_back(0);
    }
    return out;
}

std::vector<std::uint8_t> EncodePng(const Image& image) {
    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    Put32BigEndian(header, static_cast<std::uint32_t>(image.width));
    Put32BigEndian(header, static_cast<std::uint32_t>(image.height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace
    PutPngChunk(out, "IHDR", header);
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        auto row = image.rgba.begin() + static_cast<std::ptrdiff_t>(y) * image.width * 4;
        raw.insert(raw.end(), row, row + image.width * 4);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
    packed.resize(packedSize);
    PutPngChunk(out, "IDAT", packed);
    PutPngChunk(out, "IEND", {});
    return out;
}

std::vector<std::uint8_t> EncodeIco(const std::vector<Image>& images, const std::vector<int>& bitsPerPixel) {
    struct Entry {
        int size;
        int bits;
        std::vector<std::uint8_t> data;
    };
    std::vector<Entry> entries;
    for (const Image& image : images) {
        if (image.width >= 256) {
            entries.push_back({image.width, 32, EncodePng(image)});
            continue;
        }
        for (int bits : bitsPerPixel) entries.push_back({image.width, bits, EncodeIconDib(image, bits)});
    }
    std::vector<std::uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(entries.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (const Entry& e : entries) {
        out.push_back(static_cast<std::uint8_t>(e.size >= 256 ? 0 : e.size));
        out.push_back(static_cast<std::uint8_t>(e.size >= 256 ? 0 : e.size));
        out.push_back(static_cast<std::uint8_t>(e.bits == 4 ? 16 : 0));
        out.push_back(0);
        Put16(out, 1);
        Put16(out, static_cast<unsigned>(e.bits));
        Put32(out, static_cast<std::uint32_t>(e.data.size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    for (const Entry& e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
    return out;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace resgen
