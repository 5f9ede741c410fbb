// A folder that only this user can enter, for files the program hands to others while it
// runs (a picture dragged out of the window): made on first use (mode 0700) under
// $XDG_RUNTIME_DIR, else under /tmp, and removed with everything in it when the object goes.
#pragma once

#include <string>

namespace platform {

class PrivateFolder {
public:
    // `prefix` starts the folder's name; random letters follow.
    explicit PrivateFolder(std::string prefix);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    // The folder's path, made on the first call; empty when it cannot be made.
    const std::string& path();

private:
    std::string prefix_;
    std::string path_;
};

}  // namespace platform
