#pragma once
// The adapter's ISDN line configuration as the card's setup stored it in the
// registry: where the values are, how their names are built and how they are
// shown. Read only, never written. Runs on whichever thread holds the
// document (the user-interface thread in the program).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace adapter {

inline constexpr std::string_view kNotConfigured = "Not Configured";

// Fields of the adapter document; a read overwrites only what it reaches.
struct AdapterConfiguration {
    std::string number1{kNotConfigured};  // directory number of logical terminal 0, formatted
    std::string number2{kNotConfigured};  // directory number of logical terminal 1, formatted
    std::string spid1{kNotConfigured};    // as stored
    std::string spid2{kNotConfigured};
    std::string switchType{kNotConfigured};          // display text of the switch table
    std::string terminalManagement{kNotConfigured};  // "Enabled"/"Disabled", AT&T switches only
    std::uint32_t logicalTerminalCount = 0;
};

// Reads the configuration of the card whose name held the digits
// networkCardNumber. A key that does not open leaves the fields as they were.
void ReadAdapterConfiguration(const platform::Registry& registry, std::string_view networkCardNumber,
                              AdapterConfiguration& config);

// Reads one DWORD value into target; a missing value, or one of another
// type, leaves target unchanged.
void ReadRegistryDword(const platform::RegistryKey& key, std::string_view valueName, std::uint32_t& target);

// The display text of a switch value: "ATT: AT&T ESS 5" for 7 and so on;
// values outside the table give "Unknown (N)".
std::string LookupSwitchText(std::uint32_t switchValue);

// "2125551234" -> "212 - 555 - 1234"; shorter numbers overlap.
std::string FormatDirectoryNumber(std::string_view number);

}  // namespace adapter
