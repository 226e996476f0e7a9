#include "platform/VersionResource.h"

#include <cstdlib>

#include "platform/File.h"
#include "platform/Registry.h"
#include "wire/Bytes.h"

namespace platform {

namespace {

constexpr std::int64_t kMaxImageSize = 256 * 1024 * 1024;
constexpr std::uint32_t kResourceTypeVersion = 16;  // RT_VERSION
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;

std::size_t Align4(std::size_t n) {
    return (n + 3) & ~static_cast<std::size_t>(3);
}

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

// The file bytes of [rva, rva + size) when one section holds all of them.
std::optional<std::span<const std::uint8_t>> MapRva(std::span<const std::uint8_t> image,
                                                    const std::vector<Section>& sections,
                                                    std::uint32_t rva, std::uint32_t size) {
    for (const Section& s : sections) {
        if (rva < s.virtualAddress) continue;
        const std::uint64_t delta = rva - s.virtualAddress;
        if (delta + size > s.rawSize) continue;
        const std::uint64_t offset = static_cast<std::uint64_t>(s.rawOffset) + delta;
        if (offset > image.size() || image.size() - offset < size) continue;
        return image.subspan(static_cast<std::size_t>(offset), size);
    }
    return std::nullopt;
}

// The part of a section's raw data from rva onwards, bounded by the file.
std::optional<std::span<const std::uint8_t>> MapRvaToSectionEnd(std::span<const std::uint8_t> image,
                                                                const std::vector<Section>& sections,
                                                                std::uint32_t rva) {
    for (const Section& s : sections) {
        if (rva < s.virtualAddress) continue;
        const std::uint64_t delta = rva - s.virtualAddress;
        if (delta >= s.rawSize) continue;
        const std::uint64_t offset = static_cast<std::uint64_t>(s.rawOffset) + delta;
        if (offset >= image.size()) continue;
        const std::uint64_t available =
            std::min<std::uint64_t>(s.rawSize - delta, image.size() - offset);
        return image.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(available));
    }
    return std::nullopt;
}

struct DirectoryEntry {
    std::uint32_t name;
    std::uint32_t offset;
};

// Entries of the resource directory at `at` within the resource section.
std::vector<DirectoryEntry> ReadDirectory(std::span<const std::uint8_t> rsrc, std::uint32_t at) {
    std::vector<DirectoryEntry> entries;
    const auto named = wire::Little(rsrc).U16(static_cast<std::size_t>(at) + 12);
    const auto ids = wire::Little(rsrc).U16(static_cast<std::size_t>(at) + 14);
    if (!named || !ids) return entries;
    const std::size_t count = static_cast<std::size_t>(*named) + *ids;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t e = static_cast<std::size_t>(at) + 16 + i * 8;
        const auto name = wire::Little(rsrc).U32(e);
        const auto offset = wire::Little(rsrc).U32(e + 4);
        if (!name || !offset) break;
        entries.push_back({*name, *offset});
    }
    return entries;
}

// One block of a version resource: key, value and children, each a view
// bounded by the block's own length.
struct VersionBlock {
    std::string key;
    std::uint16_t valueLength = 0;
    std::uint16_t type = 0;
    std::span<const std::uint8_t> value;     // from the value's start to the block's end
    std::span<const std::uint8_t> children;
    std::size_t length = 0;
};

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

std::optional<VersionBlock> ParseBlock(std::span<const std::uint8_t> data) {
    const auto length = wire::Little(data).U16(0);
    const auto valueLength = wire::Little(data).U16(2);
    const auto type = wire::Little(data).U16(4);
    if (!length || !valueLength || !type || *length < 6 || *length > data.size()) return std::nullopt;
    const auto block = data.first(*length);
    VersionBlock out;
    out.length = *length;
    out.valueLength = *valueLength;
    out.type = *type;
    std::size_t p = 6;
    for (;;) {
        const auto unit = wire::Little(block).U16(p);
        if (!unit) return std::nullopt;  // key without terminator
        p += 2;
        if (*unit == 0) break;
        out.key.push_back(*unit <= 0xFF ? static_cast<char>(*unit) : '?');
    }
    p = std::min(Align4(p), block.size());
    out.value = block.subspan(p);
    const std::size_t valueBytes = out.type == 1 ? std::size_t{*valueLength} * 2 : *valueLength;
    const std::size_t childStart = std::min(Align4(p + valueBytes), block.size());
    out.children = block.subspan(childStart);
    return out;
}

std::optional<VersionBlock> FindChild(const VersionBlock& parent, std::string_view key) {
    std::span<const std::uint8_t> rest = parent.children;
    while (rest.size() >= 6) {
        auto child = ParseBlock(rest);
        if (!child) return std::nullopt;
        if (EqualsNoCase(child->key, key)) return child;
        const std::size_t next = Align4(child->length);
        if (next >= rest.size()) break;
        rest = rest.subspan(next);
    }
    return std::nullopt;
}

void AppendWide(std::vector<std::uint8_t>& out, std::string_view text) {
    wire::Appender wide(out, wire::ByteOrder::Little);
    for (char c : text) wide.U16(static_cast<unsigned char>(c));
    wide.U16(0);
}

void PadTo4(std::vector<std::uint8_t>& out) {
    while (out.size() % 4 != 0) out.push_back(0);
}

// A version block with the given key, value and already built children.
std::vector<std::uint8_t> MakeBlock(std::string_view key, std::uint16_t type,
                                    const std::vector<std::uint8_t>& value, std::uint16_t valueLength,
                                    const std::vector<std::vector<std::uint8_t>>& children) {
    std::vector<std::uint8_t> out(6, 0);
    AppendWide(out, key);
    PadTo4(out);
    out.insert(out.end(), value.begin(), value.end());
    for (const auto& child : children) {
        PadTo4(out);
        out.insert(out.end(), child.begin(), child.end());
    }
    wire::LittleOut(out).U16(0, static_cast<std::uint16_t>(out.size()));
    wire::LittleOut(out).U16(2, valueLength);
    wire::LittleOut(out).U16(4, type);
    return out;
}

std::uint32_t ParseHex32(std::string_view text) {
    std::uint32_t v = 0;
    for (char c : text) {
        c = AsciiLower(c);
        const int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : 0;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return v;
}

std::vector<std::uint8_t> MakeVersionInfo(const VersionPeRequest& request) {
    std::vector<std::uint8_t> fixed;
    wire::Appender fixedOut(fixed, wire::ByteOrder::Little);
    fixedOut.U32(0xFEEF04BD);  // VS_FIXEDFILEINFO signature
    fixedOut.U32(0x00010000);
    fixedOut.U32(static_cast<std::uint32_t>(request.fileVersion[0]) << 16 | request.fileVersion[1]);
    fixedOut.U32(static_cast<std::uint32_t>(request.fileVersion[2]) << 16 | request.fileVersion[3]);
    fixedOut.U32(static_cast<std::uint32_t>(request.productVersion[0]) << 16 | request.productVersion[1]);
    fixedOut.U32(static_cast<std::uint32_t>(request.productVersion[2]) << 16 | request.productVersion[3]);
    fixedOut.U32(0x3F);        // file flags mask
    fixedOut.U32(0);           // file flags
    fixedOut.U32(0x00040004);  // VOS_NT_WINDOWS32
    fixedOut.U32(2);           // VFT_DLL
    fixedOut.U32(0);
    fixedOut.U32(0);
    fixedOut.U32(0);

    std::vector<std::vector<std::uint8_t>> tables;
    std::vector<std::uint8_t> translations;
    for (const VersionStringTable& table : request.tables) {
        std::vector<std::vector<std::uint8_t>> strings;
        for (const auto& [key, text] : table.strings) {
            std::vector<std::uint8_t> value;
            AppendWide(value, text);
            strings.push_back(MakeBlock(key, 1, value, static_cast<std::uint16_t>(text.size() + 1), {}));
        }
        tables.push_back(MakeBlock(table.language, 1, {}, 0, strings));
        const std::uint32_t id = ParseHex32(table.language);
        wire::Appender translationsOut(translations, wire::ByteOrder::Little);
        translationsOut.U16(static_cast<std::uint16_t>(id >> 16));
        translationsOut.U16(static_cast<std::uint16_t>(id));
    }
    const auto stringFileInfo = MakeBlock("StringFileInfo", 1, {}, 0, tables);
    const auto var = MakeBlock("Translation", 0, translations, static_cast<std::uint16_t>(translations.size()), {});
    const auto varFileInfo = MakeBlock("VarFileInfo", 1, {}, 0, {var});
    return MakeBlock("VS_VERSION_INFO", 0, fixed, static_cast<std::uint16_t>(fixed.size()),
                     {stringFileInfo, varFileInfo});
}

}  // namespace

std::optional<std::span<const std::uint8_t>> FindVersionResource(std::span<const std::uint8_t> image) {
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') return std::nullopt;
    const auto peOffset = wire::Little(image).U32(0x3C);
    if (!peOffset) return std::nullopt;
    const std::size_t pe = *peOffset;
    if (pe > image.size() || image.size() - pe < 24) return std::nullopt;
    if (image[pe] != 'P' || image[pe + 1] != 'E' || image[pe + 2] != 0 || image[pe + 3] != 0) return std::nullopt;
    const std::size_t coff = pe + 4;
    const auto sectionCount = wire::Little(image).U16(coff + 2);
    const auto optionalSize = wire::Little(image).U16(coff + 16);
    if (!sectionCount || !optionalSize) return std::nullopt;
    const std::size_t opt = coff + 20;
    if (image.size() - opt < *optionalSize) return std::nullopt;
    const auto optional = image.subspan(opt, *optionalSize);
    const auto magic = wire::Little(optional).U16(0);
    if (!magic) return std::nullopt;
    std::size_t countAt = 0;
    if (*magic == 0x10B) countAt = 92;       // PE32
    else if (*magic == 0x20B) countAt = 108;  // PE32+
    else return std::nullopt;
    const auto rvaCount = wire::Little(optional).U32(countAt);
    if (!rvaCount || *rvaCount < 3) return std::nullopt;
    const auto rsrcRva = wire::Little(optional).U32(countAt + 4 + 2 * 8);
    const auto rsrcSize = wire::Little(optional).U32(countAt + 4 + 2 * 8 + 4);
    if (!rsrcRva || !rsrcSize || *rsrcRva == 0 || *rsrcSize == 0) return std::nullopt;

    std::vector<Section> sections;
    const std::size_t table = opt + *optionalSize;
    for (std::size_t i = 0; i < *sectionCount; ++i) {
        const std::size_t s = table + i * 40;
        const auto vsize = wire::Little(image).U32(s + 8);
        const auto va = wire::Little(image).U32(s + 12);
        const auto rawSize = wire::Little(image).U32(s + 16);
        const auto rawOffset = wire::Little(image).U32(s + 20);
        if (!vsize || !va || !rawSize || !rawOffset) return std::nullopt;
        sections.push_back({*va, *vsize, *rawSize, *rawOffset});
    }

    auto rsrc = MapRvaToSectionEnd(image, sections, *rsrcRva);
    if (!rsrc) return std::nullopt;
    if (rsrc->size() > *rsrcSize) rsrc = rsrc->first(*rsrcSize);

    // Three fixed levels: type, name, language. Any name and language will do,
    // the first one found, preferring the name 1 (VS_VERSION_INFO).
    std::optional<std::uint32_t> nameDir;
    for (const auto& e : ReadDirectory(*rsrc, 0)) {
        if ((e.name & kSubdirectoryBit) == 0 && e.name == kResourceTypeVersion && (e.offset & kSubdirectoryBit)) {
            nameDir = e.offset & ~kSubdirectoryBit;
            break;
        }
    }
    if (!nameDir) return std::nullopt;
    std::optional<std::uint32_t> languageDir;
    for (const auto& e : ReadDirectory(*rsrc, *nameDir)) {
        if ((e.offset & kSubdirectoryBit) == 0) continue;
        if (!languageDir || e.name == 1) languageDir = e.offset & ~kSubdirectoryBit;
        if (e.name == 1) break;
    }
    if (!languageDir) return std::nullopt;
    for (const auto& e : ReadDirectory(*rsrc, *languageDir)) {
        if (e.offset & kSubdirectoryBit) continue;
        const auto dataRva = wire::Little(*rsrc).U32(e.offset);
        const auto dataSize = wire::Little(*rsrc).U32(static_cast<std::size_t>(e.offset) + 4);
        if (!dataRva || !dataSize) continue;
        auto data = MapRva(image, sections, *dataRva, *dataSize);
        if (data) return data;
    }
    return std::nullopt;
}

std::optional<std::string> QueryVersionString(std::span<const std::uint8_t> versionInfo,
                                              std::string_view subBlock) {
    auto block = ParseBlock(versionInfo);
    if (!block) return std::nullopt;
    bool any = false;
    while (!subBlock.empty()) {
        const std::size_t cut = subBlock.find('\\');
        const std::string_view key = subBlock.substr(0, cut);
        subBlock = cut == std::string_view::npos ? std::string_view{} : subBlock.substr(cut + 1);
        if (key.empty()) continue;
        block = FindChild(*block, key);
        if (!block) return std::nullopt;
        any = true;
    }
    if (!any || block->type != 1 || block->valueLength == 0) return std::nullopt;
    std::string text;
    for (std::size_t p = 0;; p += 2) {
        const auto unit = wire::Little(block->value).U16(p);
        if (!unit || *unit == 0) break;
        if (*unit >= 0xDC00 && *unit <= 0xDFFF) continue;  // second half of a pair: the first gave '?'
        text.push_back(*unit <= 0xFF ? static_cast<char>(*unit) : '?');
    }
    return text;
}

std::optional<std::string> ReadFileVersionString(const std::filesystem::path& file, std::string_view subBlock) {
    // Only a regular file is read, so a FIFO in its place never blocks.
    const auto image = ReadRegularFile(file, kMaxImageSize);
    if (!image) return std::nullopt;
    const auto info = FindVersionResource(*image);
    if (!info) return std::nullopt;
    return QueryVersionString(*info, subBlock);
}

std::filesystem::path SystemDirectory() {
    if (const char* env = std::getenv("MARLOTRC_SYSTEM_DIR"); env != nullptr && *env != '\0') return env;
    return InstalledDataPath("system");
}

std::vector<std::uint8_t> MakeVersionPeImage(const VersionPeRequest& request) {
    constexpr std::size_t kPe = 0x40;
    constexpr std::size_t kOptional = kPe + 4 + 20;
    constexpr std::size_t kOptionalSize = 224;
    constexpr std::size_t kSection = kOptional + kOptionalSize;
    constexpr std::size_t kFileAlign = 0x200;
    constexpr std::uint32_t kSectionRva = 0x1000;
    constexpr std::size_t kVersionAt = 88;  // after the three directories and the data entry

    const std::vector<std::uint8_t> version = MakeVersionInfo(request);
    const std::size_t rsrcSize = kVersionAt + version.size();
    const std::size_t rawSize = (rsrcSize + kFileAlign - 1) / kFileAlign * kFileAlign;
    std::vector<std::uint8_t> out(kFileAlign + rawSize, 0);

    out[0] = 'M';
    out[1] = 'Z';
    wire::LittleOut(out).U32(0x3C, kPe);
    out[kPe] = 'P';
    out[kPe + 1] = 'E';
    wire::LittleOut(out).U16(kPe + 4, 0x014C);       // i386
    wire::LittleOut(out).U16(kPe + 6, 1);            // one section
    wire::LittleOut(out).U16(kPe + 20, kOptionalSize);
    wire::LittleOut(out).U16(kPe + 22, 0x2102);      // executable, 32-bit, DLL

    wire::LittleOut(out).U16(kOptional + 0, 0x10B);  // PE32
    wire::LittleOut(out).U32(kOptional + 8, static_cast<std::uint32_t>(rawSize));
    wire::LittleOut(out).U32(kOptional + 20, kSectionRva);
    wire::LittleOut(out).U32(kOptional + 24, kSectionRva);
    wire::LittleOut(out).U32(kOptional + 28, 0x10000000);
    wire::LittleOut(out).U32(kOptional + 32, 0x1000);
    wire::LittleOut(out).U32(kOptional + 36, kFileAlign);
    wire::LittleOut(out).U16(kOptional + 40, 4);
    wire::LittleOut(out).U16(kOptional + 48, 4);
    wire::LittleOut(out).U32(kOptional + 56, static_cast<std::uint32_t>(kSectionRva + (rsrcSize + 0xFFF) / 0x1000 * 0x1000));
    wire::LittleOut(out).U32(kOptional + 60, kFileAlign);
    wire::LittleOut(out).U16(kOptional + 68, 2);
    wire::LittleOut(out).U32(kOptional + 72, 0x100000);
    wire::LittleOut(out).U32(kOptional + 76, 0x1000);
    wire::LittleOut(out).U32(kOptional + 80, 0x100000);
    wire::LittleOut(out).U32(kOptional + 84, 0x1000);
    wire::LittleOut(out).U32(kOptional + 92, 16);
    wire::LittleOut(out).U32(kOptional + 96 + 2 * 8, kSectionRva);
    wire::LittleOut(out).U32(kOptional + 96 + 2 * 8 + 4, static_cast<std::uint32_t>(rsrcSize));

    const char name[] = ".rsrc";
    for (std::size_t i = 0; i < 5; ++i) out[kSection + i] = static_cast<std::uint8_t>(name[i]);
    wire::LittleOut(out).U32(kSection + 8, static_cast<std::uint32_t>(rsrcSize));
    wire::LittleOut(out).U32(kSection + 12, kSectionRva);
    wire::LittleOut(out).U32(kSection + 16, static_cast<std::uint32_t>(rawSize));
    wire::LittleOut(out).U32(kSection + 20, kFileAlign);
    wire::LittleOut(out).U32(kSection + 36, 0x40000040);  // initialised data, readable

    std::uint16_t language = 0x0409;
    if (!request.tables.empty()) language = static_cast<std::uint16_t>(ParseHex32(request.tables.front().language) >> 16);
    const std::size_t r = kFileAlign;
    wire::LittleOut(out).U16(r + 14, 1);
    wire::LittleOut(out).U32(r + 16, kResourceTypeVersion);
    wire::LittleOut(out).U32(r + 20, kSubdirectoryBit | 24);
    wire::LittleOut(out).U16(r + 24 + 14, 1);
    wire::LittleOut(out).U32(r + 24 + 16, 1);
    wire::LittleOut(out).U32(r + 24 + 20, kSubdirectoryBit | 48);
    wire::LittleOut(out).U16(r + 48 + 14, 1);
    wire::LittleOut(out).U32(r + 48 + 16, language);
    wire::LittleOut(out).U32(r + 48 + 20, 72);
    wire::LittleOut(out).U32(r + 72, static_cast<std::uint32_t>(kSectionRva + kVersionAt));
    wire::LittleOut(out).U32(r + 72 + 4, static_cast<std::uint32_t>(version.size()));
    std::copy(version.begin(), version.end(), out.begin() + static_cast<std::ptrdiff_t>(r + kVersionAt));
    return out;
}

}  // namespace platform
