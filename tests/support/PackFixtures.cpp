#include "support/PackFixtures.h"

#include <archive.h>
#include <archive_entry.h>

#include <filesystem>
#include <system_error>

#include <unistd.h>

#include "support/InfFixtures.h"

namespace fixtures {
namespace {

la_ssize_t append(struct archive*, void* data, const void* buffer, size_t length) {
    auto& out = *static_cast<Bytes*>(data);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    out.insert(out.end(), bytes, bytes + length);
    return static_cast<la_ssize_t>(length);
}

}  // namespace

Bytes makeArchive(ArchiveKind kind, const std::vector<PackEntry>& entries) {
    Bytes out;
    struct archive* a = archive_write_new();
    if (kind == ArchiveKind::Zip) {
        archive_write_set_format_zip(a);
        archive_write_set_options(a, "zip:compression=deflate");
    } else {
        archive_write_set_format_7zip(a);
    }
    archive_write_set_bytes_in_last_block(a, 1);
    archive_write_open(a, &out, nullptr, append, nullptr);
    for (const PackEntry& e : entries) {
        struct archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.path.c_str());
        if (!e.link.empty()) {
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, e.link.c_str());
            archive_entry_set_perm(entry, 0777);
        } else if (!e.path.empty() && e.path.back() == '/') {
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
        } else {
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0644);
            archive_entry_set_size(entry, static_cast<la_int64_t>(e.bytes.size()));
        }
        archive_write_header(a, entry);
        if (!e.bytes.empty()) archive_write_data(a, e.bytes.data(), e.bytes.size());
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
    return out;
}

bool writePack(const std::string& folder, const std::vector<PackEntry>& entries) {
    for (const PackEntry& e : entries) {
        const std::filesystem::path path = std::filesystem::path(folder) / e.path;
        std::error_code ec;
        std::filesystem::create_directories(e.path.back() == '/' ? path : path.parent_path(), ec);
        if (ec) return false;
        if (!e.link.empty()) {
            if (::symlink(e.link.c_str(), path.c_str()) != 0) return false;
        } else if (e.path.back() != '/' && !writeFile(path.string(), e.bytes)) {
            return false;
        }
    }
    return true;
}

Bytes cursorOf(int size, Argb colour, std::uint16_t hotspotX, std::uint16_t hotspotY) {
    return makeCur({{solidDib(size, colour), hotspotX, hotspotY}});
}

Argb roleColour(std::size_t role) { return 0xFF000000u | static_cast<Argb>((role + 1) * 0x0B0D07u); }

Bytes roleAnimation(std::size_t role, std::int64_t riffOff) {
    Bytes ani = makeAni({.frames = {cursorOf(32, roleColour(role), 4, 4), cursorOf(32, 0xFF000000, 4, 4)}, .rate = {6, 12}});
    putU32(ani, 4, static_cast<std::uint32_t>(static_cast<std::int64_t>(ani.size()) - 8 + riffOff));
    return ani;
}

std::vector<PackEntry> templatePackFiles(const std::string& folder, const std::function<std::string(std::string)>& rename,
                                         std::int64_t riffOff) {
    std::vector<PackEntry> files;
    for (std::size_t r = 0; r < kTemplateInfFiles.size(); ++r) {
        std::string name = kTemplateInfFiles[r];
        if (rename) name = rename(name);
        if (name.empty()) continue;
        const bool animated = r == 2 || r == 3;
        files.push_back({folder + name, animated ? roleAnimation(r, riffOff) : cursorOf(32, roleColour(r), 1, 2), {}});
    }
    return files;
}

}  // namespace fixtures
