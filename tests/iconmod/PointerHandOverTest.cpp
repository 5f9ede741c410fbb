// The hand-over from a sandboxed reader of a file that names an icon: what it found comes
// back whole, and anything but a well-formed hand-over within 4 KiB is refused.
#include <gtest/gtest.h>

#include "iconmod/PointerHandOver.h"

namespace {

using formats::StoredText;
using iconmod::PointerContents;
using iconmod::PointerKind;

TEST(PointerHandOver, CarriesWhatWasFoundAndRefusesAnythingElse) {
    PointerContents link;
    link.kind = PointerKind::Shortcut;
    link.icon = formats::IniIconReference{StoredText::ansi("C:\\a\\b.dll,-3"), StoredText::ansi("C:\\a\\b.dll"), -3};
    link.targets = {{StoredText::utf8("C:\\a\\ゲーム.exe"), false}, {StoredText::ansi("\\\\server\\share\\x.exe"), true}};
    const auto bytes = iconmod::handOverPointer(link);
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(iconmod::isPointerHandOver(*bytes));
    const auto taken = iconmod::takePointerHandOver(*bytes);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->kind, PointerKind::Shortcut);
    ASSERT_TRUE(taken->icon);
    EXPECT_EQ(taken->icon->location, link.icon->location);
    EXPECT_EQ(taken->icon->path, link.icon->path);
    EXPECT_EQ(taken->icon->index, -3);
    ASSERT_EQ(taken->targets.size(), 2u);
    EXPECT_EQ(taken->targets[0].path, link.targets[0].path);
    EXPECT_EQ(taken->targets[1].path.codePage, formats::kAnsiCodePage);
    EXPECT_TRUE(taken->targets[1].network);

    // What is not handed over at all.
    PointerContents tooLong = link;
    tooLong.targets.push_back({StoredText::utf8(std::string(5000, 'x')), false});
    PointerContents failed = link;
    failed.failure = iconmod::PointerFailure{iconmod::PointerFailure::Step::NoIcon, "x", ""};
    PointerContents package;
    package.kind = PointerKind::Package;
    package.iconBytes = {1, 2, 3};
    for (const PointerContents* c : {&tooLong, &failed, &package}) EXPECT_FALSE(iconmod::handOverPointer(*c));

    // What is refused when it comes back: every cut short, changed kinds and fields, an
    // index where none belongs, the icon after a target, targets of an INI file, nothing.
    for (std::size_t n = 0; n < bytes->size(); ++n)
        EXPECT_FALSE(iconmod::takePointerHandOver(formats::ByteView(bytes->data(), n))) << n;
    const auto changed = [&](std::size_t at, std::uint8_t value) {
        formats::Bytes b = *bytes;
        b.at(at) = value;
        return b;
    };
    constexpr std::size_t kKind = 8, kCount = 9, kFirstField = 10, kFirstIndex = 15;
    for (const formats::Bytes& b : {changed(7, 2), changed(kKind, 0), changed(kKind, 9), changed(kKind, 5),
                                    changed(kCount, 3), changed(kFirstField, 9), changed(kFirstField, 2),
                                    changed(kFirstIndex, 1)})
        EXPECT_FALSE(iconmod::takePointerHandOver(b));
    PointerContents targetOnly;
    targetOnly.kind = PointerKind::Shortcut;
    targetOnly.targets = link.targets;
    const auto targetBytes = iconmod::handOverPointer(targetOnly);
    ASSERT_TRUE(targetBytes);
    formats::Bytes iconAfterTarget = *targetBytes;
    PointerContents iconOnly;
    iconOnly.kind = PointerKind::Shortcut;
    iconOnly.icon = link.icon;
    const auto iconRecords = iconmod::handOverPointer(iconOnly);
    ASSERT_TRUE(iconRecords);
    iconAfterTarget.insert(iconAfterTarget.end(), iconRecords->begin() + kFirstField, iconRecords->end());
    iconAfterTarget.at(kCount) = 4;
    EXPECT_FALSE(iconmod::takePointerHandOver(iconAfterTarget));
    EXPECT_FALSE(iconmod::takePointerHandOver(changed(kKind, static_cast<std::uint8_t>(PointerKind::InternetShortcut))));
    EXPECT_FALSE(iconmod::takePointerHandOver(formats::Bytes(bytes->begin(), bytes->begin() + kFirstField)));
}

}  // namespace
