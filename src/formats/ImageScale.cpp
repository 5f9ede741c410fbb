// Scaling a decoded picture. Each direction is handled on its own: where it shrinks, every
// target pixel averages the source pixels it covers, each weighted by the part of it that
// is covered; where it grows, every target pixel takes the source pixel under its centre.
// The arithmetic is exact integer arithmetic on premultiplied channels, rounded once.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "formats/IconDecode.h"

namespace formats {

namespace {

// For each target index, the source indices it takes and their weights. Every target
// index's weights add up to `total`.
struct Taps {
    std::vector<int> first;           // per target index: position of its first tap
    std::vector<int> count;           // per target index: number of taps
    std::vector<int> source;          // all taps, target index by target index
    std::vector<std::uint32_t> weight;
    std::uint32_t total = 1;
};

Taps makeTaps(int from, int to) {
    Taps t;
    t.first.resize(static_cast<std::size_t>(to));
    t.count.resize(static_cast<std::size_t>(to));
    const auto src = static_cast<std::int64_t>(from), dst = static_cast<std::int64_t>(to);
    if (to >= from) {
        // Same size or growing: one source pixel each, the one under the target's centre.
        t.source.reserve(static_cast<std::size_t>(to));
        for (std::int64_t i = 0; i < dst; ++i) {
            t.first[static_cast<std::size_t>(i)] = static_cast<int>(i);
            t.count[static_cast<std::size_t>(i)] = 1;
            t.source.push_back(static_cast<int>((2 * i + 1) * src / (2 * dst)));
            t.weight.push_back(1);
        }
        return t;
    }
    // Shrinking: measured in 1/dst of a source pixel, target i covers [i*src, (i+1)*src)
    // and source j covers [j*dst, (j+1)*dst); the weight is the overlap.
    t.total = static_cast<std::uint32_t>(src);
    for (std::int64_t i = 0; i < dst; ++i) {
        const std::int64_t begin = i * src, end = begin + src;
        t.first[static_cast<std::size_t>(i)] = static_cast<int>(t.source.size());
        for (std::int64_t j = begin / dst; j * dst < end; ++j) {
            const std::int64_t overlap = std::min(end, (j + 1) * dst) - std::max(begin, j * dst);
            t.source.push_back(static_cast<int>(j));
            t.weight.push_back(static_cast<std::uint32_t>(overlap));
        }
        t.count[static_cast<std::size_t>(i)] = static_cast<int>(t.source.size()) - t.first[static_cast<std::size_t>(i)];
    }
    return t;
}

// Halving both sides, the commonest shrink (256 to 128, 64 to 32, 32 to 16): each target
// pixel is the mean of a 2 x 2 block, rounded as the general path rounds (its weights are
// all equal there), without that path's intermediate rows.
ArgbImage halve(const ArgbImage& image) {
    ArgbImage result(image.width / 2, image.height / 2);
    for (int y = 0; y < result.height; ++y) {
        for (int x = 0; x < result.width; ++x) {
            const std::uint32_t p[4] = {image.pixel(2 * x, 2 * y), image.pixel(2 * x + 1, 2 * y),
                                        image.pixel(2 * x, 2 * y + 1), image.pixel(2 * x + 1, 2 * y + 1)};
            std::uint32_t a = 2, r = 2, g = 2, b = 2;
            for (std::uint32_t q : p) {
                a += argbAlpha(q);
                r += argbRed(q);
                g += argbGreen(q);
                b += argbBlue(q);
            }
            result.pixel(x, y) = makeArgb(a / 4, r / 4, g / 4, b / 4);
        }
    }
    return result;
}

}  // namespace

ArgbImage scaleImage(const ArgbImage& image, int width, int height) {
    if (image.isNull() || width <= 0 || height <= 0) return ArgbImage();
    if (width == image.width && height == image.height) return image;
    if (width * 2 == image.width && height * 2 == image.height) return halve(image);

    const Taps across = makeTaps(image.width, width);
    const Taps down = makeTaps(image.height, height);
    const auto w = static_cast<std::size_t>(width);

    // Pass 1: each source row to the target width, as weighted sums (4 channels a pixel).
    std::vector<std::uint64_t> rows(static_cast<std::size_t>(image.height) * w * 4);
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t* in = image.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width);
        std::uint64_t* out = rows.data() + static_cast<std::size_t>(y) * w * 4;
        for (std::size_t x = 0; x < w; ++x, out += 4) {
            const int first = across.first[x], end = first + across.count[x];
            for (int k = first; k < end; ++k) {
                const std::uint32_t p = in[across.source[static_cast<std::size_t>(k)]];
                const std::uint64_t wt = across.weight[static_cast<std::size_t>(k)];
                out[0] += argbAlpha(p) * wt;
                out[1] += argbRed(p) * wt;
                out[2] += argbGreen(p) * wt;
                out[3] += argbBlue(p) * wt;
            }
        }
    }

    // Pass 2: the target rows from those sums, then one rounded division.
    ArgbImage result(width, height);
    const std::uint64_t divisor = std::uint64_t{across.total} * down.total;
    std::vector<std::uint64_t> sum(w * 4);
    for (int y = 0; y < height; ++y) {
        std::fill(sum.begin(), sum.end(), 0);
        const auto uy = static_cast<std::size_t>(y);
        const int first = down.first[uy], end = first + down.count[uy];
        for (int k = first; k < end; ++k) {
            const std::uint64_t* in = rows.data() + static_cast<std::size_t>(down.source[static_cast<std::size_t>(k)]) * w * 4;
            const std::uint64_t wt = down.weight[static_cast<std::size_t>(k)];
            for (std::size_t i = 0; i < w * 4; ++i) sum[i] += in[i] * wt;
        }
        for (std::size_t x = 0; x < w; ++x) {
            auto c = [&](int ch) { return static_cast<std::uint32_t>((sum[x * 4 + static_cast<std::size_t>(ch)] + divisor / 2) / divisor); };
            result.pixel(static_cast<int>(x), y) = makeArgb(c(0), c(1), c(2), c(3));
        }
    }
    return result;
}

namespace {

// A target position between two source pixels: weights of the second in 1/256.
struct Lerp {
    int a = 0;
    int b = 0;
    std::uint32_t wb = 0;
};

std::vector<Lerp> lerps(int from, int to) {
    std::vector<Lerp> out(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i) {
        // The target pixel's centre in source pixels, measured from the first one's centre.
        const std::int64_t pos = ((2 * std::int64_t{i} + 1) * from * 256 - std::int64_t{to} * 256) / (2 * std::int64_t{to});
        Lerp& l = out[static_cast<std::size_t>(i)];
        if (pos <= 0) continue;
        l.a = static_cast<int>(std::min<std::int64_t>(pos / 256, from - 1));
        l.b = std::min(l.a + 1, from - 1);
        l.wb = l.a == l.b ? 0 : static_cast<std::uint32_t>(pos % 256);
    }
    return out;
}

}  // namespace

ArgbImage enlargeSmoothly(const ArgbImage& image, int width, int height) {
    if (image.isNull() || width <= 0 || height <= 0) return ArgbImage();
    if (width < image.width || height < image.height) return scaleImage(image, width, height);
    const std::vector<Lerp> across = lerps(image.width, width);
    const std::vector<Lerp> down = lerps(image.height, height);
    ArgbImage result(width, height);
    for (int y = 0; y < height; ++y) {
        const Lerp& v = down[static_cast<std::size_t>(y)];
        for (int x = 0; x < width; ++x) {
            const Lerp& h = across[static_cast<std::size_t>(x)];
            const std::uint32_t p[4] = {image.pixel(h.a, v.a), image.pixel(h.b, v.a), image.pixel(h.a, v.b), image.pixel(h.b, v.b)};
            const std::uint32_t w[4] = {(256 - h.wb) * (256 - v.wb), h.wb * (256 - v.wb), (256 - h.wb) * v.wb, h.wb * v.wb};
            std::uint32_t c[4] = {32768, 32768, 32768, 32768};
            for (int k = 0; k < 4; ++k) {
                c[0] += argbAlpha(p[k]) * w[k];
                c[1] += argbRed(p[k]) * w[k];
                c[2] += argbGreen(p[k]) * w[k];
                c[3] += argbBlue(p[k]) * w[k];
            }
            result.pixel(x, y) = makeArgb(c[0] >> 16, c[1] >> 16, c[2] >> 16, c[3] >> 16);
        }
    }
    return result;
}

ArgbImage shrinkToFit(const ArgbImage& image, int size) {
    if (image.width <= size && image.height <= size) return image;
    const int w = image.width >= image.height ? size : std::max(1, image.width * size / image.height);
    const int h = image.height >= image.width ? size : std::max(1, image.height * size / image.width);
    return scaleImage(image, w, h);
}

}  // namespace formats
