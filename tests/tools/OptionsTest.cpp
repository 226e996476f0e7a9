// The option parser every trctool command reads its arguments with: values
// taken from the next argument or after '=', unknown and incomplete options
// refused with the command's usage, operands counted, "--" and a lone "-";
// and the bash completion kept to the commands' option tables.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tools/Options.h"

namespace {

using tools::Option;
using tools::OperandRules;

struct Settings {
    bool flag = false;
    bool quiet = false;
    std::optional<std::string> name;
    std::optional<std::string> checked;
};

struct Outcome {
    std::optional<int> status;
    std::string out;
    std::string err;
    std::vector<std::string> operands;
};

Outcome Parse(Settings& settings, const OperandRules& rules, std::vector<std::string> args) {
    const Option table[] = {
        {"--flag", {}, {}, "a flag", tools::SetFlag(settings.flag)},
        {"--quiet", "-q", {}, "another, with a short name", tools::SetFlag(settings.quiet)},
        {"--name", {}, "VALUE", "a value", tools::SetText(settings.name)},
        {"-c", {}, "GOOD", "a value that is checked",
         [&settings](std::string_view value) {
             if (value != "good") return std::string("-c wants good");
             settings.checked = std::string(value);
             return std::string();
         },
         "-c needs GOOD"},
    };
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const tools::ParsedArguments parsed = tools::ParseArguments(tools::FindCommand("dump"), table, rules, argv);
    Outcome outcome{parsed.exitStatus, ::testing::internal::GetCapturedStdout(),
                    ::testing::internal::GetCapturedStderr(), {}};
    for (std::string_view operand : parsed.operands) outcome.operands.emplace_back(operand);
    return outcome;
}

TEST(OptionsTest, ArgumentsAreReadAgainstTheTable) {
    constexpr int kGoOn = -1;
    const struct Case {
        std::vector<std::string> args;
        int status;            // kGoOn: parsed, the command goes on
        const char* problem;   // the line before the usage, when refused
        std::vector<std::string> operands;
        bool flag, quiet;
        std::optional<std::string> name, checked;
    } cases[] = {
        {{"--flag", "f"}, kGoOn, nullptr, {"f"}, true, false, {}, {}},
        {{"-q", "f", "--quiet"}, kGoOn, nullptr, {"f"}, false, true, {}, {}},
        {{"--name", "a", "--name", "b"}, kGoOn, nullptr, {}, false, false, "b", {}},  // the last one counts
        {{"--name=x=y"}, kGoOn, nullptr, {}, false, false, "x=y", {}},
        {{"--name="}, kGoOn, nullptr, {}, false, false, "", {}},
        {{"--name", "--flag"}, kGoOn, nullptr, {}, false, false, "--flag", {}},  // a value, whatever it looks like
        {{"-c", "good", "-"}, kGoOn, nullptr, {"-"}, false, false, {}, "good"},
        {{"-q", "--", "--flag"}, kGoOn, nullptr, {"--flag"}, false, true, {}, {}},
        {{"--bogus", "f"}, 2, "unknown option --bogus", {}, false, false, {}, {}},
        {{"--flag=1"}, 2, "unknown option --flag=1", {}, false, false, {}, {}},
        {{"-c=good"}, 2, "unknown option -c=good", {}, false, false, {}, {}},  // '=' only after a long name
        {{"-qq"}, 2, "unknown option -qq", {}, false, false, {}, {}},
        {{"f", "--name"}, 2, "--name needs a value", {}, false, false, {}, {}},
        {{"-c"}, 2, "-c needs GOOD", {}, false, false, {}, {}},
        {{"-c", "bad"}, 2, "-c wants good", {}, false, false, {}, {}},
        {{"a", "b"}, 2, "only one FILE", {}, false, false, {}, {}},
        {{"--", "a", "b"}, 2, "only one FILE", {}, false, false, {}, {}},
        {{"--bogus", "--help"}, 2, "unknown option --bogus", {}, false, false, {}, {}},
        {{"--help", "--bogus"}, 0, nullptr, {}, false, false, {}, {}},
        {{"-h"}, 0, nullptr, {}, false, false, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        Settings settings;
        const Outcome got = Parse(settings, tools::kOneFile, c.args);
        if (c.status == kGoOn) {
            EXPECT_EQ(got.status, std::nullopt);
            EXPECT_EQ(got.out + got.err, "");
            EXPECT_EQ(got.operands, c.operands);
            EXPECT_EQ(settings.flag, c.flag);
            EXPECT_EQ(settings.quiet, c.quiet);
            EXPECT_EQ(settings.name, c.name);
            EXPECT_EQ(settings.checked, c.checked);
        } else if (c.status == 0) {
            EXPECT_EQ(got.status, 0);
            EXPECT_EQ(got.err, "");
            EXPECT_NE(got.out.find("usage: trctool dump"), std::string::npos) << got.out;
        } else {
            EXPECT_EQ(got.status, c.status);
            EXPECT_EQ(got.out, "");
            EXPECT_EQ(got.err.substr(0, got.err.find('\n')), std::string("trctool dump: ") + c.problem);
            EXPECT_NE(got.err.find("\nusage: trctool dump "), std::string::npos) << got.err;
        }
    }
}

TEST(OptionsTest, HelpListsEveryOptionOfTheTableWithItsValue) {
    Settings settings;
    const Outcome got = Parse(settings, tools::kOneFile, {"--help"});
    for (const char* line : {"  --flag  ", "  -q, --quiet  ", "  --name VALUE  ", "  -c GOOD  ", "  -h, --help  "})
        EXPECT_NE(got.out.find(line), std::string::npos) << line << " missing in\n" << got.out;
}

// A command that takes no operands refuses them as it refuses unknown
// options; one whose rules say nothing shows the usage alone.
TEST(OptionsTest, OperandRulesSayHowExtraArgumentsAreRefused) {
    const struct Case {
        OperandRules rules;
        std::vector<std::string> args;
        const char* firstLine;
    } cases[] = {
        {{0, {}, "unexpected "}, {"f"}, "trctool dump: unexpected f"},
        {{0, {}, "unexpected "}, {"-"}, "trctool dump: unexpected -"},
        {{0, {}, "unknown argument "}, {"--bogus"}, "trctool dump: unknown argument --bogus"},
        {{1, {}, {}}, {"a", "b"}, "usage: trctool dump [--tree [--detail]] [--hex] [-Y FILTER] FILE"},
        {{1, {}, {}}, {"-x"}, "usage: trctool dump [--tree [--detail]] [--hex] [-Y FILTER] FILE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front());
        Settings settings;
        const Outcome got = Parse(settings, c.rules, c.args);
        EXPECT_EQ(got.status, 2);
        EXPECT_EQ(got.err.substr(0, got.err.find('\n')), c.firstLine);
    }
}

}  // namespace

// The bash completion lists each command's options by hand: every option a
// command's help shows must be offered, and nothing else.
TEST(OptionsTest, TheBashCompletionOffersEveryOptionOfEachCommand) {
    std::ifstream file(COMPLETION_FILE);
    ASSERT_TRUE(file) << COMPLETION_FILE;
    // Lines such as `        status | info) options="--adapter --help" ;;`
    const std::regex row(R"(^\s*([a-z| ]+)\) options="([^"]*)\")");
    std::map<std::string, std::set<std::string>> offered;
    for (std::string line; std::getline(file, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, row)) continue;
        std::istringstream commands(std::regex_replace(m[1].str(), std::regex("\\|"), " "));
        std::istringstream words(m[2].str());
        const std::set<std::string> options{std::istream_iterator<std::string>(words), {}};
        for (std::string command; commands >> command;) offered[command] = options;
    }
    ASSERT_EQ(offered.size(), 10u) << "a command without its completion, or the rows changed shape";
    for (const auto& [command, options] : offered) {
        SCOPED_TRACE(command);
        const auto help = testsupport::RunProgram(TRCTOOL_PATH, {command, "--help"});
        ASSERT_EQ(help.status, 0) << help.err;
        std::set<std::string> shown;
        for (const std::string& line : testsupport::Lines(help.out)) {
            if (!line.starts_with("  -")) continue;
            // "  -q, --quiet    ...", "  --count N    ...": the names before the value.
            std::istringstream names(line.substr(0, line.find("  ", 2)));
            for (std::string name; names >> name;)
                if (name.starts_with("-")) shown.insert(name.ends_with(",") ? name.substr(0, name.size() - 1) : name);
        }
        shown.erase("-h");
        EXPECT_EQ(shown, options);
    }
}
