#pragma once
// Test support: byte-exact trace log files and records, and temporary
// folders. Header-only so every test folder can use it.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "wire/Bytes.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

inline void PutU16(Bytes& b, std::size_t at, std::uint32_t v) {
    wire::LittleOut(b).U16(at, static_cast<std::uint16_t>(v));
}
inline void PutU32(Bytes& b, std::size_t at, std::uint32_t v) { wire::LittleOut(b).U32(at, v); }

// A valid 52-byte file header (banner of 07/03/97 14:05:09).
inline Bytes FileHeader() {
    const std::string banner = "Orin Intl Binary Trace File 07/03/97 14:05:09\n";
    Bytes b(52, 0);
    std::copy(banner.begin(), banner.end(), b.begin());
    PutU16(b, 48, 0x0100);
    PutU16(b, 50, 3);
    return b;
}

struct RecordFields {
    std::uint16_t type = 3;
    std::uint16_t sequence = 1;
    std::uint8_t hours = 12, minutes = 34, seconds = 56, hundredths = 78;
    std::uint8_t b = 0, ln = 0;
    std::uint8_t flags = 0;  // byte 17 of a D-channel record
    Bytes data;
    std::optional<std::uint32_t> length;      // total length L; default: the right one
    std::optional<std::uint32_t> dataLength;  // n; default: data.size()
    std::optional<std::uint32_t> trailer;     // default: L
};

// The raw bytes of one record. With overrides the body is laid out as far
// as the length allows, so malformed records can be made too.
inline Bytes MakeRecord(const RecordFields& s) {
    const std::size_t dataOffset = s.type == 3 ? 24 : 20;
    const std::uint32_t length = s.length.value_or(static_cast<std::uint32_t>(dataOffset + s.data.size() + 4));
    Bytes r(std::max<std::size_t>(length, 20), 0);
    PutU32(r, 0, length);
    PutU16(r, 4, s.type);
    PutU16(r, 6, s.sequence);
    r[8] = s.hours;
    r[9] = s.minutes;
    r[10] = s.seconds;
    r[11] = s.hundredths;
    r[12] = s.b;
    r[13] = s.ln;
    const std::uint32_t n = s.dataLength.value_or(static_cast<std::uint32_t>(s.data.size()));
    if (s.type == 3) {
        if (r.size() >= 20) r[17] = s.flags;
        if (r.size() >= 24) PutU32(r, 20, n);
    } else {
        PutU32(r, 16, n);
    }
    for (std::size_t i = 0; i < s.data.size() && dataOffset + i + 4 <= r.size(); ++i) r[dataOffset + i] = s.data[i];
    PutU32(r, r.size() - 4, s.trailer.value_or(length));
    return r;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The captures others recorded on real lines, kept with the tests; ctest
// names the test data folder in MARLOTRC_TEST_DATA.
inline std::filesystem::path RealCapturesFolder() {
    const char* data = std::getenv("MARLOTRC_TEST_DATA");
    return std::filesystem::path(data != nullptr ? data : "tests/data") / "realcaps";
}

// A fresh folder per test, removed afterwards.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        m_dir = std::filesystem::temp_directory_path() / ("marlo-" + std::to_string(::getpid()) + "-" + name);
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path m_dir;
};

}  // namespace testsupport
