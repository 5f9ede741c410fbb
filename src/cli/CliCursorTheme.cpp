// vexil-cli cursor-theme: a Windows cursor pack (an install.inf, a folder, an archive) made
// into a cursor theme under DIR/NAME. The plan is printed role by role before anything is
// written, so that a wrong guess is seen; the theme is then written whole or not at all.
#include <cstdio>

#include "cli/Cli.h"
#include "cli/JsonText.h"
#include "cli/LineText.h"
#include "iconmod/CursorTheme.h"
#include "iconmod/IconTheme.h"
#include "iconmod/PngExport.h"
#include "platform/AtomicFile.h"
#include "platform/MbText.h"

namespace cli {
namespace {

const char* matchWord(iconmod::RoleMatch match) {
    switch (match) {
    case iconmod::RoleMatch::Listed: return "listed";
    case iconmod::RoleMatch::ListedOtherCase: return "listed-other-case";
    case iconmod::RoleMatch::FileName: return "file-name";
    }
    return "listed";
}

const char* sourceWord(iconmod::SizeSource source) {
    switch (source) {
    case iconmod::SizeSource::Own: return "own";
    case iconmod::SizeSource::Shrunk: return "shrunk";
    case iconmod::SizeSource::Enlarged: return "enlarged";
    }
    return "own";
}

const iconmod::CursorThemeRole* roleOf(const iconmod::CursorThemePlan& plan, formats::CursorRole role) {
    for (const iconmod::CursorThemeRole& r : plan.roles)
        if (r.role == role) return &r;
    return nullptr;
}

// One line a role: its file and how it was found, the sizes written (how each is made when
// it is not the pack's own), its steps, and how many names it answers to. A role the
// theme does not draw says so.
void printRoles(const iconmod::CursorThemePlan& plan) {
    for (std::size_t i = 0; i < formats::kCursorRoleCount; ++i) {
        const formats::CursorRole role = *formats::cursorRoleAt(i);
        const iconmod::CursorThemeRole* r = roleOf(plan, role);
        std::string line = std::string(formats::cursorRoleName(role)) + ": ";
        if (!r) {
            line += role == formats::CursorRole::Pin || role == formats::CursorRole::Person ? "-" : "- (left to Adwaita)";
            std::printf("%s\n", line.c_str());
            continue;
        }
        line += lineText(r->file);
        if (r->match == iconmod::RoleMatch::ListedOtherCase) line += " (the INF says " + lineText(r->listedAs) + ")";
        if (r->match == iconmod::RoleMatch::FileName) line += " (by its name)";
        line += "; sizes";
        for (const iconmod::CursorThemeSize& s : r->sizes) {
            line += " " + std::to_string(s.size);
            if (s.source != iconmod::SizeSource::Own) line += std::string(" (") + sourceWord(s.source) + " from " + std::to_string(s.fromWidth) + ")";
        }
        if (r->animated) line += "; " + std::to_string(r->delaysMs.size()) + " steps";
        line += "; " + std::string(r->names.front());
        if (r->names.size() > 1) line += " and " + std::to_string(r->names.size() - 1) + (r->names.size() == 2 ? " other name" : " other names");
        std::printf("%s\n", line.c_str());
    }
}

std::string numberList(const std::vector<std::uint32_t>& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i) out += (i ? ", " : "") + std::to_string(values[i]);
    return out + "]";
}

std::string textList(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) out += (i ? ", " : "") + json::quoted(texts[i]);
    return out + "]";
}

// The theme as one JSON object: where it went, each role's file, sizes with their hotspots
// and the names written for it, and the warnings.
void printJson(const iconmod::CursorThemePlan& plan, const iconmod::CursorThemeWritten& written, const std::string* preview) {
    std::string out = "{" + json::textMember("theme", plan.name, "theme_hex") + ", " + json::textMember("folder", written.folder, "folder_hex") +
                      ", \"replaced\": " + (written.replaced ? "true" : "false") + ", " +
                      json::textMember("scheme", plan.choice.label, "scheme_hex") + ", \"roles\": [";
    for (std::size_t i = 0; i < plan.roles.size(); ++i) {
        const iconmod::CursorThemeRole& r = plan.roles[i];
        out += std::string(i ? ", " : "") + "{\"role\": \"" + formats::cursorRoleName(r.role) + "\", " +
               json::textMember("file", r.file, "file_hex") + ", \"match\": \"" + matchWord(r.match) + "\", \"animated\": " +
               (r.animated ? "true" : "false") + ", \"delays_ms\": " + numberList(r.delaysMs) + ", \"sizes\": [";
        for (std::size_t k = 0; k < r.sizes.size(); ++k) {
            const iconmod::CursorThemeSize& s = r.sizes[k];
            out += std::string(k ? ", " : "") + "{\"size\": " + std::to_string(s.size) + ", \"width\": " + std::to_string(s.width) +
                   ", \"height\": " + std::to_string(s.height) + ", \"hotspot\": [" + std::to_string(s.hotspotX) + ", " +
                   std::to_string(s.hotspotY) + "], \"source\": \"" + sourceWord(s.source) + "\", \"from_width\": " +
                   std::to_string(s.fromWidth) + "}";
        }
        out += "], \"names\": [";
        for (std::size_t k = 0; k < r.names.size(); ++k) out += (k ? ", " : "") + json::quoted(r.names[k]);
        out += "]}";
    }
    out += "], \"warnings\": " + textList(plan.warnings);
    if (preview) out += ", " + json::textMember("preview", *preview, "preview_hex");
    out += ", \"files\": " + textList(written.files) + "}\n";
    std::fputs(out.c_str(), stdout);
}

// The choices a pack offers, one a line (or as a JSON object), for a --scheme to take.
void printChoices(const iconmod::CursorPack& pack, bool asJson) {
    std::vector<std::string> labels;
    for (const iconmod::CursorPackChoice& c : iconmod::cursorPackChoices(pack)) labels.push_back(c.label);
    if (asJson) {
        std::printf("{\"choices\": %s}\n", textList(labels).c_str());
        return;
    }
    for (const std::string& label : labels) std::printf("%s\n", lineText(label).c_str());
}

}  // namespace

int cmdCursorTheme(const Arguments& args) {
    const bool asJson = args.has("--json");
    iconmod::CursorThemeOptions options;
    if (const std::string* name = args.value("--name")) {
        if (!iconmod::isIconThemeName(*name) || *name == "." || *name == "..")
            return usage("NAME may hold letters, digits, '.', '_' and '-' only");
        options.name = *name;
    }
    if (const std::string* scheme = args.value("--scheme")) options.scheme = *scheme;
    if (const std::string* list = args.value("--sizes")) {
        const auto sizes = iconmod::parseCursorSizes(*list);
        if (!sizes)
            return usage("--sizes needs sizes from 1 to " + std::to_string(iconmod::kMaxCursorThemeSize) + " joined by commas (24,32,48)");
        options.sizes = *sizes;
    }
    const std::string* preview = args.value("--preview");
    if (preview && platform::asciiLower(platform::extensionOf(*preview)) != ".png")
        return usage("the --preview file must end in .png");
    std::string dir;
    if (const auto status = outputFolder(args, iconmod::defaultCursorThemeDir(), "HOME is not set", &dir)) return *status;

    const auto opened = iconmod::openCursorPack(args.words[0]);
    if (const auto* error = std::get_if<iconmod::CursorThemeError>(&opened)) return fail(error->text);
    const iconmod::CursorPack& pack = std::get<iconmod::CursorPack>(opened);
    for (const std::string& note : pack.notes) std::fprintf(stderr, "vexil-cli: warning: %s\n", lineText(note).c_str());
    const auto planned = iconmod::planCursorTheme(pack, options);
    if (const auto* error = std::get_if<iconmod::CursorThemeError>(&planned)) {
        if (error->failure == iconmod::CursorThemeFailure::Choice) printChoices(pack, asJson);
        return fail(error->text);
    }
    const iconmod::CursorThemePlan& plan = std::get<iconmod::CursorThemePlan>(planned);
    for (const std::string& warning : plan.warnings) std::fprintf(stderr, "vexil-cli: warning: %s\n", lineText(warning).c_str());
    if (!asJson) {
        printRoles(plan);
        std::fflush(stdout);  // before a failure line on stderr
    }

    const auto result = iconmod::writeCursorTheme(plan, dir, args.has("--force"));
    if (const auto* error = std::get_if<iconmod::CursorThemeError>(&result)) {
        if (error->failure == iconmod::CursorThemeFailure::Exists) return fail(error->text + " (--force replaces it)");
        return fail(error->text);
    }
    const iconmod::CursorThemeWritten& written = std::get<iconmod::CursorThemeWritten>(result);
    if (!written.leftover.empty())
        std::fprintf(stderr, "vexil-cli: warning: %s: the theme it replaced could not be removed\n", lineText(written.leftover).c_str());
    if (preview && !iconmod::writePng(*preview, iconmod::cursorThemePreview(plan))) {
        if (asJson) printJson(plan, written, nullptr);
        return failWriting(*preview, "cannot be written");
    }
    if (asJson) {
        printJson(plan, written, preview);
        return 0;
    }
    std::printf("%s %s\n", written.replaced ? "replaced" : "written", lineText(written.folder).c_str());
    for (const std::string& line : iconmod::cursorThemeChoiceLines(plan.name)) std::printf("%s\n", line.c_str());
    return 0;
}

}  // namespace cli
