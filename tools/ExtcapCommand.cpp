// The extcap protocol's listing calls and its argument parsing; the capture
// itself runs through the terminal capture's session (ExtcapCapture.cpp).

#include "tools/Extcap.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "linekit/tpx.h"
#include "platform/Version.h"

namespace tools {
namespace {

constexpr std::string_view kInterfacePrefix = "ISDN D-channel";

bool ParseCount(std::string_view text, long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0;
}

}  // namespace

bool IsExtcapCall(std::span<char* const> args) {
    return std::any_of(args.begin(), args.end(), [](const char* a) {
        const std::string_view arg = a;
        return arg.starts_with("--extcap-") || arg == "--capture";
    });
}

std::optional<ExtcapRequest> ParseExtcapArguments(std::span<char* const> args, std::string& problem) {
    ExtcapRequest request;
    bool interfaces = false, dlts = false, config = false, capture = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::string_view value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        // Options that take a value take the next argument when no '=' gave one.
        const auto take = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        if (arg == "--extcap-interfaces") {
            interfaces = true;
        } else if (arg == "--extcap-dlts") {
            dlts = true;
        } else if (arg == "--extcap-config") {
            config = true;
        } else if (arg == "--capture") {
            capture = true;
        } else if (arg == "--extcap-interface") {
            if (!take()) return problem = "--extcap-interface needs an interface", std::nullopt;
            request.interface = value;
        } else if (arg == "--fifo") {
            if (!take()) return problem = "--fifo needs a path", std::nullopt;
            request.fifo = value;
        } else if (arg == "--count") {
            long long n = 0;
            if (!take() || !ParseCount(value, n)) return problem = "--count needs a number", std::nullopt;
            if (n > 0) request.count = n;  // 0: until stopped
        } else if (arg == "--extcap-version" || arg == "--debug") {
            // The analyser's version, and its wish for debug output: nothing changes.
        } else if (arg == "--extcap-capture-filter" || arg == "--debug-file" || arg == "--extcap-reload-option") {
            take();  // a D-channel capture has no filter language; a debug file is not written
        } else {
            return problem = "unknown argument " + std::string(arg), std::nullopt;
        }
    }
    const int actions = int{interfaces} + int{dlts} + int{config} + int{capture};
    if (actions != 1) return problem = "give one of --extcap-interfaces, --extcap-dlts, --extcap-config, --capture", std::nullopt;
    if (interfaces) {
        request.action = ExtcapRequest::Action::Interfaces;
        return request;
    }
    if (request.interface.empty()) return problem = "--extcap-interface is missing", std::nullopt;
    request.action = dlts ? ExtcapRequest::Action::Dlts
                   : config ? ExtcapRequest::Action::Config
                            : ExtcapRequest::Action::Capture;
    if (capture && request.fifo.empty()) return problem = "--fifo is missing", std::nullopt;
    return request;
}

std::vector<std::string> ListAdapters() {
    TpxHandle device = nullptr;
    std::uint32_t clientId = 0;
    std::uint32_t count = 0;
    char16_t names[TPX_MAX_ADAPTERS][TPX_ADAPTER_NAME_CHARS] = {};
    const std::uint32_t registered = TpxRegister(&device, &clientId, &count, names);
    std::vector<std::string> adapters;
    if (registered == 0) {
        for (std::uint32_t i = 0; i < std::min<std::uint32_t>(count, TPX_MAX_ADAPTERS); ++i) {
            std::string name;
            for (std::size_t k = 0; k < TPX_ADAPTER_NAME_CHARS && names[i][k] != 0; ++k)
                name.push_back(names[i][k] < 0x80 ? static_cast<char>(names[i][k]) : '?');
            adapters.push_back(name);
        }
    }
    if (device != nullptr) TpxUnregister(device, clientId);
    return adapters;
}

int RunExtcap(std::span<char* const> args, const CommandContext& context) {
    std::string problem;
    const auto request = ParseExtcapArguments(args, problem);
    if (!request) {
        std::fprintf(stderr, "trctool: %s\n", problem.c_str());
        return 2;
    }
    switch (request->action) {
        case ExtcapRequest::Action::Interfaces:
            std::printf("extcap {version=%s}{help=man:trctool(1)}\n", platform::kVersionText);
            for (const std::string& adapter : ListAdapters())
                std::printf("interface {value=%s}{display=%s (%s)}\n", adapter.c_str(), kInterfacePrefix.data(),
                            adapter.c_str());
            return 0;
        case ExtcapRequest::Action::Dlts:
            std::printf("dlt {number=203}{name=LAPD}{display=LAPD (Q.921) with direction flags}\n");
            return 0;
        case ExtcapRequest::Action::Config:
            std::printf(
                "arg {number=0}{call=--count}{display=Stop after records}{type=unsigned}"
                "{tooltip=End the capture after this many records (0 or empty: until stopped)}\n");
            return 0;
        case ExtcapRequest::Action::Capture:
            return RunExtcapCapture(*request, context);
    }
    return 2;
}

}  // namespace tools
