#include "adapter/Diagnostics.h"

#include <fcntl.h>
#include <unistd.h>

#include <span>

#include "platform/File.h"
#include "platform/MessageBox.h"

namespace adapter {

std::string FormatDiagnosticsReport(const AdapterConfiguration& config, const LineStatusTexts& states) {
    std::string out = "Registry Information\n";
    out += "Line 1 SPID: " + config.spid1 + "\n";
    out += "Line 1 Phone: " + config.number1 + "\n";
    out += "Switch Type: " + config.switchType + "\n";
    out += "Terminal Management: " + config.terminalManagement + "\n";
    out += "Number of Logical Terminals: " + std::to_string(static_cast<std::int32_t>(config.logicalTerminalCount)) + "\n";
    if (config.logicalTerminalCount >= 2) {
        out += "Line 2 SPID: " + config.spid2 + "\n";
        out += "Line 2 Phone: " + config.number2 + "\n";
    }
    out += "\nCard Information\n";
    for (std::size_t i = 0; i < kStatusTextCount; ++i) {
        out.append(kStatusLabels[i]).append(states[i]);
        if (i + 1 < kStatusTextCount) out += '\n';
    }
    return out;
}

bool WriteDiagnosticsReport(const std::filesystem::path& path,
                            const std::function<const AdapterConfiguration&()>& readConfiguration,
                            const std::function<LineStatusTexts(std::uint32_t links)>& queryStatus) {
    platform::UniqueFd fd(platform::OpenAboveStandardStreams(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666));
    if (!fd) {
        platform::MessageBox("The file " + path.string() + "\ncould not be opened.");
        return false;
    }
    const AdapterConfiguration& config = readConfiguration();
    const LineStatusTexts states = queryStatus(config.logicalTerminalCount);
    const std::string report = FormatDiagnosticsReport(config, states);
    int error = platform::WriteAll(
        fd.Get(), std::span(reinterpret_cast<const std::uint8_t*>(report.data()), report.size()));
    if (error == 0 && ::close(fd.Release()) != 0) error = errno;
    if (error != 0) {
        platform::MessageBox("The file " + path.string() + "\ncould not be written.");
        return false;
    }
    return true;
}

}  // namespace adapter
