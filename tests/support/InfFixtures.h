// Test fixtures for cursor packs: install.inf texts written as widespread templates write
// them, and the encodings Windows tools save text in.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "support/ImageFixtures.h"

namespace fixtures {

// The files templateInf gives each role, in role order (Arrow ... Person).
extern const std::array<const char*, 17> kTemplateInfFiles;

// An install.inf as most packs write it: [DefaultInstall] naming [Scheme.Reg] by AddReg=,
// one scheme under HKCU\Control Panel\Cursors\Schemes whose 17 entries are
// %10%\%CUR_DIR%\%name% references, the per-role values under Control Panel\Cursors too,
// and [Strings] giving the names (its keys in another case than the references).
std::string templateInf(std::string_view schemeName = "Midnight Glass");

// UTF-8 text as UTF-16 with its byte-order mark.
Bytes utf16Text(std::string_view utf8, bool bigEndian = false);
// UTF-8 text in code page 1252 (Latin-1 and the few signs of 0x80..0x9F tests use; '?'
// for anything else).
Bytes cp1252Text(std::string_view utf8);
// UTF-8 text as bytes, with the byte-order mark when asked.
Bytes utf8Text(std::string_view utf8, bool bom = false);

// INF files of the kinds the reader treats differently (the template in each encoding,
// the HKLM form with two schemes, per-role values only, a sloppy pack): fuzzing seeds.
std::vector<std::pair<std::string, Bytes>> sampleInfs();

}  // namespace fixtures
