// vexil-cli resolve: what a file that points at an icon stores and where it leads in its
// Wine prefix; or an icon location given as text, resolved in a prefix.
#include <unistd.h>

#include <cstdio>

#include "cli/Cli.h"
#include "cli/CliPointer.h"
#include "cli/JsonText.h"
#include "cli/LineText.h"
#include "platform/WinePaths.h"

namespace cli {
namespace {

std::string textOrNull(const std::string& key, const std::string& text) {
    return text.empty() ? json::quoted(key) + ": null" : json::textMember(key, text, key + "_hex");
}

std::string currentFolder() {
    std::string dir(4096, '\0');
    if (!::getcwd(dir.data(), dir.size())) return ".";
    dir.resize(dir.find('\0'));
    return dir;
}

// An icon location given as text, in the prefix DIR (else $WINEPREFIX); a relative path
// against the current folder.
PointerReport reportText(const std::string& text, const std::string* prefix) {
    PointerReport report;
    report.kind = "text";
    report.location = text;
    platform::WineResolveOptions options;
    if (prefix) options.fallbackPrefix = *prefix;
    // The resolver finds the prefix above a file; the text names no file, so it stands
    // beside a name in the current folder (outside any prefix, it takes the fallback).
    const std::string beside = currentFolder() + "/-";
    const auto resolver = prefix ? platform::WinePathResolver(beside, *prefix, platform::readWineEnvironment(*prefix))
                                 : platform::WinePathResolver(beside, options);
    const auto location = platform::resolveIconLocation(resolver, formats::StoredText::utf8(text));
    if (!location.file) {
        report.failure = location.file.message();
        return report;
    }
    std::string why;
    auto group = iconmod::openIconAt(location.file.path, location.index, false, &why);
    if (!group) {
        report.failure = why;
        return report;
    }
    report.path = group->path;
    report.group = group->name ? groupLineText(*group->name) : std::string("-");
    return report;
}

void printLines(const PointerReport& report) {
    const std::pair<const char*, const std::string*> lines[] = {{"kind", &report.kind},         {"location", &report.location},
                                                                {"target", &report.target},     {"path", &report.path},
                                                                {"group", &report.group}};
    for (const auto& [key, value] : lines) std::printf("%s\t%s\n", key, lineText(*value).c_str());
    for (const std::string& icon : report.icons) std::printf("icon\t%s\n", lineText(icon).c_str());
}

}  // namespace

PointerReport reportPointer(iconmod::PointerSource& pointer, std::optional<iconmod::PointedGroup>* keep) {
    const iconmod::IconPointer& p = pointer.pointer();
    PointerReport report;
    report.kind = iconmod::pointerKindName(p.kind);
    report.location = p.storedLocation;
    report.target = p.storedTarget;
    report.icons = p.iconNames;
    std::string why;
    auto group = pointer.openAt(0, &why);
    if (!group) {
        report.failure = why;
        return report;
    }
    report.path = group->path;
    report.group = group->name ? groupLineText(*group->name) : std::string("-");
    if (keep) *keep = std::move(group);
    return report;
}

std::string reportMembers(const PointerReport& report) {
    std::string icons = "[";
    for (std::size_t i = 0; i < report.icons.size(); ++i) icons += (i ? ", " : "") + json::quoted(report.icons[i]);
    icons += "]";
    return json::textMember("kind", report.kind, "kind_hex") + ", " + textOrNull("location", report.location) + ", " +
           textOrNull("target", report.target) + ", " + textOrNull("path", report.path) + ", " +
           textOrNull("group", report.group) + ", \"icons\": " + icons + ", \"found\": " + (report.failure ? "false" : "true") +
           ", " + textOrNull("failure", report.failure ? *report.failure : std::string());
}

int cmdResolve(const Arguments& args) {
    const std::string& given = args.words[0];
    const std::string* prefix = args.value("--prefix");
    PointerReport report;
    if (prefix) {
        report = reportText(given, prefix);
    } else {
        InputFile input = openInput(given);
        if (input.pointer) report = reportPointer(*input.pointer);
        else if (!input.file && input.error != platform::FileSource::OpenError::NotFound)
            return fail(whyNotOpened(given, input.error, input.systemError));
        else if (input.file) return fail(given + ": not a file that names an icon (a shortcut, .url, desktop.ini, autorun.inf or .msi)");
        else report = reportText(given, nullptr);
    }
    if (args.has("--json")) std::printf("{%s, %s}\n", json::textMember("file", given, "file_hex").c_str(), reportMembers(report).c_str());
    else printLines(report);
    std::fflush(stdout);
    return report.failure ? fail(given + ": " + *report.failure) : 0;
}

}  // namespace cli
