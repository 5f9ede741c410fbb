// Cursor pack INF files: the schemes read from any bytes are bounded, their names and
// file names safe to pass on (bare names, no controls, valid UTF-8), the theme names made
// from them valid, and the role guess over the names it gives runs.
#include "FuzzCommon.h"
#include "formats/CursorInf.h"
#include "iconmod/CursorThemeNames.h"
#include "iconmod/IconTheme.h"

namespace {

bool validUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const formats::CursorInf inf = formats::readCursorInf(formats::ByteView(data, size));
    FUZZ_CHECK(inf.schemes.size() <= formats::kMaxCursorSchemes);
    FUZZ_CHECK(inf.warnings.size() <= formats::kMaxInfWarnings + 1);
    for (const formats::InfWarning& w : inf.warnings) FUZZ_CHECK(validUtf8(w.text));
    std::vector<std::string> names;
    for (const formats::CursorScheme& s : inf.schemes) {
        FUZZ_CHECK(s.name.size() <= formats::kMaxCursorFileName && validUtf8(s.name) && !formats::infHasControl(s.name));
        FUZZ_CHECK(iconmod::isIconThemeName(iconmod::cursorThemeName(s.name, s.name)));
        for (const std::string& f : s.files) {
            if (f.empty()) continue;
            FUZZ_CHECK(f.size() <= formats::kMaxCursorFileName && validUtf8(f) && !formats::infHasControl(f));
            FUZZ_CHECK(f.find_first_of("\\/:") == std::string::npos && f != "." && f != "..");
            names.push_back(f);
        }
    }
    const formats::CursorRoleGuess guess = formats::guessCursorRoles(names);
    for (const std::string& f : guess.files) FUZZ_CHECK(f.empty() || formats::findFileName(names, f) == f);
    return 0;
}
