#pragma once
// The options of trctool's commands: each command lists its options in one
// table (names, the value an option takes, what it sets, its line of help),
// and one function reads the arguments against it and writes the help.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "filter/DisplayFilter.h"
#include "tools/Commands.h"

namespace tools {

// Takes an option's value (empty for an option without one) into the
// command's settings; returns the problem, or an empty string when taken.
using OptionAction = std::function<std::string(std::string_view value)>;

struct Option {
    std::string_view name;   // "--count", "-w"
    std::string_view alias;  // another name for it ("-q" beside "--quiet"), or empty
    std::string_view value;  // what it takes, as help shows it ("N", "FILE"); empty: no value
    std::string_view help;   // one line of what it does
    OptionAction set;
    std::string_view missing = {};  // the problem when no value follows; empty: "NAME needs a value"
};

// How a command takes the arguments that are not options (operands, FILE).
struct OperandRules {
    std::size_t most = 0;            // how many it takes
    std::string_view tooMany = {};   // the problem past that many; empty: as an unknown argument
    std::string_view unknown = {};   // put before an argument it does not take ("unknown option ");
                                     // empty: the usage alone says so
};

// The commands that read one trace file.
constexpr OperandRules kOneFile{1, "only one FILE", "unknown option "};

// What the arguments say besides the options.
struct ParsedArguments {
    std::vector<std::string_view> operands;
    std::optional<int> exitStatus;  // set when the command ends here: 0 after its help, 2 after a usage error
};

// Reads the arguments in order. "--help" and "-h" print the command's help
// (its usage and summary, then a line for each option) and end it with 0. An
// option that takes a value takes the next argument, or what follows '=' in
// "--name=value". A lone "-" is an operand, and after "--" every argument is
// one. A usage error is printed ("usage: trctool ...") and ends with 2.
ParsedArguments ParseArguments(const Command& self, std::span<const Option> options, const OperandRules& operands,
                               std::span<char* const> args);

// ParseArguments for a command that reads one FILE (kOneFile): when the
// command goes on, operands holds the FILE; without one it is a usage error,
// "FILE is missing".
ParsedArguments ParseFileArguments(const Command& self, std::span<const Option> options, std::span<char* const> args);

// Prints the command's usage and summary, then its options, on standard output.
void PrintOptionsHelp(const Command& self, std::span<const Option> options);

// Actions for the common kinds of option.
OptionAction SetFlag(bool& flag);
OptionAction SetText(std::optional<std::string>& text);
// -Y FILTER: the display filter parsed; "bad display filter: ..." when it is not one.
OptionAction SetDisplayFilter(std::optional<filter::DisplayFilter>& displayFilter);

}  // namespace tools
