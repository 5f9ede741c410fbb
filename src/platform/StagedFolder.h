// Folders that appear whole or not at all: a folder is filled under a hidden name beside
// its place and then moved there by one rename, so that a reader (a desktop looking for a
// theme) sees the old folder or the new one, never a part of either, and a failure leaves
// nothing behind.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Makes `folder` and every missing folder above it; `made` receives those it made,
// outermost first. False with *error set (the system's words) when it cannot.
bool makeFolders(const std::string& folder, std::vector<std::string>* made, std::string* error);

// Removes a folder and everything in it, never following a symbolic link (a link is
// removed, not what it points to). True when nothing is left (also when nothing was there).
bool removeTree(const std::string& path);

class StagedFolder {
public:
    StagedFolder() = default;
    ~StagedFolder();  // removes the staging folder and what it holds unless published
    StagedFolder(const StagedFolder&) = delete;
    StagedFolder& operator=(const StagedFolder&) = delete;

    // Makes an empty staging folder ".NAME.XXXXXX" in the folder that is to hold `target`
    // (which must exist), with the mode a new folder gets. False when it cannot.
    bool create(const std::string& target);
    // The staging folder to fill.
    const std::string& path() const { return staging_; }

    enum class Existing { Keep, Replace };
    // Flushes every folder of the staged tree (files are the writer's to flush), then moves
    // the staging folder to the target: where nothing is, by a rename that never replaces
    // anything; with Replace, an existing target (of any kind) is swapped with it in one
    // rename and then removed. False when the target exists and Keep was asked (error()
    // then says so with the system's words for EEXIST) or a rename fails; the staging
    // folder is removed either way, the target keeps what it held.
    bool publish(Existing existing);

    // Removes the staging folder and what it holds (as destruction does).
    void discard();

    // The system's words for the last failure; empty after success.
    const std::string& error() const { return error_; }
    // After a publish that replaced a target: the path of the old one when it could not be
    // removed (a hidden folder beside the target), else empty.
    const std::string& leftover() const { return leftover_; }

private:
    bool fail(int error);

    std::string target_;
    std::string staging_;
    std::string error_;
    std::string leftover_;
};

}  // namespace platform
