// Fuzz target for the version resource reader: the input is tried both as a
// PE image and as a VS_VERSIONINFO block, and every lookup stays inside it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/VersionResource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);  // exactly sized
    const char* paths[] = {"\\StringFileInfo\\040904b0\\ProductVersion", "\\StringFileInfo\\040904b0\\FileVersion",
                           "\\VarFileInfo\\Translation"};
    for (const char* path : paths) (void)platform::QueryVersionString(bytes, path);
    if (const auto info = platform::FindVersionResource(bytes)) {
        for (const char* path : paths) (void)platform::QueryVersionString(*info, path);
    }
    return 0;
}
