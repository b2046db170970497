#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::uint32_t le(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

std::string iconBytes() {
    std::ifstream in(REEF_ICON_FILE, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(IconFile, OneThirtyTwoPixelImageOf32BitsIn4286Bytes) {
    const std::string ico = iconBytes();
    ASSERT_EQ(ico.size(), 4286u);
    EXPECT_EQ(le(ico, 0, 2), 0u);  // reserved
    EXPECT_EQ(le(ico, 2, 2), 1u);  // icon, not cursor
    EXPECT_EQ(le(ico, 4, 2), 1u);  // one image
    EXPECT_EQ(le(ico, 6, 1), 32u); // width
    EXPECT_EQ(le(ico, 7, 1), 32u); // height
    EXPECT_EQ(le(ico, 12, 2), 32u) << "bits per pixel";
    EXPECT_EQ(le(ico, 14, 4), 40u + 4096u + 128u) << "image size";
    EXPECT_EQ(le(ico, 18, 4), 22u) << "image offset";
    EXPECT_EQ(le(ico, 22, 4), 40u) << "bitmap header size";
    EXPECT_EQ(le(ico, 26, 4), 32u);
    EXPECT_EQ(le(ico, 30, 4), 64u) << "colour and mask stacked";
    EXPECT_EQ(le(ico, 36, 2), 32u);
}

TEST(IconFile, MaskMatchesTheTransparentPixels) {
    const std::string ico = iconBytes();
    ASSERT_EQ(ico.size(), 4286u);
    const std::size_t colour = 62;
    const std::size_t mask = colour + 4096;
    int opaque = 0;
    for (std::size_t row = 0; row < 32; ++row) {
        for (std::size_t col = 0; col < 32; ++col) {
            const auto alpha = static_cast<unsigned char>(ico[colour + (row * 32 + col) * 4 + 3]);
            const bool masked =
                (static_cast<unsigned char>(ico[mask + row * 4 + col / 8]) >> (7 - col % 8)) & 1;
            EXPECT_EQ(masked, alpha == 0) << "row " << row << " col " << col;
            opaque += alpha != 0;
        }
    }
    EXPECT_GT(opaque, 600) << "a picture, not an empty image";
}
