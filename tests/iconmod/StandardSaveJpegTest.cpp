#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "iconmod/StandardSave.h"
#include "formats/ByteView.h"
#include "support/ImageFixtures.h"

namespace {

using formats::ArgbImage;
using formats::ByteView;

// What the test reads back from a JPEG file.
struct DecodedJpeg {
    int width = 0;
    int height = 0;
    int components = 0;
    bool jfif = false;
    bool progressive = false;
    bool hasQuant[2] = {false, false};
    std::uint16_t quant[2][DCTSIZE2] = {};
    std::vector<std::uint8_t> rgb;  // decoded as RGB, 3 bytes a pixel
};

struct Trap {
    std::jmp_buf jump;
};
[[noreturn]] void trapError(j_common_ptr info) { std::longjmp(static_cast<Trap*>(info->client_data)->jump, 1); }
void quiet(j_common_ptr) {}

// Decodes with nearest-neighbour chroma so that a flat 16x16 block comes back flat.
// Locals are trivially destructible, so the error jump skips no destructor.
bool decodeJpeg(const fixtures::Bytes& bytes, DecodedJpeg& out) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    Trap trap;
    info.err = jpeg_std_error(&errors);
    errors.error_exit = trapError;
    errors.output_message = quiet;
    info.client_data = &trap;
    if (setjmp(trap.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    out.width = static_cast<int>(info.image_width);
    out.height = static_cast<int>(info.image_height);
    out.components = info.num_components;
    out.jfif = info.saw_JFIF_marker;
    out.progressive = info.progressive_mode;
    for (int t = 0; t < 2; ++t) {
        if (!info.quant_tbl_ptrs[t]) continue;
        out.hasQuant[t] = true;
        for (int k = 0; k < DCTSIZE2; ++k) out.quant[t][k] = info.quant_tbl_ptrs[t]->quantval[k];
    }
    info.out_color_space = JCS_RGB;
    info.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&info);
    out.rgb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.rgb.data() + static_cast<std::size_t>(info.output_scanline) * static_cast<std::size_t>(out.width) * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// The quantisation tables libjpeg makes for baseline quality 90.
bool quality90Tables(std::uint16_t (&tables)[2][DCTSIZE2]) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    Trap trap;
    info.err = jpeg_std_error(&errors);
    errors.error_exit = trapError;
    info.client_data = &trap;
    if (setjmp(trap.jump) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    info.in_color_space = JCS_RGB;
    info.input_components = 3;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    for (int t = 0; t < 2; ++t)
        for (int k = 0; k < DCTSIZE2; ++k) tables[t][k] = info.quant_tbl_ptrs[t]->quantval[k];
    jpeg_destroy_compress(&info);
    return true;
}

// The start-of-frame markers (0xC0..0xCF except DHT, JPG and DAC) met before the first scan.
std::vector<int> frameMarkers(ByteView v) {
    std::vector<int> found;
    std::uint64_t at = 2;  // past SOI
    while (true) {
        const auto ff = v.u8(at), code = v.u8(at + 1), hi = v.u8(at + 2), lo = v.u8(at + 3);
        if (!ff || *ff != 0xFF || !code || !hi || !lo || *code == 0xDA) break;
        if (*code >= 0xC0 && *code <= 0xCF && *code != 0xC4 && *code != 0xC8 && *code != 0xCC) found.push_back(*code);
        at += 2 + (static_cast<std::uint64_t>(*hi) << 8 | *lo);
    }
    return found;
}

}  // namespace

TEST(StandardSaveJpeg, BaselineJfifQuality90OfTheWhiteBackedPicture) {
    // Flat 16x16 quadrants (one chroma block each): opaque red, transparent, blue at half
    // cover, opaque green.
    const int size = 32;
    ArgbImage image(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            image.pixel(x, y) = y < 16 ? (x < 16 ? 0xFFFF0000 : 0x00000000) : (x < 16 ? 0x80000080 : 0xFF00A000);
    const std::uint32_t expected[2][2] = {{0xFF0000, 0xFFFFFF}, {0x7F7FFF, 0x00A000}};

    fixtures::TempDir dir;
    const std::string path = dir.file("icon.jpg");
    ASSERT_TRUE(iconmod::writeWhiteJpeg(path, image));
    const fixtures::Bytes file = fixtures::readFile(path);
    const auto encoded = iconmod::encodeJpeg(image);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(*encoded, file);

    const ByteView v(file);
    ASSERT_GE(file.size(), 4u);
    EXPECT_EQ(v.u8(0), 0xFF);
    EXPECT_EQ(v.u8(1), 0xD8);
    EXPECT_EQ(frameMarkers(v), std::vector<int>{0xC0});  // baseline, one frame

    DecodedJpeg d;
    ASSERT_TRUE(decodeJpeg(file, d));
    EXPECT_EQ(d.width, size);
    EXPECT_EQ(d.height, size);
    EXPECT_EQ(d.components, 3);
    EXPECT_TRUE(d.jfif);
    EXPECT_FALSE(d.progressive);

    std::uint16_t tables[2][DCTSIZE2];
    ASSERT_TRUE(quality90Tables(tables));
    for (int t = 0; t < 2; ++t) {
        ASSERT_TRUE(d.hasQuant[t]) << t;
        for (int k = 0; k < DCTSIZE2; ++k) EXPECT_EQ(d.quant[t][k], tables[t][k]) << t << "/" << k;
    }

    int worst = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const std::uint32_t want = expected[y / 16][x / 16];
            const std::size_t at = (static_cast<std::size_t>(y) * size + static_cast<std::size_t>(x)) * 3;
            for (int ch = 0; ch < 3; ++ch) {
                const int w = static_cast<int>((want >> (16 - 8 * ch)) & 0xFF);
                worst = std::max(worst, std::abs(w - d.rgb[at + static_cast<std::size_t>(ch)]));
            }
        }
    }
    EXPECT_LE(worst, 6);
}

TEST(StandardSaveJpeg, SmallAndOddSizesAndRefusals) {
    for (int size : {16, 1, 13}) {
        SCOPED_TRACE(size);
        const auto encoded = iconmod::encodeJpeg(ArgbImage(size, size, 0xFF336699));
        ASSERT_TRUE(encoded);
        DecodedJpeg d;
        ASSERT_TRUE(decodeJpeg(*encoded, d));
        EXPECT_EQ(d.width, size);
        EXPECT_EQ(d.height, size);
        ASSERT_FALSE(d.rgb.empty());
        EXPECT_NEAR(d.rgb[0], 0x33, 4);
        EXPECT_NEAR(d.rgb[1], 0x66, 4);
        EXPECT_NEAR(d.rgb[2], 0x99, 4);
    }
    // Wider than JPEG allows: the encoder's refusal comes back as nullopt, not an exit.
    EXPECT_FALSE(iconmod::encodeJpeg(ArgbImage(JPEG_MAX_DIMENSION + 1, 1, 0xFFFFFFFF)));
    EXPECT_FALSE(iconmod::encodeJpeg(ArgbImage()));
}
