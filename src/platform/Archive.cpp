#include "platform/Archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

namespace platform {
namespace {

// libarchive is loaded by the first archive read, not when the program starts: it brings a
// dozen libraries (XML, ICU, compressors) that every other command would pay for at start.
#define VEXIL_ARCHIVE_FUNCTIONS(F)                                                                      \
    F(archive_read_new) F(archive_read_free) F(archive_error_string) F(archive_set_error)               \
    F(archive_read_support_format_zip) F(archive_read_support_format_7zip)                              \
    F(archive_read_support_format_rar) F(archive_read_support_format_rar5)                              \
    F(archive_read_set_callback_data) F(archive_read_set_read_callback) F(archive_read_set_seek_callback) \
    F(archive_read_set_skip_callback) F(archive_read_open1) F(archive_read_next_header)                 \
    F(archive_read_data) F(archive_entry_filetype) F(archive_entry_pathname_utf8)                       \
    F(archive_entry_pathname) F(archive_entry_is_encrypted) F(archive_entry_size_is_set) F(archive_entry_size)

struct Library {
#define VEXIL_ARCHIVE_POINTER(name) decltype(&::name) name = nullptr;
    VEXIL_ARCHIVE_FUNCTIONS(VEXIL_ARCHIVE_POINTER)
#undef VEXIL_ARCHIVE_POINTER
    std::string failure;  // why it could not be loaded; empty when it was
};

Library load() {
    Library lib;
    void* handle = ::dlopen(VEXIL_LIBARCHIVE_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        lib.failure = std::string(VEXIL_LIBARCHIVE_SONAME " cannot be loaded") + (why ? std::string(": ") + why : "");
        return lib;
    }
#define VEXIL_ARCHIVE_LOOK_UP(name)                                                              \
    lib.name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name));                      \
    if (!lib.name && lib.failure.empty()) lib.failure = VEXIL_LIBARCHIVE_SONAME " lacks " #name;
    VEXIL_ARCHIVE_FUNCTIONS(VEXIL_ARCHIVE_LOOK_UP)
#undef VEXIL_ARCHIVE_LOOK_UP
    return lib;  // the library stays loaded for the rest of the run
}

const Library& library() {
    static const Library lib = load();
    return lib;
}

// The archive is handed to libarchive in pieces of this size.
constexpr std::uint64_t kFeedBlock = 64 * 1024;

// libarchive reads the source through these callbacks: the bytes come from the byte
// source's checked reads, never from a descriptor it would read past our knowledge.
struct Feed {
    formats::ByteSource& source;
    std::uint64_t position = 0;
    formats::Bytes block;
};

la_ssize_t readBlock(struct archive* a, void* data, const void** buffer) {
    Feed& feed = *static_cast<Feed*>(data);
    const std::uint64_t size = feed.source.size();
    const std::uint64_t left = feed.position < size ? size - feed.position : 0;
    *buffer = nullptr;
    if (left == 0) return 0;
    auto bytes = feed.source.read(feed.position, std::min(left, kFeedBlock));
    if (!bytes) {
        library().archive_set_error(a, EIO, "the archive cannot be read");
        return ARCHIVE_FATAL;
    }
    feed.block = std::move(*bytes);
    feed.position += feed.block.size();
    *buffer = feed.block.data();
    return static_cast<la_ssize_t>(feed.block.size());
}

la_int64_t seekTo(struct archive*, void* data, la_int64_t offset, int whence) {
    Feed& feed = *static_cast<Feed*>(data);
    const auto size = static_cast<la_int64_t>(feed.source.size());
    const la_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<la_int64_t>(feed.position) : size;
    if ((offset < 0 && -offset > base) || (offset > 0 && offset > size - base)) return ARCHIVE_FATAL;
    feed.position = static_cast<std::uint64_t>(base + offset);
    return base + offset;
}

la_int64_t skipAhead(struct archive*, void* data, la_int64_t request) {
    Feed& feed = *static_cast<Feed*>(data);
    const std::uint64_t size = feed.source.size();
    const std::uint64_t left = feed.position < size ? size - feed.position : 0;
    const std::uint64_t step = request > 0 ? std::min(left, static_cast<std::uint64_t>(request)) : 0;
    feed.position += step;
    return static_cast<la_int64_t>(step);
}

struct ArchiveDeleter {
    void operator()(struct archive* a) const { library().archive_read_free(a); }
};

std::string errorOf(struct archive* a, const char* fallback) {
    const char* text = library().archive_error_string(a);
    return text && *text ? std::string(text) : std::string(fallback);
}

// The entry's path as ArchiveFile describes it; nullopt when a component is "..".
std::optional<std::string> cleanPath(std::string_view raw) {
    std::string path;
    std::size_t start = 0;
    while (start <= raw.size()) {
        std::size_t end = raw.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = raw.size();
        const std::string_view part = raw.substr(start, end - start);
        if (part == "..") return std::nullopt;
        if (!part.empty() && part != ".") {
            if (!path.empty()) path += '/';
            path += part;
        }
        start = end + 1;
    }
    return path;
}

std::string megabytes(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

bool isArchive(formats::ByteView head) {
    return head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06") ||
           head.startsWith(std::string_view("7z\xBC\xAF\x27\x1C", 6)) || head.startsWith("Rar!\x1A\x07");
}

std::optional<ArchiveContents> readArchive(formats::ByteSource& source,
                                           const std::function<bool(std::string_view path)>& wanted,
                                           std::string* error, const ArchiveLimits& limits) {
    auto failed = [error](std::string text) -> std::optional<ArchiveContents> {
        if (error) *error = std::move(text);
        return std::nullopt;
    };
    const Library& lib = library();
    if (!lib.failure.empty()) return failed(lib.failure);
    try {
        std::unique_ptr<struct archive, ArchiveDeleter> a(lib.archive_read_new());
        if (!a) return failed("out of memory");
        lib.archive_read_support_format_zip(a.get());
        lib.archive_read_support_format_7zip(a.get());
        lib.archive_read_support_format_rar(a.get());
        lib.archive_read_support_format_rar5(a.get());
        Feed feed{source, 0, {}};
        lib.archive_read_set_callback_data(a.get(), &feed);
        lib.archive_read_set_read_callback(a.get(), readBlock);
        lib.archive_read_set_seek_callback(a.get(), seekTo);
        lib.archive_read_set_skip_callback(a.get(), skipAhead);
        if (lib.archive_read_open1(a.get()) != ARCHIVE_OK) return failed(errorOf(a.get(), "not an archive"));

        ArchiveContents contents;
        std::uint64_t held = 0;
        std::size_t entries = 0;
        formats::Bytes piece(kFeedBlock);
        for (;;) {
            struct archive_entry* entry = nullptr;
            const int r = lib.archive_read_next_header(a.get(), &entry);
            if (r == ARCHIVE_EOF) break;
            if (r != ARCHIVE_OK && r != ARCHIVE_WARN) return failed(errorOf(a.get(), "damaged archive"));
            if (++entries > limits.maxEntries)
                return failed("more than " + std::to_string(limits.maxEntries) + " entries; not read");
            if (lib.archive_entry_filetype(entry) != AE_IFREG) continue;
            const char* name = lib.archive_entry_pathname_utf8(entry);
            if (!name) name = lib.archive_entry_pathname(entry);
            const std::string raw = name ? name : "";
            auto path = cleanPath(raw);
            if (!path) {
                contents.notes.push_back(raw + ": the path leads out of the archive; passed over");
                continue;
            }
            if (path->empty()) continue;
            ArchiveFile file;
            file.path = std::move(*path);
            if (wanted && wanted(file.path)) {
                auto passOver = [&](const std::string& why) {
                    contents.notes.push_back(file.path + ": " + why + "; passed over");
                    file.bytes = formats::Bytes();
                };
                if (lib.archive_entry_is_encrypted(entry)) {
                    passOver("encrypted");
                } else if (lib.archive_entry_size_is_set(entry) &&
                           static_cast<std::uint64_t>(lib.archive_entry_size(entry)) > limits.maxEntrySize) {
                    passOver("larger than " + megabytes(limits.maxEntrySize));
                } else {
                    bool ok = true;
                    for (;;) {
                        const la_ssize_t n = lib.archive_read_data(a.get(), piece.data(), piece.size());
                        if (n == 0) break;
                        if (n < 0) {
                            if (n == ARCHIVE_FATAL) return failed(file.path + ": " + errorOf(a.get(), "damaged archive"));
                            passOver("cannot be read: " + errorOf(a.get(), "damaged data"));
                            ok = false;
                            break;
                        }
                        const auto count = static_cast<std::uint64_t>(n);
                        if (file.bytes.size() + count > limits.maxEntrySize) {
                            passOver("larger than " + megabytes(limits.maxEntrySize));
                            ok = false;
                            break;
                        }
                        if (held + file.bytes.size() + count > limits.maxHeldSize) {
                            passOver("past the " + megabytes(limits.maxHeldSize) + " the files read may take together");
                            ok = false;
                            break;
                        }
                        file.bytes.insert(file.bytes.end(), piece.begin(), piece.begin() + n);
                    }
                    if (ok) {
                        file.held = true;
                        held += file.bytes.size();
                    }
                }
            }
            contents.files.push_back(std::move(file));
        }
        return contents;
    } catch (const std::bad_alloc&) {
        return failed("out of memory");
    }
}

}  // namespace platform
