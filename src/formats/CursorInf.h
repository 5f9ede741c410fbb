// The cursor schemes a Windows cursor pack's install.inf registers: for each, its name and
// the file each role is drawn from. Real packs copy one template, typos and all; what is
// odd is read as Windows would where that is clear, and said in a warning either way.
#pragma once

#include <string>
#include <vector>

#include "formats/ByteView.h"
#include "formats/CursorRoles.h"
#include "formats/InfFile.h"

namespace formats {

// Schemes kept from one file; the rest are ignored with a warning.
inline constexpr std::size_t kMaxCursorSchemes = 64;
// The longest file name (Linux's limit) and scheme name kept, in bytes.
inline constexpr std::size_t kMaxCursorFileName = 255;

struct CursorScheme {
    std::string name;  // as the INF gives it (controls removed); may be empty
    RoleFiles files;   // a bare file name per role, "" where the scheme has none
    int line = 0;      // where the INF sets it (the first role value for per-role values)
};

struct CursorInf {
    std::vector<CursorScheme> schemes;  // in the order the INF registers them
    std::vector<InfWarning> warnings;
};

// Reads the schemes of an INF. The registry sections are those the AddReg= lines of the
// install sections ([DefaultInstall], [DefaultInstall.NT], ...) name, each once; without
// install sections, those any AddReg= names; without any, every section whose lines set
// cursor values (sections a DelReg= names excepted). In them, with the root HKCU or HKLM:
//  - a value under "Control Panel\Cursors\Schemes" is a scheme: its name the value's
//    name, its data the comma list of files in role order (Arrow ... Hand, then Pin and
//    Person). A list of fewer entries leaves the last roles without a file; entries past
//    the 17th and a trailing comma are ignored; a list not in quotes (its entries read as
//    more fields of the line) is put back together. A later value of the same name (in
//    any case) replaces an earlier one, as in the registry.
//  - values under "Control Panel\Cursors" named after roles make one scheme (named by the
//    empty value name) when the INF registers no scheme; when it registers exactly one,
//    they give the files for the roles it leaves empty. A value name that is no role but
//    whose words name one (as a file name would, "Busy") is read as that role when no
//    value of the role's own name is there; other unknown names are warned about.
// Each file value has its %names% expanded and its folder part (up to the last '\', '/'
// or ':') dropped, leaving a file name; quotes inside it are removed and trailing dots and
// blanks too, as Windows does (so "." and ".." name nothing); a name that holds a control
// character or passes kMaxCursorFileName is dropped. Each of these says so in a warning.
CursorInf readCursorInf(ByteView bytes);

}  // namespace formats
