#include "adapter/AdapterConfiguration.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace adapter {

namespace {

// Registry string values land in a 32-byte buffer: 31 characters and the terminator.
constexpr std::size_t kStringBuffer = 32;

constexpr std::string_view kNetworkCardsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\";
constexpr std::string_view kServicesKey = "System\\CurrentControlSet\\Services\\";

struct SwitchTypeEntry {
    std::string displayText;
    std::string code;  // text before the first ':', lower case
    std::uint32_t switchValue;
};

// Keyed by the switch code in lower case. National ISDN-2 ("NI2: National
// ISDN-2") is not one of the switches the setup offers, so it is not listed.
std::map<std::string, SwitchTypeEntry> BuildSwitchTypeTable() {
    const std::pair<std::string_view, std::uint32_t> entries[] = {
        {"ATT: AT&T ESS 5", 7},
        {"NI1: National ISDN-1", 5},
        {"NTI: Northern Telecom DMS 100", 8},
        {"ETSI: Euro ISDN", 2},
    };
    std::map<std::string, SwitchTypeEntry> table;
    for (const auto& [text, value] : entries) {
        std::string code(text.substr(0, text.find(':')));
        std::transform(code.begin(), code.end(), code.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        table.emplace(code, SwitchTypeEntry{std::string(text), code, value});
    }
    return table;
}

// A string value, or an empty text when it is missing or no string.
std::string ReadRegistryString(const platform::RegistryKey& key, std::string_view valueName) {
    return key.QueryString(valueName, kStringBuffer).value_or(std::string());
}

}  // namespace

void ReadRegistryDword(const platform::RegistryKey& key, std::string_view valueName, std::uint32_t& target) {
    if (const auto value = key.QueryDword(valueName)) target = *value;
}

std::string LookupSwitchText(std::uint32_t switchValue) {
    for (const auto& [code, entry] : BuildSwitchTypeTable()) {
        if (entry.switchValue == switchValue) return entry.displayText;
    }
    return "Unknown (" + std::to_string(switchValue) + ")";
}

std::string FormatDirectoryNumber(std::string_view s) {
    const std::size_t n = s.size();
    const std::string_view head = s.substr(0, std::min<std::size_t>(3, n));
    const std::size_t m = std::min<std::size_t>(6, n);
    const std::size_t middleLength = std::min<std::size_t>(3, m);
    const std::string_view middle = s.substr(m - middleLength, middleLength);
    const std::size_t tailLength = std::min<std::size_t>(4, n);
    const std::string_view tail = s.substr(n - tailLength, tailLength);
    std::string out;
    out.reserve(head.size() + middle.size() + tail.size() + 6);
    out.append(head).append(" - ").append(middle).append(" - ").append(tail);
    return out;
}

void ReadAdapterConfiguration(const platform::Registry& registry, std::string_view networkCardNumber,
                              AdapterConfiguration& config) {
    std::string serviceName = "OrinTlan";
    std::string cardKey(kNetworkCardsKey);
    cardKey += networkCardNumber;
    if (const auto card = registry.OpenLocalMachineKey(cardKey)) {
        serviceName += ReadRegistryString(*card, "VANumber");
    }

    const auto parameters = registry.OpenLocalMachineKey(std::string(kServicesKey) + serviceName + "\\Parameters");
    if (!parameters) return;

    const std::string linePrefix = std::string("Line") + "0" + ".";
    const std::string term0Prefix = linePrefix + "LTerm" + "0" + ".";
    const std::string term1Prefix = linePrefix + "LTerm" + "1" + ".";

    // A missing SwitchStyle leaves the switch value at 0, which no switch uses.
    std::uint32_t switchValue = 0;
    ReadRegistryDword(*parameters, linePrefix + "SwitchStyle", switchValue);
    ReadRegistryDword(*parameters, linePrefix + "LogicalTerminals", config.logicalTerminalCount);

    config.switchType = LookupSwitchText(switchValue);
    if (config.switchType.find("ATT") != std::string::npos) {
        std::uint32_t management = 0;
        ReadRegistryDword(*parameters, linePrefix + "TerminalManagement", management);
        config.terminalManagement = management != 0 ? "Enabled" : "Disabled";
    }

    config.spid1 = ReadRegistryString(*parameters, term0Prefix + "SPID");
    config.number1 = FormatDirectoryNumber(ReadRegistryString(*parameters, term0Prefix + "DN"));
    if (config.logicalTerminalCount == 2) {
        config.spid2 = ReadRegistryString(*parameters, term1Prefix + "SPID");
        config.number2 = FormatDirectoryNumber(ReadRegistryString(*parameters, term1Prefix + "DN"));
    }
}

}  // namespace adapter
