#include "iconmod/CursorThemeNames.h"

#include "iconmod/IconTheme.h"
#include "platform/MbText.h"

namespace iconmod {

namespace {

using R = formats::CursorRole;

// Every name Adwaita installs on Debian 12, by the Windows role that draws it. The CSS
// name comes first (the file written), then the X11 core names, then the names other
// toolkits ask for; names Adwaita links to one file stay under one role. The 32-digit
// names are the hashes of X11 core cursor bitmaps that Qt and older toolkits ask for.
constexpr XcursorName kNames[] = {
    {"default", R::Arrow}, {"left_ptr", R::Arrow}, {"arrow", R::Arrow}, {"top_left_arrow", R::Arrow},

    {"help", R::Help}, {"question_arrow", R::Help}, {"left_ptr_help", R::Help},
    {"5c6cd98b3f3ebcb1f9c7f1c204630408", R::Help}, {"d9ce0ab605698f320427677b458ad60b", R::Help},

    {"progress", R::AppStarting}, {"left_ptr_watch", R::AppStarting},
    {"08e8e1c95fe2fc01f976f1e063a24ccd", R::AppStarting}, {"3ecb610c1bf2410f44200f48c40d3599", R::AppStarting},

    {"wait", R::Wait}, {"watch", R::Wait},

    {"crosshair", R::Crosshair}, {"cross", R::Crosshair}, {"tcross", R::Crosshair},
    {"cross_reverse", R::Crosshair}, {"diamond_cross", R::Crosshair},

    {"text", R::IBeam}, {"xterm", R::IBeam},

    {"pencil", R::NWPen},

    // Windows shows "No" where a drop is refused, too.
    {"not-allowed", R::No}, {"crossed_circle", R::No}, {"03b6e0fcb3499374a867c041f52298f0", R::No},
    {"no-drop", R::No}, {"dnd-no-drop", R::No},

    // Window edges and table rows are resized with the double arrows on Windows.
    {"ns-resize", R::SizeNS}, {"sb_v_double_arrow", R::SizeNS}, {"v_double_arrow", R::SizeNS},
    {"double_arrow", R::SizeNS}, {"size_ver", R::SizeNS}, {"row-resize", R::SizeNS}, {"n-resize", R::SizeNS},
    {"s-resize", R::SizeNS}, {"top_side", R::SizeNS}, {"bottom_side", R::SizeNS},
    {"00008160000006810000408080010102", R::SizeNS}, {"2870a09082c103050810ffdffffe0204", R::SizeNS},

    {"ew-resize", R::SizeWE}, {"sb_h_double_arrow", R::SizeWE}, {"h_double_arrow", R::SizeWE},
    {"size_hor", R::SizeWE}, {"col-resize", R::SizeWE}, {"e-resize", R::SizeWE}, {"w-resize", R::SizeWE},
    {"left_side", R::SizeWE}, {"right_side", R::SizeWE},
    {"028006030e0e7ebffc7f7070c0600140", R::SizeWE}, {"14fef782d02440884392942c11205230", R::SizeWE},

    {"nwse-resize", R::SizeNWSE}, {"size_fdiag", R::SizeNWSE}, {"bd_double_arrow", R::SizeNWSE},
    {"nw-resize", R::SizeNWSE}, {"se-resize", R::SizeNWSE}, {"top_left_corner", R::SizeNWSE},
    {"bottom_right_corner", R::SizeNWSE}, {"c7088f0f3e6c8088236ef8e1e3e70000", R::SizeNWSE},

    {"nesw-resize", R::SizeNESW}, {"size_bdiag", R::SizeNESW}, {"fd_double_arrow", R::SizeNESW},
    {"ne-resize", R::SizeNESW}, {"sw-resize", R::SizeNESW}, {"top_right_corner", R::SizeNESW},
    {"bottom_left_corner", R::SizeNESW}, {"fcf1c3c7cd4491d801f1e1c78f100000", R::SizeNESW},

    // Adwaita's "move" is a four-way arrow; its two hashes are Qt's drag-move cursor,
    // which Adwaita links to it.
    {"move", R::SizeAll}, {"fleur", R::SizeAll}, {"all-scroll", R::SizeAll}, {"size_all", R::SizeAll},
    {"4498f0e0c1937ffe01fd06f973665830", R::SizeAll}, {"9081237383d90e509aa00f00170e968f", R::SizeAll},

    // "up-arrow" is not in Adwaita: the file written for the role, with the X11 name beside.
    {"up-arrow", R::UpArrow}, {"sb_up_arrow", R::UpArrow},

    {"pointer", R::Hand}, {"hand2", R::Hand}, {"hand", R::Hand},
    {"9d800788f1b08800ae810202380a0822", R::Hand}, {"e29285e634086352946a0e7090d73106", R::Hand},

    // No toolkit asks for these; the theme writes the Windows 10 roles under these names.
    {"pin", R::Pin},
    {"person", R::Person},

    // Left to Adwaita: no Windows role draws them (grabbing hands, drag badges, copy and
    // alias arrows, zoom, cells, vertical text, mirrored and one-way arrows, X11's
    // corner angles, tees, boxes and skull).
    {"X_cursor", std::nullopt}, {"pirate", std::nullopt},
    {"alias", std::nullopt}, {"dnd-link", std::nullopt}, {"link", std::nullopt},
    {"3085a0e285430894940527032f8b26df", std::nullopt}, {"640fb0e74195791501fd1ed57b41487f", std::nullopt},
    {"copy", std::nullopt}, {"dnd-copy", std::nullopt},
    {"1081e37283d90000800003c07f3ef6bf", std::nullopt}, {"6407b0e94181790501fd1e167b474872", std::nullopt},
    {"dnd-ask", std::nullopt}, {"dnd-move", std::nullopt}, {"dnd-none", std::nullopt},
    {"grab", std::nullopt}, {"hand1", std::nullopt}, {"grabbing", std::nullopt}, {"openhand", std::nullopt},
    {"pointer-move", std::nullopt}, {"context-menu", std::nullopt},
    {"cell", std::nullopt}, {"plus", std::nullopt}, {"vertical-text", std::nullopt},
    {"zoom-in", std::nullopt}, {"zoom-out", std::nullopt}, {"circle", std::nullopt},
    {"right_ptr", std::nullopt}, {"draft_large", std::nullopt}, {"draft_small", std::nullopt},
    {"sb_down_arrow", std::nullopt}, {"sb_left_arrow", std::nullopt}, {"sb_right_arrow", std::nullopt},
    {"ll_angle", std::nullopt}, {"lr_angle", std::nullopt}, {"ul_angle", std::nullopt}, {"ur_angle", std::nullopt},
    {"bottom_tee", std::nullopt}, {"left_tee", std::nullopt}, {"right_tee", std::nullopt}, {"top_tee", std::nullopt},
    {"dotbox", std::nullopt}, {"dot_box_mask", std::nullopt}, {"draped_box", std::nullopt},
    {"icon", std::nullopt}, {"target", std::nullopt},
};

// U+00C0..U+00FF without accents; "" for the two signs among them (x and division).
constexpr const char* kLatin1Letters[64] = {
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",
    "D", "N", "O", "O", "O", "O", "O", "",  "O", "U", "U", "U", "U", "Y", "Th", "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o", "o", "o", "",  "o", "u", "u", "u", "u", "y", "th", "y"};

constexpr std::size_t kMaxThemeName = 64;

bool isEdge(char c) { return c == '.' || c == '_' || c == '-'; }

std::string reduced(std::string_view text) {
    std::string name;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = platform::charLength(text, i, platform::Encoding::Utf8);
        const std::string_view c = text.substr(i, length);
        i += length;
        std::string_view kept;
        if (isIconThemeName(c)) kept = c;
        else if (c.size() == 2 && static_cast<unsigned char>(c[0]) == 0xC3) kept = kLatin1Letters[static_cast<unsigned char>(c[1]) & 0x3F];
        if (!kept.empty()) name += kept;
        else if (name.empty() || name.back() != '_') name += '_';
        if (name.size() > 2 * kMaxThemeName) break;  // enough to cut from
    }
    auto trimEdges = [](std::string& s) {
        std::size_t start = 0;
        while (start < s.size() && isEdge(s[start])) ++start;
        s.erase(0, start);
        while (!s.empty() && isEdge(s.back())) s.pop_back();
    };
    trimEdges(name);
    if (name.size() > kMaxThemeName) {
        name.resize(kMaxThemeName);
        trimEdges(name);
    }
    return name;
}

}  // namespace

std::span<const XcursorName> xcursorNameTable() { return kNames; }

std::vector<std::string_view> xcursorNames(formats::CursorRole role) {
    std::vector<std::string_view> names;
    for (const XcursorName& n : kNames)
        if (n.role == role) names.push_back(n.name);
    return names;
}

std::vector<std::string_view> inheritedXcursorNames() {
    std::vector<std::string_view> names;
    for (const XcursorName& n : kNames)
        if (!n.role) names.push_back(n.name);
    return names;
}

std::string cursorThemeName(std::string_view schemeName, std::string_view fallback) {
    std::string name = reduced(schemeName);
    if (name.empty()) name = reduced(fallback);
    return name.empty() ? std::string("windows-cursors") : name;
}

}  // namespace iconmod
