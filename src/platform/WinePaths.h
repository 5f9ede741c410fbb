// Windows paths, as shortcuts, INI files and installer packages store them, resolved to
// Linux paths inside the Wine prefix that holds the file.
//
// The prefix is the nearest folder above the file that holds "drive_c" and "dosdevices/"
// (else $WINEPREFIX, when the file lies outside any prefix). Drive letters go through the
// links Wine keeps in dosdevices/ ("c:" -> "../drive_c"); \\?\ prefixes are dropped;
// %VARIABLES% come from the prefix's registry files (or from the defaults of a new Wine
// prefix); ANSI text is decoded in the prefix's code page. Each component is matched
// without regard to case, an exact match first. Relative paths resolve against the file's
// own folder, and outside a prefix only they do. Network paths (\\server\share) are never
// opened. Every failure says which step failed and names the path it tried.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/IniFile.h"
#include "formats/StoredText.h"

namespace platform {

// Bytes of a Windows code page as UTF-8, through iconv (1252 and 65001 without it);
// bytes the code page does not map become U+FFFD. nullopt when the system has no
// converter for that code page.
std::optional<std::string> decodeCodePage(std::string_view bytes, std::uint32_t codePage);

// A stored text as UTF-8: ANSI text in `ansiCodePage`, other code pages as marked. Text
// that cannot be decoded keeps its ASCII and gets U+FFFD for each other byte.
std::string decodeStoredText(const formats::StoredText& text, std::uint32_t ansiCodePage);

// The environment a Wine prefix gives its programs: names matched without regard to case.
class WineEnvironment {
public:
    std::uint32_t ansiCodePage = 1252;

    std::optional<std::string> variable(std::string_view name) const;
    void set(std::string_view name, std::string value);
    const std::vector<std::pair<std::string, std::string>>& variables() const { return variables_; }

    // %NAME% replaced by the variable's value, as Windows expands: a name not defined is
    // left as it is. The result stops growing at 32,767 bytes.
    std::string expand(std::string_view text) const;

private:
    std::vector<std::pair<std::string, std::string>> variables_;
};

// The defaults of a new prefix of the current Wine: SystemRoot and windir C:\windows,
// SystemDrive, ProgramFiles, CommonProgramFiles (and their (x86) and W6432 forms when the
// prefix has "Program Files (x86)"), ProgramData, ALLUSERSPROFILE, PUBLIC, and for the user
// (the folder of drive_c/users/ other than Public; $USER's when there are several)
// USERNAME, USERPROFILE, APPDATA, LOCALAPPDATA, HOMEDRIVE, HOMEPATH, TEMP and TMP. Code
// page 1252.
WineEnvironment wineDefaultEnvironment(const std::string& prefix);

// The defaults, then what the prefix's system.reg and user.reg say where Wine keeps it:
// the program folders (Software\Microsoft\Windows\CurrentVersion), SystemRoot (...\Windows
// NT\CurrentVersion), ProgramData and Public (...\ProfileList), the system environment
// (System\CurrentControlSet\Control\Session Manager\Environment), the user's (Environment,
// Volatile Environment) and the ANSI code page (...\Control\Nls\CodePage ACP). Expandable
// values are expanded. A registry file that is missing, unreadable, larger than 64 MiB or
// not a Wine registry file is passed over.
WineEnvironment readWineEnvironment(const std::string& prefix);

// The nearest folder above `file` (the folder of the file itself first, the path as given
// and then with its links resolved) that holds drive_c and dosdevices/.
std::optional<std::string> findWinePrefix(const std::string& file);

struct ResolvedPath {
    enum class Failure { None, Empty, NoPrefix, NoDrive, NotFound, Network };
    Failure failure = Failure::None;
    std::string path;   // the Linux path when resolved
    std::string tried;  // when not: the Linux path that was tried (the Windows path for
                        // Empty, NoPrefix and Network)

    explicit operator bool() const { return failure == Failure::None; }
    // One line of English: "no such file: /p/drive_c/Program Files/Game/game.exe".
    std::string message() const;
};

// The environments of prefixes, each read once: for a caller that resolves the paths of
// many files (the shortcuts of a prefix), where reading the registry files for each would
// cost 20 ms a file.
class WineEnvironmentCache {
public:
    const WineEnvironment& get(const std::string& prefix, bool readRegistry);

private:
    std::map<std::pair<std::string, bool>, WineEnvironment> environments_;
};

struct WineResolveOptions {
    // Read the prefix's registry files; false: the dosdevices links and Wine's default
    // variables only (no registry file is opened).
    bool readRegistry = true;
    // The prefix for a file outside any prefix; $WINEPREFIX when not given.
    std::optional<std::string> fallbackPrefix{};
    // Where the prefix's environment is kept between resolvers; nullptr: read for this one.
    WineEnvironmentCache* cache = nullptr;
};

class WinePathResolver {
public:
    // For the paths stored in the file at `file` (a Linux path). Reading the registry files
    // costs about 20 ms for a prefix of current Wine (system.reg is 1.6 MB); a caller that
    // resolves for many files of one prefix reads its environment once and passes it below.
    explicit WinePathResolver(const std::string& file, const WineResolveOptions& options = {});
    // The same with the prefix and its environment known (findWinePrefix,
    // readWineEnvironment or wineDefaultEnvironment); nullopt: outside any prefix.
    WinePathResolver(const std::string& file, std::optional<std::string> prefix, WineEnvironment environment);

    const std::optional<std::string>& prefix() const { return prefix_; }
    const WineEnvironment& environment() const { return environment_; }

    // The text in UTF-8 (ANSI in the prefix's code page).
    std::string decode(const formats::StoredText& text) const;

    ResolvedPath resolve(const formats::StoredText& windowsPath) const;
    ResolvedPath resolveUtf8(std::string_view windowsPath) const;

private:
    // The Linux folder of drive `letter` (its dosdevices link resolved), or nullopt.
    std::optional<std::string> driveRoot(char letter, std::string* tried) const;
    // The drive root whose folder holds the file's folder.
    std::optional<std::string> fileDriveRoot() const;

    std::string fileDir_;
    std::optional<std::string> prefix_;
    WineEnvironment environment_;
};

// An icon location resolved: the file, and the index of the icon in it.
struct ResolvedIconLocation {
    ResolvedPath file;
    std::int32_t index = 0;
};

// An icon location given as text ("C:\...\x.dll,-3"): a path that exists as a regular
// file is taken whole, before any ",N" is split off (so names with commas work).
ResolvedIconLocation resolveIconLocation(const WinePathResolver& resolver, const formats::StoredText& text);
// An INI file's reference: its stored text whole first where it held PATH,N, then the path
// with its index.
ResolvedIconLocation resolveIconLocation(const WinePathResolver& resolver, const formats::IniIconReference& reference);

}  // namespace platform
