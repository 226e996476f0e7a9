#include "platform/VersionResource.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/File.h"
#include "platform/Registry.h"
#include "wire/Bytes.h"

namespace platform {

namespace {

constexpr std::int64_t kMaxImageSize = 256 * 1024 * 1024;

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

// Where an image keeps its resources: its sections and the resource
// table's address and size; nullopt for what is not a PE image with one.
struct ResourceLocation {
    std::vector<Section> sections;
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

std::optional<ResourceLocation> LocateResources(std::span<const std::uint8_t> image) {
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

    ResourceLocation location{{}, *rsrcRva, *rsrcSize};
    const std::size_t table = opt + *optionalSize;
    for (std::size_t i = 0; i < *sectionCount; ++i) {
        const std::size_t s = table + i * 40;
        const auto vsize = wire::Little(image).U32(s + 8);
        const auto va = wire::Little(image).U32(s + 12);
        const auto rawSize = wire::Little(image).U32(s + 16);
        const auto rawOffset = wire::Little(image).U32(s + 20);
        if (!vsize || !va || !rawSize || !rawOffset) return std::nullopt;
        location.sections.push_back({*va, *vsize, *rawSize, *rawOffset});
    }
    return location;
}

}  // namespace

std::optional<std::span<const std::uint8_t>> FindVersionResource(std::span<const std::uint8_t> image) {
    const std::optional<ResourceLocation> location = LocateResources(image);
    if (!location) return std::nullopt;
    const std::vector<Section>& sections = location->sections;
    auto rsrc = MapRvaToSectionEnd(image, sections, location->rva);
    if (!rsrc) return std::nullopt;
    if (rsrc->size() > location->size) rsrc = rsrc->first(location->size);

    // Three fixed levels: type, name, language. Any name and language will do,
    // the first one found, preferring the name 1 (VS_VERSION_INFO).
    std::optional<std::uint32_t> nameDir;
    for (const auto& e : ReadDirectory(*rsrc, 0)) {
        if ((e.name & kResourceSubdirectoryBit) == 0 && e.name == kResourceTypeVersion && (e.offset & kResourceSubdirectoryBit)) {
            nameDir = e.offset & ~kResourceSubdirectoryBit;
            break;
        }
    }
    if (!nameDir) return std::nullopt;
    std::optional<std::uint32_t> languageDir;
    for (const auto& e : ReadDirectory(*rsrc, *nameDir)) {
        if ((e.offset & kResourceSubdirectoryBit) == 0) continue;
        if (!languageDir || e.name == 1) languageDir = e.offset & ~kResourceSubdirectoryBit;
        if (e.name == 1) break;
    }
    if (!languageDir) return std::nullopt;
    for (const auto& e : ReadDirectory(*rsrc, *languageDir)) {
        if (e.offset & kResourceSubdirectoryBit) continue;
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

}  // namespace platform
