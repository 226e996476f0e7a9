#include "platform/Registry.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

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

// Appends UTF-16LE text as 8-bit characters; returns the bytes used (an odd
// last byte is left for the rest of its unit).
std::size_t AppendNarrowUtf16(std::span<const std::uint8_t> bytes, std::string& out) {
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit >= 0xDC00 && unit <= 0xDFFF) continue;  // second half of a pair: the first gave '?'
        out.push_back(NarrowUnit(unit));
    }
    return i;
}

std::string NarrowUtf16(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    AppendNarrowUtf16(bytes, out);
    return out;
}

// Appends UTF-8 text as 8-bit characters: code points above 0xFF and
// malformed sequences become '?'. Returns the bytes used: unless `last`, a
// sequence cut short by the end of the bytes is left for its rest to come.
std::size_t AppendNarrowUtf8(std::span<const std::uint8_t> bytes, bool last, std::string& out) {
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
            if (i + taken >= bytes.size()) {
                if (!last) return i;
                ok = false;
                break;
            }
            if ((bytes[i + taken] & 0xC0) != 0x80) { ok = false; break; }
            cp = (cp << 6) | (bytes[i + taken] & 0x3F);
        }
        out.push_back(ok && cp <= 0xFF ? static_cast<char>(cp) : '?');
        i += taken;
    }
    return i;
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

bool IsHexSeparator(char c) {
    return c == ',' || c == ' ' || c == '\t' || c == '\\' || c == '\r' || c == '\n';
}

// Whether s holds "=hex" in any case, without making a lower-case copy.
bool HasHexMarker(std::string_view s) {
    for (std::size_t at = s.find('='); at != std::string_view::npos && at + 4 <= s.size(); at = s.find('=', at + 1)) {
        if (AsciiLower(s[at + 1]) == 'h' && AsciiLower(s[at + 2]) == 'e' && AsciiLower(s[at + 3]) == 'x') return true;
    }
    return false;
}

// The lines of an export as 8-bit text, one at a time, without their line
// ends. A line stays valid until the next call.
class LineSource {
public:
    virtual ~LineSource() = default;
    virtual bool Next(std::string_view& line) = 0;
};

std::string_view CutLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// The lines of a text in memory.
class TextLines final : public LineSource {
public:
    explicit TextLines(std::string_view text) : m_rest(text), m_done(text.empty()) {}

    bool Next(std::string_view& line) override {
        if (m_done) return false;
        const std::size_t nl = m_rest.find('\n');
        line = CutLineEnd(m_rest.substr(0, nl));
        if (nl == std::string_view::npos) {
            m_done = true;
        } else {
            m_rest.remove_prefix(nl + 1);
            m_done = m_rest.empty();
        }
        return true;
    }

private:
    std::string_view m_rest;
    bool m_done;
};

enum class TextEncoding { EightBit, Utf16, Utf8 };

// The encoding a file's first bytes announce, and the length of its mark.
std::pair<TextEncoding, std::size_t> DetectEncoding(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return {TextEncoding::Utf16, 2};
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return {TextEncoding::Utf8, 3};
    return {TextEncoding::EightBit, 0};
}

// The lines of an open file, read in pieces of 64 KiB and turned into 8-bit
// text as they come, so that a large export never sits in memory whole. A
// character split between two pieces waits for its rest.
class FileLines final : public LineSource {
public:
    explicit FileLines(int fd) : m_fd(fd), m_raw(kPiece + 4) {}

    bool Next(std::string_view& line) override {
        for (;;) {
            const std::size_t nl = m_text.find('\n', m_scanned);
            if (nl != std::string::npos) {
                line = CutLineEnd(std::string_view(m_text).substr(m_start, nl - m_start));
                m_start = m_scanned = nl + 1;
                return true;
            }
            m_scanned = m_text.size();
            if (m_ended) {
                if (m_start == m_text.size()) return false;
                line = CutLineEnd(std::string_view(m_text).substr(m_start));
                m_start = m_scanned = m_text.size();
                return true;
            }
            // Lines handed out are done with: keep only the one being read.
            m_text.erase(0, m_start);
            m_scanned -= m_start;
            m_start = 0;
            ReadPiece();
        }
    }

    // The reason reading stopped early, 0 when the whole file was read.
    int Error() const { return m_error; }

private:
    static constexpr std::size_t kPiece = 1 << 16;

    void ReadPiece() {
        const std::size_t got = ReadUpTo(m_fd, m_raw.data() + m_carried, kPiece, &m_error);
        m_ended = got < kPiece;
        std::span<const std::uint8_t> bytes(m_raw.data(), m_carried + got);
        if (m_first) {
            m_first = false;
            const auto [encoding, mark] = DetectEncoding(bytes);
            m_encoding = encoding;
            bytes = bytes.subspan(mark);
        }
        std::size_t used = bytes.size();
        switch (m_encoding) {
        case TextEncoding::EightBit:
            m_text.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            break;
        case TextEncoding::Utf16:
            used = AppendNarrowUtf16(bytes, m_text);
            break;
        case TextEncoding::Utf8:
            used = AppendNarrowUtf8(bytes, m_ended, m_text);
            break;
        }
        const std::size_t left = bytes.size() - used;  // at most 3 bytes
        std::copy(bytes.end() - static_cast<std::ptrdiff_t>(left), bytes.end(), m_raw.begin());
        m_carried = left;
    }

    int m_fd;
    std::vector<std::uint8_t> m_raw;
    std::size_t m_carried = 0;
    bool m_first = true;
    bool m_ended = false;
    int m_error = 0;
    TextEncoding m_encoding = TextEncoding::EightBit;
    std::string m_text;
    std::size_t m_start = 0;    // the first byte of m_text not yet handed out
    std::size_t m_scanned = 0;  // m_text holds no line end before this
};

// The text of a value that may go on over further lines: a hex value whose
// line ends in a backslash continues with the next line's trimmed text. The
// pieces come one at a time, so a value of any length is read without
// joining it, in time linear in its length.
class ValueText {
public:
    // `first` stays valid only until the first call of Next.
    ValueText(std::string_view first, LineSource& lines) : m_lines(lines) {
        m_open = !first.empty() && first.back() == '\\' && HasHexMarker(first);
        m_first = m_open ? first.substr(0, first.size() - 1) : first;
    }

    std::string_view First() const { return m_first; }

    // The next continuation piece; false when the value ends.
    bool Next(std::string_view& piece) {
        if (!m_open || !m_lines.Next(piece)) {
            m_open = false;
            return false;
        }
        piece = Trim(piece);
        m_open = !piece.empty() && piece.back() == '\\';
        if (m_open) piece.remove_suffix(1);
        return true;
    }

    // Passes over the pieces nobody read, so they are not taken for lines of their own.
    void Skip() {
        std::string_view piece;
        while (Next(piece)) {}
    }

private:
    LineSource& m_lines;
    std::string_view m_first;
    bool m_open = false;
};

// Hex pairs separated by commas, blanks or backslashes, fed piece by piece as
// if the pieces were one text: a pair may span two pieces. Keeps the bytes
// only when asked to; a binary value is only checked and counted.
class HexDecoder {
public:
    explicit HexDecoder(std::string* keep) : m_keep(keep) {}

    void Feed(std::string_view s) {
        if (m_bad) return;
        if (m_keep != nullptr) m_keep->reserve(m_keep->size() + s.size() / 3 + 1);
        for (const char c : s) {
            if (m_high < 0) {
                if (IsHexSeparator(c)) continue;
                m_high = HexDigit(c);
                if (m_high < 0) {
                    m_bad = true;
                    return;
                }
                continue;
            }
            const int low = HexDigit(c);
            if (low < 0) {
                m_bad = true;
                return;
            }
            if (m_keep != nullptr) m_keep->push_back(static_cast<char>(m_high * 16 + low));
            m_high = -1;
            ++m_count;
        }
    }

    // False when a character was no hex digit or a pair was left half.
    bool Valid() const { return !m_bad && m_high < 0; }
    std::size_t Count() const { return m_count; }

private:
    std::string* m_keep;
    int m_high = -1;
    bool m_bad = false;
    std::size_t m_count = 0;
};

std::string TextUpToNul(std::string text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

// The value part of a line after '=': nullopt for a line to skip; a value of
// type Other with `remove` set stands for "-", the deletion of the value.
// A hex value takes its continuation pieces from `more`; other values have
// none. The "hex...:" header must stand on the value's first line.
struct ParsedValue {
    RegistryValue value;
    bool remove = false;
};

// One to eight hex digits, as dword values and hex(N) types write them.
std::optional<std::uint32_t> ParseHex32(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t v = 0;
    for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return v;
}

// "hex:..." or "hex(N):...", with the pieces of its continuation lines.
std::optional<ParsedValue> ParseHexValue(std::string_view data, ValueText& more, bool wide) {
    const std::size_t colon = data.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string kind = Lower(Trim(data.substr(3, colon - 3)));
    std::uint32_t type = 3;  // REG_BINARY
    if (!kind.empty()) {
        if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')') return std::nullopt;
        const auto number = ParseHex32(std::string_view(kind).substr(1, kind.size() - 2));
        if (!number) return std::nullopt;
        type = *number;
    }
    // Only strings and DWORDs keep their bytes; other types are checked.
    std::string bytes;
    HexDecoder hex(type == 1 || type == 2 || type == 4 ? &bytes : nullptr);
    hex.Feed(data.substr(colon + 1));
    for (std::string_view piece; more.Next(piece);) hex.Feed(piece);
    if (!hex.Valid()) return std::nullopt;
    ParsedValue parsed;
    if (type == 1 || type == 2) {
        parsed.value.type = type == 1 ? RegistryType::String : RegistryType::ExpandString;
        const auto* raw = reinterpret_cast<const std::uint8_t*>(bytes.data());
        parsed.value.text = TextUpToNul(wide ? NarrowUtf16({raw, bytes.size()}) : std::move(bytes));
    } else if (type == 4 && hex.Count() == 4) {
        const auto byte = [&bytes](std::size_t i) { return static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])); };
        parsed.value.type = RegistryType::Dword;
        parsed.value.dword = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
    } else {
        parsed.value.type = type == 3 ? RegistryType::Binary : RegistryType::Other;
    }
    return parsed;
}

std::optional<ParsedValue> ParseValueData(std::string_view data, ValueText& more, bool wide) {
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
        const auto v = ParseHex32(Trim(data.substr(6)));
        if (!v) return std::nullopt;
        parsed.value.type = RegistryType::Dword;
        parsed.value.dword = *v;
        return parsed;
    }
    if (lower.starts_with("hex")) return ParseHexValue(data, more, wide);
    return std::nullopt;
}

// The export's header, its first line that is not blank: true for either
// kind, with *wide set for the UTF-16 one.
bool ReadExportHeader(LineSource& lines, bool* wide) {
    std::string_view header;
    do {
        if (!lines.Next(header)) return false;
        header = Trim(header);
    } while (header.empty());
    *wide = header == "Windows Registry Editor Version 5.00";
    return *wide || header == "REGEDIT4";
}

// A key line ("[name]" or "[-name]"): the key later values go to, or nullptr
// when it names none (a deleted key, with its subkeys, or a bad name).
RegistryKeyData* TakeKeyLine(std::string_view line, std::map<std::string, RegistryKeyData>& keys) {
    const std::size_t close = line.rfind(']');
    if (close == std::string_view::npos || close < 1) return nullptr;
    std::string_view name = line.substr(1, close - 1);
    if (!name.empty() && name.front() == '-') {
        const std::string gone = NormaliseKeyName(name.substr(1));
        if (gone.empty()) return nullptr;
        keys.erase(gone);
        const std::string prefix = gone + '\\';
        auto it = keys.lower_bound(prefix);
        while (it != keys.end() && it->first.starts_with(prefix)) it = keys.erase(it);
        return nullptr;
    }
    const std::string key = NormaliseKeyName(name);
    if (key.empty()) return nullptr;
    return &keys[key];
}

// A value line's lower-case name and value; nullopt when it is not one.
std::optional<std::pair<std::string, ParsedValue>> ReadValueLine(ValueText& value, bool wide) {
    std::string_view rest = value.First();
    if (rest.empty()) return std::nullopt;
    std::string name;
    std::size_t pos = 0;
    if (rest.front() == '@') {
        pos = 1;
    } else if (rest.front() == '"') {
        auto quoted = ReadQuoted(rest, pos);
        if (!quoted) return std::nullopt;
        name = std::move(*quoted);
    } else {
        return std::nullopt;
    }
    rest = Trim(rest.substr(pos));
    if (rest.empty() || rest.front() != '=') return std::nullopt;
    auto parsedValue = ParseValueData(rest.substr(1), value, wide);
    if (!parsedValue) return std::nullopt;
    return std::pair{Lower(name), std::move(*parsedValue)};
}

// Reads the keys of an export, line by line; false when its first line
// that is not blank is no export header.
bool ParseLines(LineSource& lines, std::map<std::string, RegistryKeyData>& keys) {
    bool wide = false;
    if (!ReadExportHeader(lines, &wide)) return false;
    RegistryKeyData* current = nullptr;
    for (std::string_view raw; lines.Next(raw);) {
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            current = TakeKeyLine(line, keys);
            continue;
        }
        // A value line; hex data may continue over lines ending in a
        // backslash, which the value reads as it goes. Whatever becomes of
        // the value, its continuation lines are passed over with it.
        ValueText value(line, lines);
        auto parsed = current ? ReadValueLine(value, wide) : std::nullopt;
        value.Skip();
        if (!parsed) continue;
        if (parsed->second.remove) {
            current->values.erase(parsed->first);
        } else {
            current->values[parsed->first] = std::move(parsed->second.value);
        }
    }
    return true;
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
    // 8-bit text is read where it lies; only the other encodings are converted.
    std::string converted;
    std::string_view text;
    const auto [encoding, mark] = DetectEncoding(bytes);
    switch (encoding) {
    case TextEncoding::Utf16:
        converted = NarrowUtf16(bytes.subspan(mark));
        text = converted;
        break;
    case TextEncoding::Utf8:
        converted.reserve(bytes.size());
        AppendNarrowUtf8(bytes.subspan(mark), true, converted);
        text = converted;
        break;
    case TextEncoding::EightBit:
        text = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        break;
    }
    TextLines lines(text);
    auto data = std::make_shared<Data>();
    if (!ParseLines(lines, data->keys)) return std::nullopt;
    Registry registry;
    registry.m_data = std::move(data);
    return registry;
}

Registry Registry::Load(const std::filesystem::path& path, std::string* problem) {
    const UniqueFd fd = OpenRegularFile(path, kMaxRegistryFileSize, problem);
    if (!fd) return Registry();
    if (FileSize(fd.Get()) == 0) {
        if (problem) *problem = "it is empty";
        return Registry();
    }
    FileLines lines(fd.Get());
    auto data = std::make_shared<Data>();
    const bool isExport = ParseLines(lines, data->keys);
    if (lines.Error() != 0) {
        if (problem) *problem = ErrorText(lines.Error());
        return Registry();
    }
    if (!isExport) {
        if (problem) {
            *problem = "it is no registry export (\"REGEDIT4\" text, or \"Windows Registry Editor Version "
                       "5.00\" in UTF-16LE with a byte order mark)";
        }
        return Registry();
    }
    if (problem) problem->clear();
    Registry registry;
    registry.m_data = std::move(data);
    return registry;
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

#ifdef MARLOTRC_TESTING
std::size_t Registry::KeyCount() const {
    return m_data->keys.size();
}
#endif

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
