// Draws the player's icon group (16, 32, 48 and 256 pixels) into an .ico file.
// Runs on the build machine, so it uses only the standard library.
//
// Every image is a 16-colour bitmap using two colours: a white square with a
// light grey border and three grey bars of falling height, the stepped play
// glyph of the face's play button. The 48-pixel image is the reference; the
// others scale its geometry.
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr uint8_t kTransparent = 0;
constexpr uint8_t kGrey = 1;
constexpr uint8_t kWhite = 2;

struct IconImage {
    int size;
    std::vector<uint8_t> pixels;  // palette index per pixel, top row first
    std::vector<uint8_t> opaque;  // 1 where the pixel is part of the square
};

int Scale(int value, int square) { return (value * square + 24) / 48; }

IconImage DrawIcon(int size) {
    IconImage image{size, std::vector<uint8_t>(size * size, kTransparent),
                    std::vector<uint8_t>(size * size, 0)};
    // Only the largest image leaves a transparent margin around its square,
    // and its border is thick enough to read at that size.
    const int margin = size == 256 ? 16 : 0;
    const int border = size == 256 ? 7 : 1;
    const int square = size - 2 * margin;
    auto fill = [&](int x0, int y0, int x1, int y1, uint8_t colour) {
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                image.pixels[y * size + x] = colour;
                image.opaque[y * size + x] = 1;
            }
        }
    };
    fill(margin, margin, margin + square, margin + square, kGrey);
    fill(margin + border, margin + border, margin + square - border, margin + square - border, kWhite);
    const int columns[3] = {13, 21, 29};
    const int heights[3] = {22, 16, 10};
    const int width = Scale(6, square);
    for (int i = 0; i < 3; ++i) {
        const int left = margin + Scale(columns[i], square);
        const int height = Scale(heights[i], square);
        const int top = margin + (square - height) / 2;
        fill(left, top, left + width, top + height, kGrey);
    }
    return image;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// BITMAPINFOHEADER, 16-entry palette, 4-bit colour rows and the 1-bit mask,
// both bottom-up with rows padded to 4 bytes, as icon resources store them.
std::vector<uint8_t> EncodeImage(const IconImage& image) {
    const int size = image.size;
    const int colourStride = ((size * 4 + 31) / 32) * 4;
    const int maskStride = ((size + 31) / 32) * 4;
    std::vector<uint8_t> out;
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(size));
    Put32(out, static_cast<uint32_t>(size * 2));
    Put16(out, 1);
    Put16(out, 4);
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>((colourStride + maskStride) * size));
    for (int i = 0; i < 4; ++i) Put32(out, 0);
    const uint32_t palette[16] = {0x000000, 0xC0C0C0, 0xFFFFFF};
    for (uint32_t colour : palette) Put32(out, colour);
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(colourStride, 0);
        for (int x = 0; x < size; ++x) {
            const uint8_t index = image.pixels[y * size + x];
            row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskStride, 0);
        for (int x = 0; x < size; ++x) {
            if (!image.opaque[y * size + x]) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUTPUT.ico\n");
        return 2;
    }
    const int sizes[4] = {16, 32, 48, 256};
    std::vector<std::vector<uint8_t>> images;
    for (int size : sizes) images.push_back(EncodeImage(DrawIcon(size)));

    std::vector<uint8_t> file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, 4);
    uint32_t offset = 6 + 16 * 4;
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<uint8_t>(sizes[i] == 256 ? 0 : sizes[i]));
        file.push_back(static_cast<uint8_t>(sizes[i] == 256 ? 0 : sizes[i]));
        file.push_back(16);
        file.push_back(0);
        Put16(file, 1);
        Put16(file, 4);
        Put32(file, static_cast<uint32_t>(images[i].size()));
        Put32(file, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());

    FILE* out = std::fopen(argv[1], "wb");
    if (!out) return 1;
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written ? 0 : 1;
}
