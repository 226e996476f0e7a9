#include "adapter/AdapterConfiguration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using adapter::AdapterConfiguration;
using adapter::FormatDirectoryNumber;
using adapter::ReadAdapterConfiguration;

enum class Encoding { Regedit4, Version5Utf16 };

constexpr const char* kCards = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\";
constexpr const char* kServices = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";

platform::Registry MakeRegistry(Encoding encoding, const std::string& body) {
    std::vector<std::uint8_t> bytes;
    if (encoding == Encoding::Regedit4) {
        const std::string text = "REGEDIT4\n\n" + body;
        bytes.assign(text.begin(), text.end());
    } else {
        std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
        for (char c : body) {
            if (c == '\n') text += '\r';
            text += c;
        }
        bytes = {0xFF, 0xFE};
        for (char c : text) {
            bytes.push_back(static_cast<std::uint8_t>(c));
            bytes.push_back(0);
        }
    }
    return platform::Registry::Parse(bytes);
}

std::string Parameters(const std::string& service, const std::string& values) {
    return std::string("[") + kServices + service + "\\Parameters]\n" + values + "\n";
}

std::string Card(const std::string& number, const std::string& vaNumber) {
    return std::string("[") + kCards + number + "]\n\"VANumber\"=\"" + vaNumber + "\"\n\n";
}

const std::string kTwoTerminalsAtt =
    "\"Line0.SwitchStyle\"=dword:00000007\n"
    "\"Line0.LogicalTerminals\"=dword:00000002\n"
    "\"Line0.TerminalManagement\"=dword:00000001\n"
    "\"Line0.LTerm0.SPID\"=\"21255512340101\"\n"
    "\"Line0.LTerm0.DN\"=\"2125551234\"\n"
    "\"Line0.LTerm1.SPID\"=\"21255512350101\"\n"
    "\"Line0.LTerm1.DN\"=\"5551235\"\n";

struct Expected {
    std::string number1, number2, spid1, spid2, switchType, terminalManagement;
    std::uint32_t count;
};

struct Case {
    const char* name;
    std::string registry;
    std::string networkCardNumber;
    Expected expected;
};

const std::string NC(adapter::kNotConfigured);

std::vector<Case> Cases() {
    return {
        {"no NetworkCards entry reads the plain OrinTlan service",
         Parameters("OrinTlan", kTwoTerminalsAtt) + Parameters("OrinTlan1", "\"Line0.SwitchStyle\"=dword:00000002\n"), "1",
         {"212 - 555 - 1234", "555 - 123 - 1235", "21255512340101", "21255512350101", "ATT: AT&T ESS 5", "Enabled", 2}},
        {"VANumber 2 selects OrinTlan2",
         Card("12", "2") + Parameters("OrinTlan2", kTwoTerminalsAtt) + Parameters("OrinTlan", "\"Line0.SwitchStyle\"=dword:00000002\n"), "12",
         {"212 - 555 - 1234", "555 - 123 - 1235", "21255512340101", "21255512350101", "ATT: AT&T ESS 5", "Enabled", 2}},
        {"card key without VANumber keeps OrinTlan",
         std::string("[") + kCards + "3]\n\"Title\"=\"x\"\n" + Parameters("OrinTlan", kTwoTerminalsAtt), "3",
         {"212 - 555 - 1234", "555 - 123 - 1235", "21255512340101", "21255512350101", "ATT: AT&T ESS 5", "Enabled", 2}},
        {"no Parameters key leaves every field",
         Card("1", "1") + Parameters("OrinTlan", kTwoTerminalsAtt), "1",
         {NC, NC, NC, NC, NC, NC, 0}},
        {"one logical terminal leaves terminal 2 unread",
         Parameters("OrinTlan", "\"Line0.SwitchStyle\"=dword:00000005\n\"Line0.LogicalTerminals\"=dword:00000001\n"
                                "\"Line0.LTerm0.SPID\"=\"0101\"\n\"Line0.LTerm0.DN\"=\"123\"\n"
                                "\"Line0.LTerm1.SPID\"=\"0202\"\n\"Line0.LTerm1.DN\"=\"456\"\n"), "",
         {"123 - 123 - 123", NC, "0101", NC, "NI1: National ISDN-1", NC, 1}},
        {"three logical terminals leave terminal 2 unread too",
         Parameters("OrinTlan", "\"Line0.SwitchStyle\"=dword:00000008\n\"Line0.LogicalTerminals\"=dword:00000003\n"
                                "\"Line0.LTerm1.SPID\"=\"0202\"\n\"Line0.LTerm1.DN\"=\"456\"\n"), "",
         {" -  - ", NC, "", NC, "NTI: Northern Telecom DMS 100", NC, 3}},
        {"ETSI ignores TerminalManagement",
         Parameters("OrinTlan", "\"Line0.SwitchStyle\"=dword:00000002\n\"Line0.TerminalManagement\"=dword:00000001\n"
                                "\"Line0.LogicalTerminals\"=dword:00000001\n"), "",
         {" -  - ", NC, "", NC, "ETSI: Euro ISDN", NC, 1}},
        {"AT&T with TerminalManagement 0 is Disabled",
         Parameters("OrinTlan", "\"Line0.SwitchStyle\"=dword:00000007\n\"Line0.TerminalManagement\"=dword:00000000\n"), "",
         {" -  - ", NC, "", NC, "ATT: AT&T ESS 5", "Disabled", 0}},
        {"switch outside the table and missing values",
         Parameters("OrinTlan", "\"Line0.SwitchStyle\"=dword:00000006\n\"Line0.LogicalTerminals\"=\"2\"\n"
                                "\"Line0.LTerm0.SPID\"=dword:00000001\n"
                                "\"Line0.LTerm0.DN\"=\"0123456789012345678901234567890123456789\"\n"), "",
         {"012 - 345 - 7890", NC, "", NC, "Unknown (6)", NC, 0}},
        {"missing SwitchStyle",
         Parameters("OrinTlan", "\"Line0.LogicalTerminals\"=dword:00000002\n"), "",
         {" -  - ", " -  - ", "", "", "Unknown (0)", NC, 2}},
    };
}

class ConfigurationEncodings : public ::testing::TestWithParam<Encoding> {};

TEST_P(ConfigurationEncodings, RegistryCasesGiveTheExpectedFields) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        AdapterConfiguration config;
        ReadAdapterConfiguration(MakeRegistry(GetParam(), c.registry), c.networkCardNumber, config);
        EXPECT_EQ(config.number1, c.expected.number1);
        EXPECT_EQ(config.number2, c.expected.number2);
        EXPECT_EQ(config.spid1, c.expected.spid1);
        EXPECT_EQ(config.spid2, c.expected.spid2);
        EXPECT_EQ(config.switchType, c.expected.switchType);
        EXPECT_EQ(config.terminalManagement, c.expected.terminalManagement);
        EXPECT_EQ(config.logicalTerminalCount, c.expected.count);
    }
}

INSTANTIATE_TEST_SUITE_P(BothFormats, ConfigurationEncodings,
                         ::testing::Values(Encoding::Regedit4, Encoding::Version5Utf16));

TEST(AdapterConfiguration, ALaterReadKeepsWhatItDoesNotReach) {
    AdapterConfiguration config;
    ReadAdapterConfiguration(MakeRegistry(Encoding::Regedit4, Parameters("OrinTlan", kTwoTerminalsAtt)), "", config);
    const std::string oneEtsi = Parameters("OrinTlan", "\"Line0.SwitchStyle\"=dword:00000002\n"
                                                       "\"Line0.LogicalTerminals\"=dword:00000001\n"
                                                       "\"Line0.LTerm0.DN\"=\"3021234567\"\n");
    ReadAdapterConfiguration(MakeRegistry(Encoding::Regedit4, oneEtsi), "", config);
    EXPECT_EQ(config.switchType, "ETSI: Euro ISDN");
    EXPECT_EQ(config.terminalManagement, "Enabled");  // only AT&T switches rewrite it
    EXPECT_EQ(config.number1, "302 - 123 - 4567");
    EXPECT_EQ(config.spid1, "");
    EXPECT_EQ(config.number2, "555 - 123 - 1235");
    EXPECT_EQ(config.spid2, "21255512350101");
    EXPECT_EQ(config.logicalTerminalCount, 1u);
}

TEST(AdapterConfiguration, DirectoryNumbersOverlapWhenShort) {
    const std::pair<const char*, const char*> cases[] = {
        {"2125551234", "212 - 555 - 1234"}, {"5551234", "555 - 123 - 1234"}, {"123", "123 - 123 - 123"},
        {"12345", "123 - 345 - 2345"},     {"1", "1 - 1 - 1"},              {"", " -  - "},
        {"212555123456789", "212 - 555 - 6789"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(FormatDirectoryNumber(in), out) << in;
}

TEST(AdapterConfiguration, TheInstalledEmulatedCardIsConfigured) {
    AdapterConfiguration config;
    ReadAdapterConfiguration(platform::Registry::Load(platform::InstalledDataPath("orintlan.reg")), "1", config);
    EXPECT_EQ(config.switchType, "ATT: AT&T ESS 5");
    EXPECT_EQ(config.logicalTerminalCount, 2u);
    EXPECT_EQ(config.number1, "212 - 555 - 1234");
}

}  // namespace
