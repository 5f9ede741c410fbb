// The icon a file that points at one stands for, as Windows shows it: a shortcut (.lnk),
// an Internet shortcut (.url), a folder's desktop.ini, a medium's autorun.inf, or an
// installer package (.msi), whose Icon table holds the icons themselves.
//
// The kind is decided by content where the format has a signature (the shell link header
// and class id; the compound file signature) and by name for the INI files (*.url,
// desktop.ini, autorun.inf, letters in any case). A location the file stores is resolved
// to a Linux path inside the Wine prefix that holds the file (platform::WinePathResolver);
// relative paths against the file's own folder. Nothing is thrown: every outcome is a value.
//
// Two stages, so that a sandboxed reader and a resolver outside it can share the work:
// readPointerContents reads the bytes of the pointer file alone (no other file, no
// registry), resolvePointer turns what it found into Linux paths. readIconPointer does both.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ByteView.h"
#include "formats/IniFile.h"
#include "formats/ShellLink.h"
#include "formats/StoredText.h"
#include "platform/WinePaths.h"

namespace iconmod {

enum class PointerKind { None, Shortcut, InternetShortcut, FolderSettings, Autorun, Package };

// "LNK", "URL", "INI" (desktop.ini and autorun.inf), "MSI"; "other" for None.
const char* pointerKindName(PointerKind kind);

// Why no icon was found: the step that failed, and the path it tried.
struct PointerFailure {
    enum class Step {
        Open,        // the pointer file cannot be opened (path: the file; detail: the system's reason)
        Kind,        // not a file that names an icon (path: the file)
        Read,        // the pointer file is damaged or too large (path: the file; detail: where and what)
        NoIcon,      // it names no icon: no icon key, a shortcut without icon and target, a
                     // package without Icon rows (path: the file; detail: what is missing)
        NoPrefix,    // a drive path in a file outside any Wine prefix (path: the Windows path)
        NoDrive,     // the prefix has no such drive (path: the dosdevices entry tried)
        NotFound,    // no such file (path: the Linux path tried)
        Network,     // a network path or URL, never opened (path: as stored)
        NotAFile,    // the location names a folder, FIFO or device (path: the Linux path)
        IconStream,  // the package's chosen Icon row has no readable stream (path: the file)
    };
    Step step = Step::Open;
    std::string path;
    std::string detail;

    // One line of English naming the path: "no such file: /p/drive_c/x/game.exe".
    std::string message() const;
};

// What the pointer file itself says, read from its bytes alone.
struct PointerContents {
    PointerKind kind = PointerKind::None;
    std::optional<PointerFailure> failure;  // Open, Kind, Read, NoIcon or IconStream

    // Shortcuts and INI files: the icon location as stored (for a shortcut `location` and
    // `path` are the same text, the index its IconIndex); nullopt when a shortcut names no
    // icon of its own, so that its target's icon 0 is shown.
    std::optional<formats::IniIconReference> icon;
    // Shortcuts: the target (LinkInfo's path, else the environment block's, else the
    // relative path), then the other forms the link stores, each once: when the first
    // names no file, the next is tried.
    std::vector<formats::LinkPath> targets;

    // Packages: the Icon table's names (the row ARPPRODUCTICON names first, then table
    // order) and the bytes of the first one's stream (a whole .ico file or a module).
    std::vector<formats::StoredText> iconNames;
    formats::Bytes iconBytes;
};

// The kind of pointer file whose first bytes (at least 8) are `head`: by the shell link and
// compound file signatures, else by `fileName` for the INI files; None for any other file.
PointerKind pointerKindOf(formats::ByteView head, std::string_view fileName);

// Reads the pointer file's bytes; `fileName` (the last component of its path) decides the
// kind of INI files. Text files larger than 4 MiB are refused.
PointerContents readPointerContents(std::unique_ptr<formats::ByteSource> source, std::string_view fileName);

// The icon a pointer file stands for.
struct IconPointer {
    PointerKind kind = PointerKind::None;
    std::optional<PointerFailure> failure;  // nullopt: found

    // Shortcuts and INI files, as stored, in UTF-8 (ANSI text in the prefix's code page).
    std::string storedLocation;  // "PATH,N"; empty when the icon is the target's
    std::string storedTarget;    // a shortcut's target; empty when it stores none
    bool networkTarget = false;  // that target is a network path (never opened)
    bool ofTarget = false;       // the shortcut names no icon: its target's icon 0 is shown
    // Found: the regular file that holds the icon, and the icon's index in it as a location
    // names one (>= 0 the N-th group, < 0 the group whose id is -N).
    std::string path;
    std::int32_t index = 0;

    // Packages: the Icon table's names in UTF-8, the row ARPPRODUCTICON names first, then
    // table order (kept when the chosen row's stream fails); found: the bytes of the first
    // one's stream.
    std::vector<std::string> iconNames;
    formats::Bytes iconBytes;

    explicit operator bool() const { return !failure; }
};

// Resolves what readPointerContents found in the file at `file` (a Linux path; it is not
// read again). A resolved location must name a regular file; its content is not looked at.
IconPointer resolvePointer(PointerContents contents, const std::string& file, const platform::WineResolveOptions& options = {});

// Opens the file at `file` (a regular file only; FIFOs and devices are never opened), reads
// it and resolves what it names.
IconPointer readIconPointer(const std::string& file, const platform::WineResolveOptions& options = {});

}  // namespace iconmod
