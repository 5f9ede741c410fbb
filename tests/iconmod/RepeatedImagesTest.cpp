// Directories that name one image many times: the image is held once, a set that can be
// written is saved exactly, one whose ICO file would pass 4 GiB is refused (its listing too).
#include <gtest/gtest.h>

#include "iconmod/IconGroups.h"
#include "iconmod/Iconmod.h"
#include "support/ImageFixtures.h"
#include "support/ImageLines.h"
#include "support/MessageRecorder.h"
#include "support/ModuleFixtures.h"

using fixtures::Bytes;
using fixtures::getU32;
using iconmod::QIconMod;
namespace text = iconmod::text;

namespace {

bool allShareTheFirst(const iconmod::IconImageSet& set) {
    for (const auto& image : set.Images)
        if (!image.Data.sameAs(set.Images[0].Data)) return false;
    return true;
}

// 128 x 128 at 32 bits: 67,624 bytes, so 65,535 copies need more than 4 GiB.
const Bytes kLarge = fixtures::patternDib(128, 32);
const Bytes kSmall = fixtures::patternDib(16, 4);

}  // namespace

TEST(RepeatedImages, HeldOnceSavedExactlyOrRefusedPast4GiB) {
    struct Case {
        const char* what;
        bool ico;
        const Bytes& image;
        int count;
        bool loads;
    } cases[] = {
        {"ico, 512 x small", true, kSmall, 512, true},
        {"ico, 65535 x large", true, kLarge, 65535, false},
        {"module, 512 x small", false, kSmall, 512, true},
        {"module, 65535 x large", false, kLarge, 65535, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::TempDir dir;
        const std::string path = dir.file(c.ico ? "many.ico" : "many.dll");
        ASSERT_TRUE(fixtures::writeFile(path, c.ico ? fixtures::icoRepeatingOneImage(c.image, c.count) : fixtures::moduleRepeatingOneImage(c.image, c.count)));
        fixtures::MessageRecorder rec;
        QIconMod source(path);
        // The listing `images` prints comes from headers alone and refuses what a load refuses.
        std::optional<iconmod::ImageEntries> listed;
        bool loaded = false;
        if (c.ico) {
            listed = QIconMod::fnListIcoFile(path);
            loaded = source.fnOpen();
        } else {
            ASSERT_TRUE(source.fnOpen());
            source.GroupName = "#1";
            listed = iconmod::fnListGroupImages(source);
            loaded = iconmod::fnLoadGroup(source);
        }
        ASSERT_EQ(loaded, c.loads);
        ASSERT_EQ(listed.has_value(), c.loads);
        if (!c.loads) {
            EXPECT_EQ(source.Images, nullptr);
            const std::string expected = c.ico ? text::kIcoDataReadFailed : text::kGroupMemoryFailed;
            EXPECT_EQ(rec.texts(), std::vector<std::string>(2, expected));
            EXPECT_EQ(rec.messages()[0].title, path);
            continue;
        }
        ASSERT_EQ(source.Images->Count(), static_cast<std::uint32_t>(c.count));
        EXPECT_EQ(fixtures::imageLines(*listed), fixtures::imageLines(*source.Images));
        EXPECT_TRUE(allShareTheFirst(*source.Images));

        // Written as often as named, each entry with its own offset.
        ASSERT_TRUE(source.fnSaveIco(dir.file("out.ico"), -1));
        const Bytes out = fixtures::readFile(dir.file("out.ico"));
        const std::size_t first = 6 + 16 * static_cast<std::size_t>(c.count);
        ASSERT_EQ(out.size(), first + c.image.size() * static_cast<std::size_t>(c.count));
        for (int i : {0, 1, c.count - 1}) {
            const std::size_t at = first + c.image.size() * static_cast<std::size_t>(i);
            EXPECT_EQ(getU32(out, 6 + 16 * static_cast<std::size_t>(i) + 12), at) << i;
            EXPECT_TRUE(std::equal(c.image.begin() + 24, c.image.end(), out.begin() + static_cast<std::ptrdiff_t>(at + 24))) << i;
        }
        EXPECT_TRUE(rec.messages().empty());
    }
}

// Distinct ids whose data entries all point at one large image claim more bytes than the
// file holds: the group is refused as a set that cannot be allocated.
TEST(RepeatedImages, OverlappingResourcesBeyondTheFileAreRefused) {
    std::vector<fixtures::ModuleIcon> icons{{fixtures::resId(1), {kLarge}, {}}};
    std::vector<Bytes> images{kLarge};
    for (int i = 0; i < 40; ++i) images.push_back(kSmall);
    icons[0].images = images;
    fixtures::PeLayout layout;
    Bytes pe = fixtures::makePe(icons, {}, &layout);
    const auto& big = layout.at(fixtures::resId(3), fixtures::resId(1));
    for (std::uint16_t id = 2; id <= 41; ++id) {
        const auto& e = layout.at(fixtures::resId(3), fixtures::resId(id));
        for (std::size_t k = 0; k < 8; ++k) pe[e.dataEntry + k] = pe[big.dataEntry + k];  // RVA and size
    }
    fixtures::TempDir dir;
    ASSERT_TRUE(fixtures::writeFile(dir.file("overlap.dll"), pe));
    fixtures::MessageRecorder rec;
    QIconMod source(dir.file("overlap.dll"));
    ASSERT_TRUE(source.fnOpen());
    source.GroupName = "#1";
    EXPECT_FALSE(iconmod::fnListGroupImages(source));
    EXPECT_FALSE(iconmod::fnLoadGroup(source));
    EXPECT_EQ(source.Images, nullptr);
    EXPECT_EQ(rec.texts(), std::vector<std::string>(2, text::kGroupMemoryFailed));  // listed, then loaded
}
