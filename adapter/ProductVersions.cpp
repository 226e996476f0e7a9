#include "adapter/ProductVersions.h"

#include "platform/VersionResource.h"

namespace adapter {

ProductVersions DefaultProductVersions() {
    return {{
        {"Product Version:", "orinbri.dll", "ProductVersion", 1012, "3.0.0.0"},
        {"Software Revision:", "orinbri.dll", "FileVersion", 1210, "1.0.0.5"},
        {"OrinTpx Driver Version:", "drivers/orintpx.sys", "FileVersion", 1206, "Driver version"},
        {"OrinTlan Driver Version:", "drivers/orintlan.sys", "FileVersion", 1207, "Driver version"},
    }};
}

ProductVersions ReadProductVersions(const std::filesystem::path& systemDirectory) {
    ProductVersions rows = DefaultProductVersions();
    for (ProductVersionRow& row : rows) {
        const std::string subBlock = "\\StringFileInfo\\040904b0\\" + std::string(row.field);
        if (auto text = platform::ReadFileVersionString(systemDirectory / row.relativePath, subBlock)) {
            row.text = std::move(*text);
        }
    }
    return rows;
}

ProductVersions ReadProductVersions() {
    return ReadProductVersions(platform::SystemDirectory());
}

}  // namespace adapter
