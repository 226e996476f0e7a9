#include "tools/Options.h"

#include <algorithm>
#include <cstdio>

namespace tools {
namespace {

constexpr std::string_view kEndOfOptions = "--";

const Option* FindOption(std::span<const Option> options, std::string_view name) {
    const auto found = std::find_if(options.begin(), options.end(), [name](const Option& o) {
        return o.name == name || (!o.alias.empty() && o.alias == name);
    });
    return found == options.end() ? nullptr : &*found;
}

bool IsHelp(std::string_view arg) { return arg == "--help" || arg == "-h"; }

std::string MissingValue(const Option& option) {
    return option.missing.empty() ? std::string(option.name) + " needs a value" : std::string(option.missing);
}

std::string Unknown(const OperandRules& rules, std::string_view arg) {
    return rules.unknown.empty() ? std::string() : std::string(rules.unknown) + std::string(arg);
}

// The option's column in the help: "-q, --quiet", "--count N".
std::string HelpName(const Option& option) {
    std::string text = option.alias.empty() ? std::string() : std::string(option.alias) + ", ";
    text += option.name;
    if (!option.value.empty()) text += " " + std::string(option.value);
    return text;
}

// Reads one option at args[i], with its value when it takes one (moving i
// past it); nullopt when taken, else the problem (empty: the usage alone).
std::optional<std::string> TakeOption(std::span<const Option> options, const OperandRules& rules,
                                      std::span<char* const> args, std::size_t& i) {
    std::string_view name = args[i];
    std::optional<std::string_view> inlineValue;
    if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string_view::npos) {
        inlineValue = name.substr(eq + 1);
        name = name.substr(0, eq);
    }
    const Option* option = FindOption(options, name);
    if (option == nullptr || (inlineValue && option->value.empty())) return Unknown(rules, args[i]);
    std::string problem;
    if (option->value.empty()) {
        problem = option->set({});
    } else if (inlineValue) {
        problem = option->set(*inlineValue);
    } else if (i + 1 < args.size()) {
        problem = option->set(args[++i]);
    } else {
        problem = MissingValue(*option);
    }
    if (problem.empty()) return std::nullopt;
    return problem;
}

}  // namespace

ParsedArguments ParseArguments(const Command& self, std::span<const Option> options, const OperandRules& rules,
                               std::span<char* const> args) {
    ParsedArguments parsed;
    const auto fail = [&](const std::string& problem) {
        parsed.exitStatus = UsageError(self, problem);
        return parsed;
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (!optionsEnded && arg == kEndOfOptions) {
            optionsEnded = true;
        } else if (!optionsEnded && IsHelp(arg)) {
            PrintOptionsHelp(self, options);
            parsed.exitStatus = 0;
            return parsed;
        } else if (!optionsEnded && arg.starts_with("-") && arg != "-") {
            if (const std::optional<std::string> problem = TakeOption(options, rules, args, i)) return fail(*problem);
        } else if (parsed.operands.size() < rules.most) {
            parsed.operands.push_back(arg);
        } else {
            return fail(rules.tooMany.empty() || rules.most == 0 ? Unknown(rules, arg) : std::string(rules.tooMany));
        }
    }
    return parsed;
}

ParsedArguments ParseFileArguments(const Command& self, std::span<const Option> options, std::span<char* const> args) {
    ParsedArguments parsed = ParseArguments(self, options, kOneFile, args);
    if (!parsed.exitStatus && parsed.operands.empty()) parsed.exitStatus = UsageError(self, "FILE is missing");
    return parsed;
}

void PrintOptionsHelp(const Command& self, std::span<const Option> options) {
    PrintCommandHelp(self);
    for (const Option& option : options)
        std::printf("  %-22s %.*s\n", HelpName(option).c_str(), int(option.help.size()), option.help.data());
    std::printf("  %-22s %s\n", "-h, --help", "show this help");
}

OptionAction SetFlag(bool& flag) {
    return [&flag](std::string_view) {
        flag = true;
        return std::string();
    };
}

OptionAction SetText(std::optional<std::string>& text) {
    return [&text](std::string_view value) {
        text = std::string(value);
        return std::string();
    };
}

OptionAction SetDisplayFilter(std::optional<filter::DisplayFilter>& displayFilter) {
    return [&displayFilter](std::string_view value) {
        filter::FilterError error;
        displayFilter = filter::DisplayFilter::Parse(std::string(value), &error);
        return displayFilter ? std::string() : "bad display filter: " + error.Text();
    };
}

}  // namespace tools
