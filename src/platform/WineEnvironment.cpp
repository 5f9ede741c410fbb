// The environment and code page of a Wine prefix, and text in Windows code pages.
#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "formats/AsciiText.h"
#include "formats/WineRegistry.h"
#include "platform/DirEnum.h"
#include "platform/FileSource.h"
#include "platform/MbText.h"
#include "platform/WinePaths.h"

namespace platform {

namespace {

constexpr std::size_t kMaxExpanded = 32767;
constexpr std::uint64_t kMaxRegistryFile = 64u << 20;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// iconv's names for a Windows code page, most likely first.
std::vector<std::string> converterNames(std::uint32_t codePage) {
    std::vector<std::string> names = {"CP" + std::to_string(codePage), "WINDOWS-" + std::to_string(codePage)};
    if (codePage == 936) names.push_back("GBK");
    if (codePage == 950) names.push_back("BIG5");
    if (codePage == 949) names.push_back("UHC");
    return names;
}

struct IconvCloser {
    void operator()(void* cd) const { ::iconv_close(static_cast<iconv_t>(cd)); }
};

// The registry file's bytes, when it is one Wine wrote and not too large.
std::optional<formats::Bytes> registryBytes(const std::string& path) {
    auto file = FileSource::open(path);
    if (!file || file->size() > kMaxRegistryFile) return std::nullopt;
    return file->read(0, file->size());
}

// Notes whether a variable's latest value is one to expand.
void markExpandable(std::vector<std::string>& expandable, std::string_view name, bool expand) {
    std::erase_if(expandable, [&](const std::string& n) { return formats::compareIgnoreCase(n, name) == 0; });
    if (expand) expandable.emplace_back(name);
}

// Sets the named variable from a value of the key, when the key holds it as a string.
void setFrom(WineEnvironment& env, const std::vector<formats::RegistryValue>& values, std::string_view valueName,
             std::string_view variable, std::vector<std::string>& expandable) {
    for (const auto& v : values) {
        if (formats::compareIgnoreCase(v.name, valueName) != 0) continue;
        if (v.type != formats::RegistryValue::Type::String && v.type != formats::RegistryValue::Type::ExpandString) return;
        env.set(variable, v.text);
        markExpandable(expandable, variable, v.type == formats::RegistryValue::Type::ExpandString);
        return;
    }
}

// Every string value of the key becomes a variable.
void setAll(WineEnvironment& env, const std::vector<formats::RegistryValue>& values, std::vector<std::string>& expandable) {
    for (const auto& v : values) {
        if (v.name.empty()) continue;
        if (v.type != formats::RegistryValue::Type::String && v.type != formats::RegistryValue::Type::ExpandString) continue;
        env.set(v.name, v.text);
        markExpandable(expandable, v.name, v.type == formats::RegistryValue::Type::ExpandString);
    }
}

// The user whose folder the prefix holds: drive_c/users/ without Public; $USER's folder
// when there are several, else the first by name.
std::optional<std::string> prefixUser(const std::string& prefix) {
    std::vector<std::string> users;
    if (auto it = DirEnum::start(prefix + "/drive_c/users/*")) {
        do {
            const DirEntry& e = it->entry();
            if ((e.attributes & attr::Directory) && e.name != "." && e.name != ".." &&
                formats::compareIgnoreCase(e.name, "Public") != 0)
                users.push_back(e.name);
        } while (it->next());
    }
    if (users.empty()) return std::nullopt;
    if (const char* user = std::getenv("USER"))
        for (const auto& u : users)
            if (u == user) return u;
    return users.front();
}

}  // namespace

std::optional<std::string> decodeCodePage(std::string_view bytes, std::uint32_t codePage) {
    if (auto simple = formats::decodeSimpleCodePage(bytes, codePage)) return simple;
    std::unique_ptr<void, IconvCloser> cd;
    for (const auto& name : converterNames(codePage)) {
        const iconv_t opened = ::iconv_open("UTF-8", name.c_str());
        if (opened != reinterpret_cast<iconv_t>(-1)) {
            cd.reset(opened);
            break;
        }
    }
    if (!cd) return std::nullopt;
    std::string out;
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* o = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t r = ::iconv(static_cast<iconv_t>(cd.get()), &in, &inLeft, &o, &outLeft);
        out.append(buffer, static_cast<std::size_t>(o - buffer));
        if (r != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // A byte the code page does not map (or a sequence cut off at the end).
        out += kReplacement;
        ++in;
        --inLeft;
        ::iconv(static_cast<iconv_t>(cd.get()), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

std::string decodeStoredText(const formats::StoredText& text, std::uint32_t ansiCodePage) {
    if (text.isUtf8()) return text.bytes;
    const std::uint32_t cp = text.codePage == formats::kAnsiCodePage ? ansiCodePage : text.codePage;
    if (auto decoded = decodeCodePage(text.bytes, cp)) return *decoded;
    std::string out;
    for (const char c : text.bytes) {
        if (static_cast<unsigned char>(c) < 0x80) out += c;
        else out += kReplacement;
    }
    return out;
}

std::optional<std::string> WineEnvironment::variable(std::string_view name) const {
    for (const auto& [n, v] : variables_)
        if (formats::compareIgnoreCase(n, name) == 0) return v;
    return std::nullopt;
}

void WineEnvironment::set(std::string_view name, std::string value) {
    for (auto& [n, v] : variables_)
        if (formats::compareIgnoreCase(n, name) == 0) {
            v = std::move(value);
            return;
        }
    variables_.emplace_back(std::string(name), std::move(value));
}

std::string WineEnvironment::expand(std::string_view text) const {
    std::string out;
    std::size_t i = 0;
    while (i < text.size() && out.size() < kMaxExpanded) {
        const std::size_t open = text.find('%', i);
        if (open == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, open - i));
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(open));
            break;
        }
        const auto value = close > open + 1 ? variable(text.substr(open + 1, close - open - 1)) : std::nullopt;
        out.append(value ? std::string_view(*value) : text.substr(open, close - open + 1));
        i = close + 1;
    }
    if (out.size() > kMaxExpanded) out.resize(kMaxExpanded);
    return out;
}

WineEnvironment wineDefaultEnvironment(const std::string& prefix) {
    WineEnvironment env;
    const bool wow64 = isDirectory(prefix + "/drive_c/Program Files (x86)");
    env.set("SystemDrive", "C:");
    env.set("SystemRoot", "C:\\windows");
    env.set("windir", "C:\\windows");
    env.set("winsysdir", "C:\\windows\\system32");
    env.set("ComSpec", "C:\\windows\\system32\\cmd.exe");
    env.set("ProgramFiles", "C:\\Program Files");
    env.set("CommonProgramFiles", "C:\\Program Files\\Common Files");
    if (wow64) {
        env.set("ProgramFiles(x86)", "C:\\Program Files (x86)");
        env.set("CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files");
        env.set("ProgramW6432", "C:\\Program Files");
        env.set("CommonProgramW6432", "C:\\Program Files\\Common Files");
    }
    env.set("ProgramData", "C:\\ProgramData");
    env.set("ALLUSERSPROFILE", "C:\\ProgramData");
    env.set("PUBLIC", "C:\\users\\Public");
    if (const auto user = prefixUser(prefix)) {
        const std::string profile = "C:\\users\\" + *user;
        env.set("USERNAME", *user);
        env.set("USERPROFILE", profile);
        env.set("APPDATA", profile + "\\AppData\\Roaming");
        env.set("LOCALAPPDATA", profile + "\\AppData\\Local");
        env.set("HOMEDRIVE", "C:");
        env.set("HOMEPATH", "\\users\\" + *user);
        env.set("TEMP", profile + "\\Temp");
        env.set("TMP", profile + "\\Temp");
    }
    return env;
}

WineEnvironment readWineEnvironment(const std::string& prefix) {
    WineEnvironment env = wineDefaultEnvironment(prefix);
    std::vector<std::string> expandable;
    if (const auto bytes = registryBytes(prefix + "/system.reg")) {
        if (const auto reg = formats::WineRegistry::open(*bytes)) {
            if (const auto v = reg->values("Software\\Microsoft\\Windows\\CurrentVersion")) {
                setFrom(env, *v, "ProgramFilesDir", "ProgramFiles", expandable);
                setFrom(env, *v, "CommonFilesDir", "CommonProgramFiles", expandable);
                setFrom(env, *v, "ProgramFilesDir (x86)", "ProgramFiles(x86)", expandable);
                setFrom(env, *v, "CommonFilesDir (x86)", "CommonProgramFiles(x86)", expandable);
                setFrom(env, *v, "ProgramW6432Dir", "ProgramW6432", expandable);
                setFrom(env, *v, "CommonW6432Dir", "CommonProgramW6432", expandable);
            }
            if (const auto v = reg->values("Software\\Microsoft\\Windows NT\\CurrentVersion"))
                setFrom(env, *v, "SystemRoot", "SystemRoot", expandable);
            if (const auto v = reg->values("Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList")) {
                setFrom(env, *v, "ProgramData", "ProgramData", expandable);
                setFrom(env, *v, "ProgramData", "ALLUSERSPROFILE", expandable);
                setFrom(env, *v, "Public", "PUBLIC", expandable);
            }
            if (const auto v = reg->values("System\\CurrentControlSet\\Control\\Session Manager\\Environment"))
                setAll(env, *v, expandable);
            if (const auto acp = reg->value("System\\CurrentControlSet\\Control\\Nls\\CodePage", "ACP")) {
                const std::int32_t cp = formats::profileInt(acp->text);
                if (cp > 0 && cp < 65536) env.ansiCodePage = static_cast<std::uint32_t>(cp);
            }
        }
    }
    if (const auto bytes = registryBytes(prefix + "/user.reg")) {
        if (const auto reg = formats::WineRegistry::open(*bytes)) {
            for (const char* key : {"Environment", "Volatile Environment"})
                if (const auto v = reg->values(key)) setAll(env, *v, expandable);
        }
    }
    // Expandable values may name each other (windir is %SystemRoot%): a few rounds settle
    // every chain a prefix holds; a loop stops growing at the expansion's limit.
    for (int round = 0; round < 4; ++round)
        for (const auto& name : expandable)
            if (const auto v = env.variable(name)) env.set(name, env.expand(*v));
    return env;
}

std::optional<std::string> findWinePrefix(const std::string& file) {
    const auto isPrefix = [](const std::string& dir) { return isDirectory(dir + "/drive_c") && isDirectory(dir + "/dosdevices"); };
    const auto walkUp = [&](std::string dir) -> std::optional<std::string> {
        while (!dir.empty()) {
            if (isPrefix(dir)) return dir;
            const std::size_t slash = dir.rfind('/');
            if (slash == std::string::npos || dir == "/") break;
            dir = slash == 0 ? "/" : dir.substr(0, slash);
        }
        return std::nullopt;
    };
    std::string absolute = file;
    if (absolute.empty() || absolute[0] != '/') {
        char* cwd = ::getcwd(nullptr, 0);
        if (!cwd) return std::nullopt;
        absolute = joinPath(cwd, file);
        std::free(cwd);
    }
    const std::size_t slash = absolute.rfind('/');
    const std::string dir = slash == 0 ? "/" : absolute.substr(0, slash);
    if (auto found = walkUp(dir)) return found;
    if (char* real = ::realpath(dir.c_str(), nullptr)) {
        const std::string resolved(real);
        std::free(real);
        if (resolved != dir) return walkUp(resolved);
    }
    return std::nullopt;
}

}  // namespace platform
