// The readers of animated cursors and of cursor files' pictures.
#include <gtest/gtest.h>

#include "formats/AniFile.h"
#include "formats/CursorFile.h"
#include "support/ImageFixtures.h"

using fixtures::AniLayout;
using fixtures::Bytes;
using formats::AniStep;

namespace {

Bytes curOf(int size, fixtures::Argb colour) { return fixtures::makeCur({{fixtures::solidDib(size, colour), 1, 2}}); }

std::vector<std::pair<std::uint32_t, std::uint32_t>> stepsOf(const formats::AniFile& ani) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
    for (const AniStep& s : ani.steps) out.emplace_back(s.frame, s.jiffies);
    return out;
}

}  // namespace

TEST(AniReader, FramesAndStepsOrRefusal) {
    const std::vector<Bytes> three{curOf(16, 0xFFFF0000), curOf(16, 0xFF00FF00), curOf(16, 0xFF0000FF)};
    using Steps = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
    struct Case {
        const char* what;
        Bytes bytes;
        std::optional<Steps> steps;  // nullopt: refused
        std::size_t frames = 3;
    } cases[] = {
        {"default rate, one step a frame", fixtures::makeAni({three}), Steps{{0, 10}, {1, 10}, {2, 10}}},
        {"rate per step", fixtures::makeAni({three, {5, 6, 7}}), Steps{{0, 5}, {1, 6}, {2, 7}}},
        {"sequence and rate, info list first, odd chunk padded",
         fixtures::makeAni({.frames = three, .rate = {1, 2, 3, 4}, .sequence = {2, 0, 2, 1}, .steps = 4, .infoList = true}),
         Steps{{2, 1}, {0, 2}, {2, 3}, {1, 4}}},
        {"more steps than frames without a sequence", fixtures::makeAni({.frames = three, .steps = 9}),
         Steps{{0, 10}, {1, 10}, {2, 10}}},
        {"header counts fewer frames than the list holds", fixtures::makeAni({.frames = three, .steps = 2, .frameCount = 2}),
         Steps{{0, 10}, {1, 10}}, 2},
        {"a step names a missing frame", fixtures::makeAni({.frames = three, .sequence = {0, 3}, .steps = 2}), std::nullopt},
        {"sequence shorter than the steps", fixtures::makeAni({.frames = three, .sequence = {0, 1}, .steps = 3}), std::nullopt},
        {"rate shorter than the steps", fixtures::makeAni({.frames = three, .rate = {1}}), std::nullopt},
        {"frames are not icon files", fixtures::makeAni({.frames = three, .flags = 0}), std::nullopt},
        {"no frames", fixtures::makeAni({}), std::nullopt},
        {"not RIFF ACON", Bytes(64, 'x'), std::nullopt},
    };
    for (const auto& c : cases) {
        const auto ani = formats::readAni(c.bytes);
        ASSERT_EQ(ani.has_value(), c.steps.has_value()) << c.what;
        if (!ani) continue;
        EXPECT_EQ(stepsOf(*ani), *c.steps) << c.what;
        ASSERT_EQ(ani->frames.size(), c.frames) << c.what;
        for (std::size_t i = 0; i < c.frames; ++i) {
            const auto& f = ani->frames[i];
            EXPECT_EQ(Bytes(c.bytes.begin() + static_cast<std::ptrdiff_t>(f.offset),
                            c.bytes.begin() + static_cast<std::ptrdiff_t>(f.offset + f.size)),
                      three[i]) << c.what;
        }
    }
}

// Packs' animations that contradict themselves: read leniently, what the file holds is used
// and each disagreement is a note; read strictly, the same file is refused or cut down.
TEST(AniReader, LenientReadingUsesWhatTheFileHoldsAndSaysSo) {
    const std::vector<Bytes> three{curOf(16, 0xFFFF0000), curOf(16, 0xFF00FF00), curOf(16, 0xFF0000FF)};
    using Steps = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
    auto riffOff = [&](std::int64_t by) {
        Bytes b = fixtures::makeAni({three});
        fixtures::putU32(b, 4, static_cast<std::uint32_t>(static_cast<std::int64_t>(b.size()) - 8 + by));
        return b;
    };
    const struct {
        const char* what;
        Bytes bytes;
        Steps steps;
        std::vector<std::string> notes;
        bool strictReads;  // the strict reading takes it too (with other steps or frames)
    } cases[] = {
        {"a sound file: no notes", fixtures::makeAni({three}), Steps{{0, 10}, {1, 10}, {2, 10}}, {}, true},
        {"RIFF length 8 short", riffOff(-8), Steps{{0, 10}, {1, 10}, {2, 10}}, {"the RIFF length says"}, false},
        {"RIFF length 8 long (the whole file)", riffOff(8), Steps{{0, 10}, {1, 10}, {2, 10}}, {"the RIFF length says"}, true},
        {"header counts fewer frames", fixtures::makeAni({.frames = three, .steps = 2, .frameCount = 2}),
         Steps{{0, 10}, {1, 10}, {2, 10}}, {"counts 2 frames, the file holds 3", "counts 2 steps for 3 frames"}, true},
        {"header counts more frames and steps", fixtures::makeAni({.frames = three, .steps = 9, .frameCount = 5}),
         Steps{{0, 10}, {1, 10}, {2, 10}}, {"counts 5 frames", "counts 9 steps for 3 frames"}, true},
        {"sequence shorter than the steps", fixtures::makeAni({.frames = three, .sequence = {2, 1}, .steps = 3}),
         Steps{{2, 10}, {1, 10}}, {"counts 3 steps, the sequence holds 2"}, false},
        {"rate shorter than the steps", fixtures::makeAni({.frames = three, .rate = {4}}), Steps{{0, 4}, {1, 10}, {2, 10}},
         {"the rates cover 1 of 3 steps"}, false},
        {"a step names a missing frame", fixtures::makeAni({.frames = three, .sequence = {0, 7, 1}, .steps = 3}),
         Steps{{0, 10}, {1, 10}}, {"1 step names a frame the file lacks"}, false},
    };
    for (const auto& c : cases) {
        const auto ani = formats::readAni(c.bytes, formats::AniReading::Lenient);
        ASSERT_TRUE(ani) << c.what;
        EXPECT_EQ(stepsOf(*ani), c.steps) << c.what;
        EXPECT_EQ(ani->frames.size(), 3u) << c.what;
        ASSERT_EQ(ani->notes.size(), c.notes.size()) << c.what;
        for (std::size_t i = 0; i < c.notes.size(); ++i)
            EXPECT_NE(ani->notes[i].find(c.notes[i]), std::string::npos) << c.what << ": " << ani->notes[i];
        EXPECT_EQ(formats::readAni(c.bytes).has_value(), c.strictReads) << c.what;
    }
}

TEST(AniReader, CutShortOrLyingLengthsStayInsideTheBytes) {
    const Bytes whole = fixtures::makeAni({{curOf(16, 0xFFFF0000), curOf(16, 0xFF00FF00)}});
    // The RIFF length claims far more than the file: chunks are read to the file's end.
    Bytes lying = whole;
    fixtures::putU32(lying, 4, 0xFFFFFFF0u);
    ASSERT_TRUE(formats::readAni(lying));
    EXPECT_EQ(formats::readAni(lying)->steps.size(), 2u);
    // Cut inside the frame list: the list no longer fits, so there are no frames.
    for (std::size_t cut : {whole.size() - 1, whole.size() / 2, std::size_t{20}}) {
        const Bytes shortened(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(formats::readAni(shortened)) << cut;
    }
}

TEST(CursorFilePicture, ScaleDownRuleOverCursorAndAnimationFiles) {
    const Bytes cur = fixtures::makeCur({{fixtures::solidDib(32, 0xFFFF0000), 0, 0}, {fixtures::solidDib(48, 0xFF00FF00), 47, 47}});
    const Bytes ani = fixtures::makeAni({.frames = {curOf(24, 0xFFFF0000), curOf(24, 0xFF0000FF)}, .sequence = {1, 0}, .steps = 2});
    struct Case {
        const char* what;
        Bytes bytes;
        int size;
        int expectedSide;  // 0: no picture
        std::uint32_t centre = 0;
    } cases[] = {
        {"exact size", cur, 32, 32, 0xFFFF0000},
        {"smallest larger one shrunk", cur, 40, 40, 0xFF00FF00},
        {"largest, not enlarged", cur, 128, 48, 0xFF00FF00},
        {"the frame of the first step", ani, 128, 24, 0xFF0000FF},
        {"an icon file is not a cursor", fixtures::makeIco({{fixtures::solidDib(32, 0xFFFF0000)}}), 32, 0},
        {"a damaged image", fixtures::makeCur({{Bytes(40, 0), 0, 0}}), 32, 0},
        {"anything else", Bytes(100, 'x'), 32, 0},
    };
    for (const auto& c : cases) {
        formats::MemorySource source(c.bytes);
        const auto picture = formats::cursorFilePicture(source, c.size);
        ASSERT_EQ(picture.has_value(), c.expectedSide != 0) << c.what;
        if (!picture) continue;
        EXPECT_EQ(picture->width, c.expectedSide) << c.what;
        EXPECT_EQ(picture->height, c.expectedSide) << c.what;
        EXPECT_EQ(picture->pixel(picture->width / 2, picture->height / 2), c.centre) << c.what;
    }
}
