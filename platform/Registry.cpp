#include "platform/Registry.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/File.h"

namespace platform {

namespace {

constexpr std::int64_t kMaxRegistryFileSize = 64 * 1024 * 1024;

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), AsciiLower);
    return out;
}

std::string_view Trim(std::string_view s) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

// One UTF-16 code unit as the 8-bit calls would give it.
char NarrowUnit(std::uint16_t unit) {
    return unit <= 0xFF ? static_cast<char>(unit) : '?';
}

std::string NarrowUtf16(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit >= 0xDC00 && unit <= 0xDFFF) continue;  // second half of a pair: the first gave '?'
        out.push_back(NarrowUnit(unit));
    }
    return out;
}

// UTF-8 to 8-bit text: code points above 0xFF and malformed sequences become '?'.
std::string NarrowUtf8(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint8_t b = bytes[i];
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        if ((b & 0xE0) == 0xC0) { extra = 1; cp = b & 0x1F; }
        else if ((b & 0xF0) == 0xE0) { extra = 2; cp = b & 0x0F; }
        else if ((b & 0xF8) == 0xF0) { extra = 3; cp = b & 0x07; }
        else { out.push_back('?'); ++i; continue; }
        std::size_t taken = 1;
        bool ok = true;
        for (; taken <= extra; ++taken) {
            if (i + taken >= bytes.size() || (bytes[i + taken] & 0xC0) != 0x80) { ok = false; break; }
            cp = (cp << 6) | (bytes[i + taken] & 0x3F);
        }
        out.push_back(ok && cp <= 0xFF ? static_cast<char>(cp) : '?');
        i += taken;
    }
    return out;
}

// Key names are compared and stored as lower-case paths with one backslash
// between components and the hive under its long name.
std::string NormaliseKeyName(std::string_view name) {
    std::string out;
    bool first = true;
    while (!name.empty()) {
        const std::size_t cut = name.find('\\');
        std::string_view part = name.substr(0, cut);
        name = cut == std::string_view::npos ? std::string_view{} : name.substr(cut + 1);
        if (part.empty()) continue;
        std::string lower = Lower(part);
        if (first) {
            if (lower == "hklm") lower = "hkey_local_machine";
            else if (lower == "hkcu") lower = "hkey_current_user";
            else if (lower == "hkcr") lower = "hkey_classes_root";
            else if (lower == "hku") lower = "hkey_users";
            else if (lower == "hkcc") lower = "hkey_current_config";
        } else {
            out.push_back('\\');
        }
        out += lower;
        first = false;
    }
    return out;
}

// Reads a quoted string starting at s[pos] == '"'. Regedit escapes only the
// backslash and the quote; any other backslash stands for itself.
std::optional<std::string> ReadQuoted(std::string_view s, std::size_t& pos) {
    if (pos >= s.size() || s[pos] != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = pos + 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out.push_back(s[++i]);
            continue;
        }
        out.push_back(c);
    }
    return std::nullopt;  // no closing quote
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = AsciiLower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view s) {
    std::vector<std::uint8_t> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == ',' || c == ' ' || c == '\t' || c == '\\' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (i + 1 >= s.size()) return std::nullopt;
        const int hi = HexDigit(s[i]);
        const int lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        i += 2;
    }
    return out;
}

std::string TextUpToNul(std::string text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

// The value part of a line after '=': nullopt for a line to skip; a value of
// type Other with `remove` set stands for "-", the deletion of the value.
struct ParsedValue {
    RegistryValue value;
    bool remove = false;
};

std::optional<ParsedValue> ParseValueData(std::string_view data, bool wide) {
    ParsedValue parsed;
    data = Trim(data);
    if (data == "-") {
        parsed.remove = true;
        return parsed;
    }
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        auto text = ReadQuoted(data, pos);
        if (!text) return std::nullopt;
        parsed.value.type = RegistryType::String;
        parsed.value.text = std::move(*text);
        return parsed;
    }
    const std::string lower = Lower(data.substr(0, std::min<std::size_t>(data.size(), 12)));
    if (lower.starts_with("dword:")) {
        const std::string_view digits = Trim(data.substr(6));
        if (digits.empty() || digits.size() > 8) return std::nullopt;
        std::uint32_t v = 0;
        for (char c : digits) {
            const int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        parsed.value.type = RegistryType::Dword;
        parsed.value.dword = v;
        return parsed;
    }
    if (lower.starts_with("hex")) {
        const std::size_t colon = data.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        const std::string kind = Lower(Trim(data.substr(3, colon - 3)));
        unsigned type = 3;  // REG_BINARY
        if (!kind.empty()) {
            if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')') return std::nullopt;
            type = 0;
            const std::string_view digits = std::string_view(kind).substr(1, kind.size() - 2);
            if (digits.empty() || digits.size() > 8) return std::nullopt;
            for (char c : digits) {
                const int d = HexDigit(c);
                if (d < 0) return std::nullopt;
                type = type * 16 + static_cast<unsigned>(d);
            }
        }
        auto bytes = ParseHexBytes(data.substr(colon + 1));
        if (!bytes) return std::nullopt;
        if (type == 1 || type == 2) {
            parsed.value.type = type == 1 ? RegistryType::String : RegistryType::ExpandString;
            parsed.value.text = TextUpToNul(wide ? NarrowUtf16(*bytes)
                                                 : std::string(bytes->begin(), bytes->end()));
        } else if (type == 4 && bytes->size() == 4) {
            parsed.value.type = RegistryType::Dword;
            parsed.value.dword = static_cast<std::uint32_t>((*bytes)[0]) |
                                 static_cast<std::uint32_t>((*bytes)[1]) << 8 |
                                 static_cast<std::uint32_t>((*bytes)[2]) << 16 |
                                 static_cast<std::uint32_t>((*bytes)[3]) << 24;
        } else {
            parsed.value.type = type == 3 ? RegistryType::Binary : RegistryType::Other;
        }
        return parsed;
    }
    return std::nullopt;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (nl == std::string_view::npos) break;
        text.remove_prefix(nl + 1);
    }
    return lines;
}

}  // namespace

struct Registry::Data {
    std::map<std::string, RegistryKeyData> keys;  // by normalised name
};

Registry::Registry() : m_data(std::make_shared<const Data>()) {}

Registry Registry::Parse(std::span<const std::uint8_t> bytes) {
    return ParseExport(bytes).value_or(Registry());
}

std::optional<Registry> Registry::ParseExport(std::span<const std::uint8_t> bytes) {
    std::string text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        text = NarrowUtf16(bytes.subspan(2));
    } else if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        text = NarrowUtf8(bytes.subspan(3));
    } else {
        text.assign(bytes.begin(), bytes.end());
    }

    auto data = std::make_shared<Data>();
    const std::vector<std::string_view> lines = SplitLines(text);
    std::size_t i = 0;
    while (i < lines.size() && Trim(lines[i]).empty()) ++i;
    if (i == lines.size()) return std::nullopt;
    const std::string_view header = Trim(lines[i]);
    bool wide = false;
    if (header == "Windows Registry Editor Version 5.00") {
        wide = true;
    } else if (header != "REGEDIT4") {
        return std::nullopt;
    }
    ++i;

    RegistryKeyData* current = nullptr;
    for (; i < lines.size(); ++i) {
        std::string_view line = Trim(lines[i]);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            current = nullptr;
            const std::size_t close = line.rfind(']');
            if (close == std::string_view::npos || close < 1) continue;
            std::string_view name = line.substr(1, close - 1);
            if (!name.empty() && name.front() == '-') {
                const std::string gone = NormaliseKeyName(name.substr(1));
                if (gone.empty()) continue;
                data->keys.erase(gone);
                const std::string prefix = gone + '\\';
                auto it = data->keys.lower_bound(prefix);
                while (it != data->keys.end() && it->first.starts_with(prefix)) it = data->keys.erase(it);
                continue;
            }
            const std::string key = NormaliseKeyName(name);
            if (key.empty()) continue;
            current = &data->keys[key];
            continue;
        }

        // A value line; hex data may continue over lines ending in a
        // backslash. Whether it is hex is decided once, on its first line, so
        // a value of many lines is joined in time linear in its length.
        std::string joined(line);
        if (joined.back() == '\\' && Lower(joined).find("=hex") != std::string::npos) {
            while (!joined.empty() && joined.back() == '\\' && i + 1 < lines.size()) {
                joined.pop_back();
                joined += Trim(lines[++i]);
            }
        }
        if (current == nullptr) continue;
        std::string_view rest = joined;
        std::string name;
        std::size_t pos = 0;
        if (rest.front() == '@') {
            pos = 1;
        } else if (rest.front() == '"') {
            auto quoted = ReadQuoted(rest, pos);
            if (!quoted) continue;
            name = std::move(*quoted);
        } else {
            continue;
        }
        rest = Trim(rest.substr(pos));
        if (rest.empty() || rest.front() != '=') continue;
        auto parsed = ParseValueData(rest.substr(1), wide);
        if (!parsed) continue;
        const std::string valueName = Lower(name);
        if (parsed->remove) {
            current->values.erase(valueName);
        } else {
            current->values[valueName] = std::move(parsed->value);
        }
    }
    Registry registry;
    registry.m_data = std::move(data);
    return registry;
}

Registry Registry::Load(const std::filesystem::path& path, std::string* problem) {
    const auto bytes = ReadRegularFile(path, kMaxRegistryFileSize, problem);
    if (!bytes) return Registry();
    if (bytes->empty()) {
        if (problem) *problem = "it is empty";
        return Registry();
    }
    auto registry = ParseExport(*bytes);
    if (!registry) {
        if (problem) {
            *problem = "it is no registry export (\"REGEDIT4\" text, or \"Windows Registry Editor Version "
                       "5.00\" in UTF-16LE with a byte order mark)";
        }
        return Registry();
    }
    if (problem) problem->clear();
    return std::move(*registry);
}

Registry Registry::LoadSystem(std::string* problem) {
    return Load(SystemRegistryPath(), problem);
}

std::optional<RegistryKey> Registry::OpenLocalMachineKey(std::string_view subKey) const {
    std::string full = "HKEY_LOCAL_MACHINE\\";
    full += subKey;
    return OpenKey(full);
}

std::optional<RegistryKey> Registry::OpenKey(std::string_view fullName) const {
    const std::string key = NormaliseKeyName(fullName);
    if (key.empty()) return std::nullopt;
    RegistryKey opened;
    opened.m_owner = m_data;
    const auto it = m_data->keys.find(key);
    if (it != m_data->keys.end()) {
        opened.m_data = &it->second;
        return opened;
    }
    const std::string prefix = key + '\\';
    const auto below = m_data->keys.lower_bound(prefix);
    if (below != m_data->keys.end() && below->first.starts_with(prefix)) return opened;
    return std::nullopt;
}

std::size_t Registry::KeyCount() const {
    return m_data->keys.size();
}

const RegistryValue* RegistryKey::FindValue(std::string_view name) const {
    if (m_data == nullptr) return nullptr;
    const auto it = m_data->values.find(Lower(name));
    return it == m_data->values.end() ? nullptr : &it->second;
}

std::optional<std::string> RegistryKey::QueryString(std::string_view name, std::size_t bufferSize) const {
    const RegistryValue* value = FindValue(name);
    if (value == nullptr || bufferSize == 0) return std::nullopt;
    if (value->type != RegistryType::String && value->type != RegistryType::ExpandString) return std::nullopt;
    return value->text.substr(0, bufferSize - 1);
}

std::optional<std::uint32_t> RegistryKey::QueryDword(std::string_view name) const {
    const RegistryValue* value = FindValue(name);
    if (value == nullptr || value->type != RegistryType::Dword) return std::nullopt;
    return value->dword;
}

std::filesystem::path SystemRegistryPath() {
    if (const char* env = std::getenv("MARLOTRC_REGISTRY"); env != nullptr && *env != '\0') return env;
    return InstalledDataPath("orintlan.reg");
}

std::filesystem::path InstalledDataPath(const std::filesystem::path& relative) {
    Dl_info info{};
    std::filesystem::path libDir = std::filesystem::current_path();
    if (dladdr(reinterpret_cast<void*>(&InstalledDataPath), &info) != 0 && info.dli_fname != nullptr) {
        std::error_code ec;
        const auto lib = std::filesystem::canonical(info.dli_fname, ec);
        libDir = ec ? std::filesystem::path(info.dli_fname).parent_path() : lib.parent_path();
    }
    // lib/ or a multiarch lib/<triplet>/ below the prefix.
    const std::filesystem::path candidates[] = {
        libDir.parent_path() / "share" / "marlotrc" / relative,
        libDir.parent_path().parent_path() / "share" / "marlotrc" / relative,
    };
    for (const auto& candidate : candidates) {
        std::error_code ec;
        if (std::filesystem::exists(candidate, ec)) return candidate;
    }
    return candidates[0];
}

}  // namespace platform
