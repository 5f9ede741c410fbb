// The window's save-all (iconmod::FileExport): every group of one file written as
// `vexil-cli extract` writes it, the program itself run on the same files as the measure.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "iconmod/FileExport.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"
#include "support/RunProgram.h"

namespace {

using fixtures::Bytes;
using fixtures::resId;
using fixtures::resName;
using Outcome = iconmod::FileExport::Outcome;

std::map<std::string, Bytes> filesIn(const std::string& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        files[e.path().filename().string()] = fixtures::readFile(e.path().string());
    return files;
}

// What the save-all writes into `dir`, every outcome Written.
void exportAll(const std::string& path, iconmod::ExtractFormat format, const std::string& dir) {
    iconmod::FileExport work(path, format);
    for (std::size_t i = 0; i < work.count(); ++i) EXPECT_EQ(work.write(i, dir, false), Outcome::Written) << work.name(i);
}

TEST(FileExport, WritesWhatExtractWritesForEveryKindOfSource) {
    // Group names that meet ignoring case are numbered as extract numbers them.
    const std::vector<fixtures::ModuleIcon> icons = {
        {resId(1), {fixtures::patternDib(16, 4), fixtures::patternDib(32, 32)}, {}},
        {resName("MAIN"), {fixtures::patternDib(48, 8)}, {}},
        {resName("main"), {fixtures::patternDib(24, 24)}, {}},
    };
    const struct {
        const char* name;
        Bytes file;
        std::size_t groups;
    } sources[] = {
        {"m.dll", fixtures::makePe(icons, {}), 3},
        {"old.exe", fixtures::makeNe(icons), 3},
        {"pack.ico", fixtures::makeIco({{fixtures::patternDib(16, 4)}, {fixtures::patternDib(32, 24)}}), 1},
    };
    for (const auto& source : sources) {
        for (const char* format : {"ico", "png"}) {
            SCOPED_TRACE(std::string(source.name) + " " + format);
            fixtures::TempDir in, byCli, byWindow;
            ASSERT_TRUE(fixtures::writeFile(in.file(source.name), source.file));
            const auto run = fixtures::runProgram({VEXIL_CLI_PATH, "extract", in.file(source.name), "-o", byCli.path(), "--format", format});
            ASSERT_EQ(run.status, 0) << run.err;
            const auto kind = std::string(format) == "png" ? iconmod::ExtractFormat::Png : iconmod::ExtractFormat::Ico;
            exportAll(in.file(source.name), kind, byWindow.path());
            const auto expected = filesIn(byCli.path());
            EXPECT_EQ(expected.size(), source.groups);
            EXPECT_EQ(filesIn(byWindow.path()), expected);
        }
    }
}

TEST(FileExport, ExistingFilesAreKeptUnlessReplacedAndFailuresAreTold) {
    fixtures::TempDir in, out;
    const std::vector<fixtures::ModuleIcon> icons = {{resId(1), {fixtures::patternDib(16, 4)}, {}},
                                                     {resId(2), {fixtures::patternDib(32, 4)}, {}}};
    ASSERT_TRUE(fixtures::writeFile(in.file("m.dll"), fixtures::makePe(icons, {})));
    ASSERT_TRUE(fixtures::writeFile(in.file("plain.txt"), Bytes{'h', 'i'}));
    ASSERT_TRUE(fixtures::writeFile(out.file("m.dll-#1.ico"), Bytes{'o', 'l', 'd'}));

    iconmod::FileExport work(in.file("m.dll"), iconmod::ExtractFormat::Ico);
    ASSERT_EQ(work.count(), 2u);
    EXPECT_EQ(work.existing(out.path()), std::vector<std::string>{"m.dll-#1.ico"});

    const struct {
        bool replace;
        Outcome first;
        std::size_t oldSize;  // of m.dll-#1.ico afterwards
    } cases[] = {{false, Outcome::Kept, 3}, {true, Outcome::Written, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(work.write(0, out.path(), c.replace), c.first);
        const Bytes now = fixtures::readFile(out.file("m.dll-#1.ico"));
        if (c.oldSize) EXPECT_EQ(now.size(), c.oldSize);
        else EXPECT_GT(now.size(), 22u);
    }
    // A folder that cannot take the file: Failed, nothing left behind.
    EXPECT_EQ(work.write(1, in.file("missing"), false), Outcome::Failed);
    EXPECT_FALSE(std::filesystem::exists(in.file("missing")));
    // A file without icons, or none at all, gives nothing to write.
    EXPECT_EQ(iconmod::FileExport(in.file("plain.txt"), iconmod::ExtractFormat::Png).count(), 0u);
    EXPECT_EQ(iconmod::FileExport(in.file("gone.dll"), iconmod::ExtractFormat::Png).count(), 0u);
}

}  // namespace
