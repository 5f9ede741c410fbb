#include <gtest/gtest.h>

#include "formats/CursorRoles.h"
#include "support/InfFixtures.h"

using formats::CursorRole;

TEST(CursorRoles, GuessesARoleFromTheWordsOfAFileName) {
    const struct {
        const char* name;
        std::optional<CursorRole> role;
    } cases[] = {
        {"Hand writing.cur", CursorRole::NWPen},  // the joined words before "hand"
        {"handwriting.ani", CursorRole::NWPen},
        {"HandWriting.cur", CursorRole::NWPen},
        {"hand.cur", CursorRole::Hand},
        {"Link Select.cur", CursorRole::Hand},
        {"UpArrow.cur", CursorRole::UpArrow},  // before "arrow"
        {"up_arrow.cur", CursorRole::UpArrow},
        {"arrow2.cur", CursorRole::Arrow},     // digits after the word
        {"01 - Normal Select.cur", CursorRole::Arrow},
        {"Unavailable.cur", CursorRole::No},
        {"unavailiable.cur", CursorRole::No},
        {"aero_unavail_xl.cur", CursorRole::No},
        {"IBeam.cur", CursorRole::IBeam},
        {"NWPen.cur", CursorRole::NWPen},
        {"SizeNWSE.cur", CursorRole::SizeNWSE},
        {"sizeNESW.cur", CursorRole::SizeNESW},
        {"dgn1.cur", CursorRole::SizeNWSE},
        {"Dgn2.cur", CursorRole::SizeNESW},
        {"Diagonal Resize 1.cur", CursorRole::SizeNWSE},
        {"Diagonal Resize 2.cur", CursorRole::SizeNESW},
        {"Vertical Resize.cur", CursorRole::SizeNS},
        {"horz.cur", CursorRole::SizeWE},
        {"Working in Background.ani", CursorRole::AppStarting},
        {"AppStarting.ani", CursorRole::AppStarting},
        {"BUSY.ANI", CursorRole::Wait},
        {"Precision Select.cur", CursorRole::Crosshair},
        {"crosshair.cur", CursorRole::Crosshair},
        {"Text Select.cur", CursorRole::IBeam},
        {"Alternate Select.cur", CursorRole::UpArrow},
        {"Move.cur", CursorRole::SizeAll},
        {"Help Select.cur", CursorRole::Help},
        {"question.cur", CursorRole::Help},
        {"Location Select.cur", CursorRole::Pin},
        {"Person Select.cur", CursorRole::Person},
        {"pinned.cur", std::nullopt},  // whole words only
        {"Diagonal.cur", std::nullopt},
        {"notes.cur", std::nullopt},
        {".cur", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(formats::cursorRoleOfFileName(c.name), c.role) << c.name;
}

TEST(CursorRoles, AssignsFilesAndSaysWhichWinsWhenSeveralClaimARole) {
    const auto guess = formats::guessCursorRoles({"readme.txt", "Normal Select.cur", "arrow.cur", "ARROW.ani", "arrow old.cur",
                                                  "busy.ani", "install.inf", "mystery.cur", "Hand writing.cur", "Link Select.cur"});
    EXPECT_EQ(guess.files[formats::roleIndex(CursorRole::Arrow)], "ARROW.ani");  // ties with "arrow.cur", first by name
    EXPECT_EQ(guess.files[formats::roleIndex(CursorRole::Wait)], "busy.ani");
    EXPECT_EQ(guess.files[formats::roleIndex(CursorRole::NWPen)], "Hand writing.cur");
    EXPECT_EQ(guess.files[formats::roleIndex(CursorRole::Hand)], "Link Select.cur");
    EXPECT_EQ(guess.files[formats::roleIndex(CursorRole::Help)], "");
    EXPECT_EQ(guess.unmatched, std::vector<std::string>{"mystery.cur"});
    ASSERT_EQ(guess.warnings.size(), 1u);
    EXPECT_EQ(guess.warnings[0], "Arrow: 4 files claim it (ARROW.ani, arrow.cur, arrow old.cur, Normal Select.cur); "
                                 "ARROW.ani taken: fewest other letters and digits, then first by name");

    // The template's own files, each found in its role.
    std::vector<std::string> names(fixtures::kTemplateInfFiles.begin(), fixtures::kTemplateInfFiles.end());
    const auto all = formats::guessCursorRoles(names);
    for (std::size_t r = 0; r < formats::kCursorRoleCount; ++r) EXPECT_EQ(all.files[r], names[r]);
    EXPECT_TRUE(all.warnings.empty());
    EXPECT_TRUE(all.unmatched.empty());
}

TEST(CursorRoles, FindsFilesWithoutRegardToCase) {
    const std::vector<std::string> present = {"Setup.INF", "Arrow.CUR", "arrow.cur", "Busy.ani", "Install.Inf", "x.inf"};
    const struct {
        const char* wanted;
        std::optional<std::string> found;
    } cases[] = {
        {"arrow.cur", "arrow.cur"},  // the same bytes first
        {"ARROW.cur", "Arrow.CUR"},  // else the first in the order given
        {"busy.ANI", "Busy.ani"},
        {"help.cur", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(formats::findFileName(present, c.wanted), c.found) << c.wanted;

    EXPECT_EQ(formats::findInfFile(present), "Install.Inf");
    EXPECT_EQ(formats::findInfFile({"z.inf", "Setup.INF", "a.txt"}), "Setup.INF");
    EXPECT_EQ(formats::findInfFile({"a.txt", ".inf"}), std::nullopt);
    EXPECT_EQ(formats::cursorRoleFromValueName("sizenwse"), CursorRole::SizeNWSE);
    EXPECT_EQ(formats::cursorRoleFromValueName("Arow"), std::nullopt);
}
