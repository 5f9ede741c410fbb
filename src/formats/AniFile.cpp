#include "formats/AniFile.h"

#include <algorithm>

namespace formats {
namespace {

constexpr std::uint64_t kChunkHeader = 8;
constexpr std::uint32_t kAnihSize = 36;
constexpr std::uint32_t kAfIcon = 1;

// The chunks of [begin, end) in order: fn(id, dataOffset, length) for each one that fits.
template <class Fn>
void forEachChunk(ByteView bytes, std::uint64_t begin, std::uint64_t end, Fn fn) {
    std::uint64_t at = begin;
    while (at + kChunkHeader <= end) {
        const auto id = *bytes.sub(at, 4);
        const std::uint64_t length = *bytes.u32(at + 4);
        const std::uint64_t data = at + kChunkHeader;
        if (length > end - data) return;
        fn(id, data, length);
        at = data + length + (length & 1);
    }
}

}  // namespace

bool isAni(ByteView head) {
    const auto form = head.sub(8, 4);
    return head.startsWith("RIFF") && form && form->startsWith("ACON");
}

std::uint32_t jiffiesToMs(std::uint32_t jiffies) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>((std::uint64_t{jiffies} * 1000 + 30) / 60, 0xFFFFFFFFu));
}

std::optional<AniFile> readAni(ByteView bytes) {
    if (!isAni(bytes)) return std::nullopt;
    const std::uint64_t end = std::min<std::uint64_t>(bytes.size(), kChunkHeader + std::uint64_t{*bytes.u32(4)});

    std::optional<ByteView> header, rate, sequence;
    std::vector<AniFrame> frames;
    forEachChunk(bytes, 12, end, [&](ByteView id, std::uint64_t data, std::uint64_t length) {
        if (id.startsWith("anih") && !header) header = bytes.sub(data, length);
        else if (id.startsWith("rate") && !rate) rate = bytes.sub(data, length);
        else if (id.startsWith("seq ") && !sequence) sequence = bytes.sub(data, length);
        else if (id.startsWith("LIST") && length >= 4 && bytes.sub(data, 4)->startsWith("fram") && frames.empty()) {
            forEachChunk(bytes, data + 4, data + length, [&](ByteView inner, std::uint64_t at, std::uint64_t size) {
                if (inner.startsWith("icon")) frames.push_back({static_cast<std::size_t>(at), static_cast<std::size_t>(size)});
            });
        }
    });
    if (!header || header->size() < kAnihSize || *header->u32(0) < kAnihSize) return std::nullopt;
    const std::uint32_t frameCount = *header->u32(4);
    std::uint64_t stepCount = *header->u32(8);
    const std::uint32_t defaultRate = *header->u32(28);
    if ((*header->u32(32) & kAfIcon) == 0) return std::nullopt;
    if (frames.size() > frameCount) frames.resize(frameCount);
    if (frames.empty()) return std::nullopt;

    // The step list is never longer than a chunk of the file describes, or than the frames.
    if (sequence) {
        if (sequence->size() / 4 < stepCount) return std::nullopt;
    } else {
        stepCount = std::min<std::uint64_t>(stepCount == 0 ? frames.size() : stepCount, frames.size());
    }
    if (rate && rate->size() / 4 < stepCount) return std::nullopt;

    AniFile ani;
    ani.frames = std::move(frames);
    ani.steps.reserve(static_cast<std::size_t>(stepCount));
    for (std::uint64_t i = 0; i < stepCount; ++i) {
        AniStep step;
        step.frame = sequence ? *sequence->u32(4 * i) : static_cast<std::uint32_t>(i);
        step.jiffies = rate ? *rate->u32(4 * i) : defaultRate;
        if (step.frame >= ani.frames.size()) return std::nullopt;
        ani.steps.push_back(step);
    }
    if (ani.steps.empty()) return std::nullopt;
    return ani;
}

}  // namespace formats
