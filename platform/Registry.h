#pragma once
// The registry the adapter's setup writes, read from a .reg export file.
// Both export formats are understood: "REGEDIT4" 8-bit text and "Windows
// Registry Editor Version 5.00" UTF-16LE with a byte order mark. Key and value
// names compare without regard to ASCII case, as the Windows registry does.
// Text is kept as 8-bit characters: UTF-16 characters above 0xFF become '?',
// as the registry's 8-bit calls would deliver them with a Western code page.
// A parsed Registry is immutable and may be read from any thread.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

enum class RegistryType { String, ExpandString, Dword, Binary, Other };

struct RegistryValue {
    RegistryType type = RegistryType::Other;
    std::string text;       // String and ExpandString values
    std::uint32_t dword = 0;  // Dword values
};

// One key of a parsed file: its values by lower-case name ("" is the default value).
struct RegistryKeyData {
    std::map<std::string, RegistryValue> values;
};

// An opened key. Holds the parsed file alive, so it may outlive the Registry
// it was opened from.
class RegistryKey {
public:
    // The text of a String or ExpandString value, cut to bufferSize - 1
    // characters as a buffer of that size with its terminator would hold it.
    // Missing values and values of other types give nullopt.
    std::optional<std::string> QueryString(std::string_view name, std::size_t bufferSize) const;

    // A Dword value; missing values and values of other types give nullopt.
    std::optional<std::uint32_t> QueryDword(std::string_view name) const;

    const RegistryValue* FindValue(std::string_view name) const;

private:
    friend class Registry;
    std::shared_ptr<const void> m_owner;
    const RegistryKeyData* m_data = nullptr;  // null: a key that exists only as a parent of others
};

class Registry {
public:
    Registry();

    // Parses an export file's bytes. Never fails: lines that cannot be
    // understood are skipped, and bytes that are no export file give an
    // empty registry.
    static Registry Parse(std::span<const std::uint8_t> bytes);
    // The same, but nullopt for bytes that are no export file at all (no
    // "REGEDIT4" or "Windows Registry Editor Version 5.00" header line).
    static std::optional<Registry> ParseExport(std::span<const std::uint8_t> bytes);

    // Reads and parses a file. A file that cannot be read (missing, no
    // regular file, too large, empty, no export) gives an empty registry and
    // says why in *problem; *problem is cleared when the file was read.
    // Never blocks: a FIFO or device is refused without being read.
    static Registry Load(const std::filesystem::path& path, std::string* problem = nullptr);

    // The registry this process uses: MARLOTRC_REGISTRY when set, else the
    // emulated card's file installed with the program. Read afresh on every
    // call, so a changed file is seen by the next read.
    static Registry LoadSystem(std::string* problem = nullptr);

    // Opens a key of HKEY_LOCAL_MACHINE by its path below the hive
    // ("System\\CurrentControlSet\\Services\\OrinTlan"). Keys that a file
    // names only as parents of other keys exist too, as after an import.
    std::optional<RegistryKey> OpenLocalMachineKey(std::string_view subKey) const;

    // Opens a key by its full name with either hive spelling
    // ("HKEY_LOCAL_MACHINE\\..." or "HKLM\\...").
    std::optional<RegistryKey> OpenKey(std::string_view fullName) const;

#ifdef MARLOTRC_TESTING
    // Number of keys the file defines, to check what a parse kept
    // (libmarloplatform-testing.so only).
    std::size_t KeyCount() const;
#endif

private:
    struct Data;
    std::shared_ptr<const Data> m_data;
};

// The path of the registry file LoadSystem reads.
std::filesystem::path SystemRegistryPath();

// A file or folder installed with the program under share/marlotrc, found
// next to the platform library (lib/../share/marlotrc/<relative>); the build
// tree has the same layout.
std::filesystem::path InstalledDataPath(const std::filesystem::path& relative);

}  // namespace platform
