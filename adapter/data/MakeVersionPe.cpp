// mkversionpe: writes a minimal PE image that carries a version resource.
// The build makes the emulated card's product files with it.
//   mkversionpe OUTPUT [--lang 040904b0 Key=Value...]...

#include <cstdio>
#include <cstring>
#include <string>

#include "adapter/data/VersionPeWriter.h"
#include "platform/File.h"

namespace {

constexpr char kUsage[] = "usage: mkversionpe OUTPUT [--lang 040904b0 Key=Value...]...\n";
constexpr char kHelp[] =
    "Writes OUTPUT, a minimal PE image whose version resource holds one string\n"
    "table per --lang (language and code page in hex) with the Key=Value strings\n"
    "after it, in the order given.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
    }
    // An option where the file name belongs is a mistake, never a file to write.
    if (argc < 2 || argv[1][0] == '-') {
        std::fputs(kUsage, stderr);
        return 2;
    }
    versionpe::VersionPeRequest request;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--lang") == 0 && i + 1 < argc) {
            request.tables.push_back({argv[++i], {}});
            continue;
        }
        const std::string pair = argv[i];
        const std::size_t eq = pair.find('=');
        if (request.tables.empty() || eq == std::string::npos) {
            std::fprintf(stderr, "mkversionpe: expected --lang before Key=Value, got %s\n", argv[i]);
            return 2;
        }
        request.tables.back().strings.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
    }
    const auto image = versionpe::MakeVersionPeImage(request);
    const std::string out = argv[1];
    const std::string temp = out + ".tmp";
    std::remove(temp.c_str());
    int error = 0;
    platform::UniqueFd fd = platform::CreateExclusiveWriter(temp, &error);
    if (!fd || (error = platform::WriteAll(fd.Get(), image)) != 0) {
        std::fprintf(stderr, "mkversionpe: %s: %s\n", temp.c_str(), platform::ErrorText(error).c_str());
        return 1;
    }
    fd.Reset();
    if (std::rename(temp.c_str(), out.c_str()) != 0) {
        std::perror("mkversionpe: rename");
        return 1;
    }
    return 0;
}
