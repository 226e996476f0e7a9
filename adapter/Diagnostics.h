#pragma once
// The diagnostics report: the adapter's registry configuration and its line
// and link states as a short text file. 8-bit text, line feeds only, no line
// end after the last line. Runs on the thread that holds the document.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "adapter/AdapterConfiguration.h"
#include "adapter/StatusTexts.h"

namespace adapter {

inline constexpr std::string_view kDiagnosticsFileName = "OrinDiag.txt";
inline constexpr std::string_view kDiagnosticsFilter = "Diagnostic files (*.txt)|*.txt|All files (*.*)|*.*||";

// The report's exact bytes.
std::string FormatDiagnosticsReport(const AdapterConfiguration& config, const LineStatusTexts& states);

// Writes the report to path in the order the user expects of it: the file is
// created (or truncated) first, and only then is the configuration read and
// the adapter asked (queryStatus gets the logical terminal count as the
// number of links). A file that cannot be created or written is reported in
// a message box; the result says whether the whole report was written.
bool WriteDiagnosticsReport(const std::filesystem::path& path,
                            const std::function<const AdapterConfiguration&()>& readConfiguration,
                            const std::function<LineStatusTexts(std::uint32_t links)>& queryStatus);

}  // namespace adapter
