#pragma once
// Test support: runs a program and collects its exit status, standard output
// and standard error.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

struct ProgramResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs program with args (no shell interpretation of the arguments);
// `environment` is a prefix such as "ORINTPX_EMULATOR='rate=100' ".
inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& environment = {}) {
    const auto errPath = std::filesystem::temp_directory_path() /
                         ("marlo-stderr-" + std::to_string(::getpid()) + ".txt");
    std::string command = environment + ShellQuote(program);
    for (const auto& a : args) command += " " + ShellQuote(a);
    command += " 2>" + ShellQuote(errPath.string()) + " </dev/null";
    ProgramResult result;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
        const int status = ::pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::ifstream err(errPath);
    std::stringstream text;
    text << err.rdbuf();
    result.err = text.str();
    std::filesystem::remove(errPath);
    return result;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace testsupport
