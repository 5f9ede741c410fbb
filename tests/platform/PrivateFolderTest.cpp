// The folder a drag out of the window writes its pictures to.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/PrivateFolder.h"
#include "support/ImageFixtures.h"

namespace {

// Sets an environment variable (or unsets it) for the life of the object.
class EnvValue {
public:
    EnvValue(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) ::setenv(name, value->c_str(), 1);
        else ::unsetenv(name);
    }
    ~EnvValue() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(PrivateFolder, OnlyTheUsersUnderTheRuntimeFolderElseTmpAndGoneWithItsFiles) {
    fixtures::TempDir runtime;
    const struct {
        std::optional<std::string> runtimeDir;
        std::string base;
    } cases[] = {
        {runtime.path(), runtime.path()},
        {std::nullopt, "/tmp"},
        {"relative/dir", "/tmp"},
        {runtime.file("missing"), "/tmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.runtimeDir.value_or("(unset)"));
        EnvValue env("XDG_RUNTIME_DIR", c.runtimeDir);
        std::string made;
        {
            platform::PrivateFolder folder("vexil-test-");
            made = folder.path();
            ASSERT_FALSE(made.empty());
            EXPECT_EQ(folder.path(), made);  // made once
            EXPECT_EQ(std::filesystem::path(made).parent_path().string(), c.base);
            EXPECT_EQ(std::filesystem::path(made).filename().string().rfind("vexil-test-", 0), 0u);
            struct stat st {};
            ASSERT_EQ(::stat(made.c_str(), &st), 0);
            EXPECT_TRUE(S_ISDIR(st.st_mode));
            EXPECT_EQ(st.st_mode & 0777, 0700u);
            ASSERT_TRUE(fixtures::writeFile(made + "/picture.png", fixtures::Bytes{1, 2, 3}));
        }
        EXPECT_FALSE(std::filesystem::exists(made));
    }
}

}  // namespace
