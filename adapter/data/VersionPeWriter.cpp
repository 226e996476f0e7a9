#include "adapter/data/VersionPeWriter.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "platform/VersionResource.h"
#include "wire/Bytes.h"

namespace versionpe {

namespace {

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

// A language block name ("040904b0") as its number: language in the high
// half, code page in the low half; 0 when it is no hex number.
std::uint32_t ParseHex32(std::string_view text) {
    std::uint32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return value;
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

// Where the parts of the image are: one .rsrc section after the headers,
// holding the resource directory and then the version resource.
constexpr std::size_t kPe = 0x40;
constexpr std::size_t kOptional = kPe + 4 + 20;
constexpr std::size_t kOptionalSize = 224;
constexpr std::size_t kSection = kOptional + kOptionalSize;
constexpr std::size_t kFileAlign = 0x200;
constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::size_t kVersionAt = 88;  // after the three directories and the data entry

// The DOS stub's signature, the PE file header and the optional header of a
// 32-bit DLL whose one data directory is the resource section.
void WriteHeaders(std::vector<std::uint8_t>& out, std::size_t rsrcSize, std::size_t rawSize) {
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
}

void WriteSectionHeader(std::vector<std::uint8_t>& out, std::size_t rsrcSize, std::size_t rawSize) {
    const char name[] = ".rsrc";
    for (std::size_t i = 0; i < 5; ++i) out[kSection + i] = static_cast<std::uint8_t>(name[i]);
    wire::LittleOut(out).U32(kSection + 8, static_cast<std::uint32_t>(rsrcSize));
    wire::LittleOut(out).U32(kSection + 12, kSectionRva);
    wire::LittleOut(out).U32(kSection + 16, static_cast<std::uint32_t>(rawSize));
    wire::LittleOut(out).U32(kSection + 20, kFileAlign);
    wire::LittleOut(out).U32(kSection + 36, 0x40000040);  // initialised data, readable
}

// The section's resource directory (type, name, language: one entry each)
// and the version resource it leads to.
void WriteResources(std::vector<std::uint8_t>& out, const VersionPeRequest& request,
                    const std::vector<std::uint8_t>& version) {
    std::uint16_t language = 0x0409;
    if (!request.tables.empty()) language = static_cast<std::uint16_t>(ParseHex32(request.tables.front().language) >> 16);
    const std::size_t r = kFileAlign;
    wire::LittleOut(out).U16(r + 14, 1);
    wire::LittleOut(out).U32(r + 16, platform::kResourceTypeVersion);
    wire::LittleOut(out).U32(r + 20, platform::kResourceSubdirectoryBit | 24);
    wire::LittleOut(out).U16(r + 24 + 14, 1);
    wire::LittleOut(out).U32(r + 24 + 16, 1);
    wire::LittleOut(out).U32(r + 24 + 20, platform::kResourceSubdirectoryBit | 48);
    wire::LittleOut(out).U16(r + 48 + 14, 1);
    wire::LittleOut(out).U32(r + 48 + 16, language);
    wire::LittleOut(out).U32(r + 48 + 20, 72);
    wire::LittleOut(out).U32(r + 72, static_cast<std::uint32_t>(kSectionRva + kVersionAt));
    wire::LittleOut(out).U32(r + 72 + 4, static_cast<std::uint32_t>(version.size()));
    std::copy(version.begin(), version.end(), out.begin() + static_cast<std::ptrdiff_t>(r + kVersionAt));
}

}  // namespace

std::vector<std::uint8_t> MakeVersionPeImage(const VersionPeRequest& request) {
    const std::vector<std::uint8_t> version = MakeVersionInfo(request);
    const std::size_t rsrcSize = kVersionAt + version.size();
    const std::size_t rawSize = (rsrcSize + kFileAlign - 1) / kFileAlign * kFileAlign;
    std::vector<std::uint8_t> out(kFileAlign + rawSize, 0);
    WriteHeaders(out, rsrcSize, rawSize);
    WriteSectionHeader(out, rsrcSize, rawSize);
    WriteResources(out, request, version);
    return out;
}

}  // namespace versionpe
