// Fuzz target for the registry export reader: any bytes parse, and every key
// the adapter configuration reads can be opened and queried.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/Registry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);  // exactly sized
    const platform::Registry registry = platform::Registry::Parse(bytes);
    for (const char* key : {"Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\1",
                            "System\\CurrentControlSet\\Services\\OrinTlan\\Parameters", "A\\B", "A"}) {
        if (const auto opened = registry.OpenLocalMachineKey(key)) {
            for (const char* value : {"VANumber", "Line0.SwitchStyle", "Line0.LTerm0.DN", "V", ""}) {
                (void)opened->QueryString(value, 32);
                (void)opened->QueryDword(value);
            }
        }
    }
    return 0;
}
