#include "formats/AniFile.h"

#include <algorithm>

namespace formats {
namespace {

constexpr std::uint64_t kChunkHeader = 8;
constexpr std::uint32_t kAnihSize = 36;
constexpr std::uint32_t kAfIcon = 1;

// Steps are made from "rate" and "seq " this many at a time, so that only the steps
// themselves are held.
constexpr std::uint64_t kStepsPerRead = 16384;

// Where a chunk's data lies in the source.
struct ChunkSpan {
    std::uint64_t at = 0;
    std::uint64_t length = 0;
};

// The chunks of [begin, end) of the source in order: fn(id, dataOffset, length) for each one
// that fits. A chunk header that cannot be read ends the walk.
template <class Fn>
void forEachChunk(ByteSource& source, std::uint64_t begin, std::uint64_t end, Fn fn) {
    std::uint64_t at = begin;
    while (at + kChunkHeader <= end) {
        const auto header = source.read(at, kChunkHeader);
        if (!header) return;
        const ByteView h(*header);
        const std::uint64_t length = *h.u32(4);
        const std::uint64_t data = at + kChunkHeader;
        if (length > end - data) return;
        fn(*h.sub(0, 4), data, length);
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
    ViewSource source(bytes);
    return readAni(source, 0, bytes.size());
}

std::optional<AniFile> readAni(ByteSource& source, std::uint64_t begin, std::uint64_t size) {
    if (!source.fits(begin, size)) return std::nullopt;
    const auto head = source.read(begin, std::min<std::uint64_t>(size, 12));
    if (!head || !isAni(*head)) return std::nullopt;
    const std::uint64_t end = begin + std::min<std::uint64_t>(size, kChunkHeader + std::uint64_t{*ByteView(*head).u32(4)});

    std::optional<ChunkSpan> header, rate, sequence;
    std::vector<AniFrame> frames;
    forEachChunk(source, begin + 12, end, [&](ByteView id, std::uint64_t data, std::uint64_t length) {
        if (id.startsWith("anih") && !header) header = ChunkSpan{data, length};
        else if (id.startsWith("rate") && !rate) rate = ChunkSpan{data, length};
        else if (id.startsWith("seq ") && !sequence) sequence = ChunkSpan{data, length};
        else if (id.startsWith("LIST") && length >= 4 && frames.empty()) {
            const auto form = source.read(data, 4);
            if (!form || !ByteView(*form).startsWith("fram")) return;
            forEachChunk(source, data + 4, data + length, [&](ByteView inner, std::uint64_t at, std::uint64_t chunkSize) {
                if (inner.startsWith("icon")) frames.push_back({static_cast<std::size_t>(at), static_cast<std::size_t>(chunkSize)});
            });
        }
    });
    if (!header || header->length < kAnihSize) return std::nullopt;
    const auto anihBytes = source.read(header->at, kAnihSize);
    if (!anihBytes) return std::nullopt;
    const ByteView anih(*anihBytes);
    if (*anih.u32(0) < kAnihSize) return std::nullopt;
    const std::uint32_t frameCount = *anih.u32(4);
    std::uint64_t stepCount = *anih.u32(8);
    const std::uint32_t defaultRate = *anih.u32(28);
    if ((*anih.u32(32) & kAfIcon) == 0) return std::nullopt;
    if (frames.size() > frameCount) frames.resize(frameCount);
    if (frames.empty()) return std::nullopt;

    // The step list is never longer than a chunk of the file describes, or than the frames.
    if (sequence) {
        if (sequence->length / 4 < stepCount) return std::nullopt;
    } else {
        stepCount = std::min<std::uint64_t>(stepCount == 0 ? frames.size() : stepCount, frames.size());
    }
    if (rate && rate->length / 4 < stepCount) return std::nullopt;

    AniFile ani;
    ani.frames = std::move(frames);
    ani.steps.reserve(static_cast<std::size_t>(stepCount));
    for (std::uint64_t first = 0; first < stepCount; first += kStepsPerRead) {
        const std::uint64_t count = std::min(kStepsPerRead, stepCount - first);
        const auto frameIndices = sequence ? source.read(sequence->at + 4 * first, 4 * count) : std::nullopt;
        const auto delays = rate ? source.read(rate->at + 4 * first, 4 * count) : std::nullopt;
        if ((sequence && !frameIndices) || (rate && !delays)) return std::nullopt;
        for (std::uint64_t i = 0; i < count; ++i) {
            AniStep step;
            step.frame = frameIndices ? *ByteView(*frameIndices).u32(4 * i) : static_cast<std::uint32_t>(first + i);
            step.jiffies = delays ? *ByteView(*delays).u32(4 * i) : defaultRate;
            if (step.frame >= ani.frames.size()) return std::nullopt;
            ani.steps.push_back(step);
        }
    }
    if (ani.steps.empty()) return std::nullopt;
    return ani;
}

}  // namespace formats
