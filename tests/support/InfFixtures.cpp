#include "support/InfFixtures.h"

#include <cstdint>

namespace fixtures {

const std::array<const char*, 17> kTemplateInfFiles = {
    "Normal Select.cur", "Help Select.cur", "Working in Background.ani", "Busy.ani", "Precision Select.cur",
    "Text Select.cur", "Handwriting.cur", "Unavailable.cur", "Vertical Resize.cur", "Horizontal Resize.cur",
    "Diagonal Resize 1.cur", "Diagonal Resize 2.cur", "Move.cur", "Alternate Select.cur", "Link Select.cur",
    "Location Select.cur", "Person Select.cur"};

namespace {

// The template's [Strings] keys in role order; "hand" is the handwriting cursor there.
constexpr const char* kTemplateKeys[17] = {"pointer", "help", "work", "busy", "cross", "text", "hand", "unavailiable",
                                           "vert", "horz", "dgn1", "dgn2", "move", "alternate", "link", "pin", "person"};
constexpr const char* kRoleValueNames[17] = {"Arrow", "Help", "AppStarting", "Wait", "Crosshair", "IBeam", "NWPen",
                                             "No", "SizeNS", "SizeWE", "SizeNWSE", "SizeNESW", "SizeAll", "UpArrow",
                                             "Hand", "Pin", "Person"};

std::vector<std::uint32_t> codePoints(std::string_view utf8) {
    std::vector<std::uint32_t> out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        std::uint32_t cp = n == 1 ? b : b & (0x7Fu >> n);
        for (std::size_t k = 1; k < n && i + k < utf8.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        out.push_back(cp);
        i += n;
    }
    return out;
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

}  // namespace

std::string templateInf(std::string_view schemeName) {
    std::string list;
    for (std::size_t i = 0; i < 17; ++i) list += std::string(i ? "," : "") + "%10%\\%CUR_DIR%\\%" + kTemplateKeys[i] + "%";
    std::string inf =
        "; Cursor scheme installer. Right-click and choose Install.\r\n"
        "[Version]\r\n"
        "signature=\"$CHICAGO$\"\r\n"
        "\r\n"
        "[DefaultInstall]\r\n"
        "CopyFiles = Scheme.Cur, Scheme.Txt\r\n"
        "AddReg    = Scheme.Reg\r\n"
        "\r\n"
        "[DestinationDirs]\r\n"
        "Scheme.Cur = 10,\"%CUR_DIR%\"\r\n"
        "\r\n"
        "[Scheme.Reg]\r\n"
        "HKCU,\"Control Panel\\Cursors\\Schemes\",\"%SCHEME_NAME%\",,\"" + list + "\"\r\n"
        "HKCU,\"Control Panel\\Cursors\",,0x00020000,\"%SCHEME_NAME%\"\r\n";
    for (std::size_t i = 0; i < 17; ++i)
        inf += std::string("HKCU,\"Control Panel\\Cursors\",") + kRoleValueNames[i] + ",0x00020000,\"%10%\\%CUR_DIR%\\%" +
               kTemplateKeys[i] + "%\"\r\n";
    inf += "\r\n[Scheme.Cur]\r\n";
    for (const char* file : kTemplateInfFiles) inf += std::string("\"") + file + "\"\r\n";
    inf += "\r\n[Strings]\r\nCUR_DIR       = \"Cursors\\" + std::string(schemeName) + "\"\r\n";
    inf += "SCHEME_NAME   = \"" + std::string(schemeName) + "\"\r\n";
    for (std::size_t i = 0; i < 17; ++i) inf += upper(kTemplateKeys[i]) + " = \"" + kTemplateInfFiles[i] + "\"\r\n";
    return inf;
}

Bytes utf16Text(std::string_view utf8, bool bigEndian) {
    Bytes out = bigEndian ? Bytes{0xFE, 0xFF} : Bytes{0xFF, 0xFE};
    auto unit = [&](std::uint32_t u) {
        const auto lo = static_cast<std::uint8_t>(u & 0xFF), hi = static_cast<std::uint8_t>(u >> 8);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    };
    for (std::uint32_t cp : codePoints(utf8)) {
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

Bytes cp1252Text(std::string_view utf8) {
    static const std::pair<std::uint32_t, std::uint8_t> kSigns[] = {
        {0x20AC, 0x80}, {0x2026, 0x85}, {0x0160, 0x8A}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93},
        {0x201D, 0x94}, {0x2013, 0x96}, {0x2122, 0x99}, {0x0178, 0x9F}};
    Bytes out;
    for (std::uint32_t cp : codePoints(utf8)) {
        std::uint8_t b = '?';
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) b = static_cast<std::uint8_t>(cp);
        for (const auto& [from, to] : kSigns)
            if (cp == from) b = to;
        out.push_back(b);
    }
    return out;
}

Bytes utf8Text(std::string_view utf8, bool bom) {
    std::string text = bom ? "\xEF\xBB\xBF" : "";
    text += utf8;
    return Bytes(text.begin(), text.end());
}

std::vector<std::pair<std::string, Bytes>> sampleInfs() {
    const std::string hklm =
        "[DefaultInstall]\nAddReg=Blue.Reg,Red.Reg ; two schemes\n[DefaultInstall.NT]\nAddReg=Blue.Reg\n"
        "[Blue.Reg]\nHKLM,\"Control Panel\\Cursors\\Schemes\",\"Blue\",0x00020000,\"%10%\\Cursors\\Blue\\arrow.cur,"
        "help.cur,,busy.ani\"\n"
        "[red.reg]\nHKCU,Control Panel\\Cursors\\Schemes,Red,,\"C:\\Windows\\Cursors\\red_arrow.cur,red_help.cur\"\n";
    const std::string perRole =
        "[DefaultInstall]\nAddReg=Cursors.Reg\n[Cursors.Reg]\nHKCU,\"Control Panel\\Cursors\",,,\"%NAME%\"\n"
        "HKCU,\"Control Panel\\Cursors\",\"Arrow\",0x00020000,\"%10%\\Cursors\\p\\arrow.cur\"\n"
        "HKCU,\"Control Panel\\Cursors\",Hand,0x00020000,\"%10%\\Cursors\\p\\hand.cur\"\n"
        "HKCU,\"Control Panel\\Cursors\",Busy,0x00020000,\\\n  \"%10%\\Cursors\\p\\wait.ani\"\n"
        "[Strings]\nname=\"Per Role\"\n";
    const std::string sloppy =
        "[DefaultInstall]\nAddReg=Scheme.Regg\n[Scheme.Reg]\n"
        "HKCU,\"Control Panel\\Cursors\\Schemes\",\"Sloppy\",0x00020000,%10%\\Cursors\\%a%,%10%\\Cursors\\b.cur,"
        "c.cur,d.cur,e.cur,f.cur,g.cur,h.cur,i.cur,j.cur,k.cur,l.cur,m.cur,n.cur,o.cur,p.cur,q.cur,r.cur,s.cur,\n"
        "HKCU,\"Control Panel\\Cursors\",Arow,,\"x.cur\n"
        "[Strings]\nA=\"100%% arrow.cur\"\n";
    return {
        {"inf-template-utf8", utf8Text(templateInf())},
        {"inf-template-utf8-bom", utf8Text(templateInf("Curseurs \xC3\x89l\xC3\xA9gants"), true)},
        {"inf-template-utf16", utf16Text(templateInf())},
        {"inf-template-cp1252", cp1252Text(templateInf("Fl\xC3\xA8" "che \xE2\x80\x93 Noir"))},
        {"inf-hklm-two-schemes", utf8Text(hklm)},
        {"inf-per-role", utf16Text(perRole)},
        {"inf-sloppy", utf8Text(sloppy)},
    };
}

}  // namespace fixtures
