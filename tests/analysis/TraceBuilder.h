#pragma once
// Hand-built D-channel traces for the analysis tests: frames from either
// side with the sequence numbers a correct link would use, unless a test
// sets them itself.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

#include "analysis/Analysis.h"

namespace analysis::test {

using Bytes = std::vector<std::uint8_t>;
constexpr Side TE = Side::TE;
constexpr Side NT = Side::NT;

enum : std::uint8_t {
    kAlerting = 0x01, kCallProceeding = 0x02, kSetup = 0x05, kConnect = 0x07, kSetupAck = 0x0D,
    kConnectAck = 0x0F, kDisconnect = 0x45, kRelease = 0x4D, kReleaseComplete = 0x5A, kInformation = 0x7B,
    kStatus = 0x7D,
};

inline Bytes Bearer() { return {0x04, 0x03, 0x80, 0x90, 0xA3}; }
inline Bytes Channel(std::uint8_t octet3) { return {0x18, 0x01, octet3}; }
inline Bytes Cause(std::uint8_t value) { return {0x08, 0x02, 0x80, static_cast<std::uint8_t>(0x80 | value)}; }
inline Bytes Digits(std::uint8_t id, std::string_view prefix, std::string_view digits) {
    Bytes ie{id, static_cast<std::uint8_t>(prefix.size() + digits.size())};
    ie.insert(ie.end(), prefix.begin(), prefix.end());
    ie.insert(ie.end(), digits.begin(), digits.end());
    return ie;
}
inline Bytes Calling(std::string_view d) { return Digits(0x6C, "\x21\x80", d); }
inline Bytes Called(std::string_view d) { return Digits(0x70, "\xA1", d); }
inline Bytes Keypad(std::string_view d) { return Digits(0x2C, "", d); }

// A Q.931 message with a one-octet call reference.
inline Bytes Msg(std::uint8_t callRef, bool flag, std::uint8_t type, std::initializer_list<Bytes> ies = {}) {
    Bytes m{0x08, 0x01, static_cast<std::uint8_t>((flag ? 0x80 : 0) | callRef), type};
    for (const Bytes& ie : ies) m.insert(m.end(), ie.begin(), ie.end());
    return m;
}

class TraceBuilder {
public:
    // An I frame with the next N(S) of its sender and N(R) acknowledging all.
    std::uint32_t I(Side from, std::uint8_t tei, const Bytes& l3) {
        std::uint8_t& vs = (from == NT ? m_vsNt : m_vsTe)[tei];
        const std::uint8_t nr = (from == NT ? m_vsTe : m_vsNt)[tei];
        const std::uint32_t r = IRaw(from, tei, vs, nr, l3);
        vs = static_cast<std::uint8_t>((vs + 1) % 128);
        return r;
    }
    std::uint32_t IRaw(Side from, std::uint8_t tei, std::uint8_t ns, std::uint8_t nr, const Bytes& l3,
                       bool poll = false) {
        Bytes b{static_cast<std::uint8_t>(ns << 1), static_cast<std::uint8_t>(nr << 1 | (poll ? 1 : 0))};
        b.insert(b.end(), l3.begin(), l3.end());
        return Frame(from, true, 0, tei, b);
    }
    // Receive ready (or another supervisory function) acknowledging all.
    std::uint32_t S(Side from, std::uint8_t tei, bool command, bool pf, std::uint8_t function = 0) {
        const std::uint8_t nr = (from == NT ? m_vsTe : m_vsNt)[tei];
        return Frame(from, command, 0, tei,
                     {static_cast<std::uint8_t>(0x01 | function << 2), static_cast<std::uint8_t>(nr << 1 | pf)});
    }
    std::uint32_t U(Side from, std::uint8_t tei, bool command, std::uint8_t control) {
        if (control == 0x73) m_vsTe[tei] = m_vsNt[tei] = 0;  // UA: a fresh link
        return Frame(from, command, 0, tei, {control});
    }
    // SABME and UA with P/F set.
    void Establish(std::uint8_t tei) {
        U(TE, tei, true, 0x7F);
        U(NT, tei, false, 0x73);
    }
    std::uint32_t Broadcast(const Bytes& l3) {
        Bytes b{0x03};
        b.insert(b.end(), l3.begin(), l3.end());
        return Frame(NT, true, 0, 127, b);
    }
    // A UI frame from the network to one terminal on SAPI 0.
    std::uint32_t UiTo(std::uint8_t tei, const Bytes& l3) {
        Bytes b{0x03};
        b.insert(b.end(), l3.begin(), l3.end());
        return Frame(NT, true, 0, tei, b);
    }
    std::uint32_t Tei(Side from, std::uint16_t ri, std::uint8_t type, std::uint8_t ai) {
        return Frame(from, true, 63, 127,
                     {0x03, 0x0F, static_cast<std::uint8_t>(ri >> 8), static_cast<std::uint8_t>(ri), type,
                      static_cast<std::uint8_t>(ai << 1 | 1)});
    }
    // TEI request, assignment and the link up.
    void Assign(std::uint8_t tei, std::uint16_t ri) {
        Tei(TE, ri, 1, 127);
        Tei(NT, ri, 2, tei);
        Establish(tei);
    }
    // The time of the next frame, in hundredths; frames are 10 apart unless set.
    void Wait(std::uint32_t hundredths) { m_time += hundredths; }
    void SetTime(std::uint32_t hundredthsSinceMidnight) { m_time = hundredthsSinceMidnight; }

    Analyzer Run(bool finish = true) const {
        Analyzer a;
        for (std::uint32_t i = 0; i < m_frames.size(); ++i) a.Add(*Input(i));
        if (finish) a.Finish();
        return a;
    }
    std::optional<FrameInput> Input(std::uint32_t record) const {
        if (record >= m_frames.size()) return std::nullopt;
        return FrameInput{record, m_times[record], m_sides[record], m_frames[record]};
    }
    std::size_t Size() const { return m_frames.size(); }

private:
    std::uint32_t Frame(Side from, bool command, std::uint8_t sapi, std::uint8_t tei, const Bytes& rest) {
        const std::uint8_t cr = (from == NT) == command ? 1 : 0;
        Bytes f{static_cast<std::uint8_t>(sapi << 2 | cr << 1), static_cast<std::uint8_t>(tei << 1 | 1)};
        f.insert(f.end(), rest.begin(), rest.end());
        m_frames.push_back(std::move(f));
        m_sides.push_back(from);
        m_times.push_back(m_time % (24u * 360000u));  // as records carry it: a time of day
        m_time += 10;
        return static_cast<std::uint32_t>(m_frames.size() - 1);
    }

    std::vector<Bytes> m_frames;
    std::vector<Side> m_sides;
    std::vector<std::uint32_t> m_times;
    std::uint32_t m_time = 36000000;  // 10:00:00.00
    std::array<std::uint8_t, 128> m_vsTe{};
    std::array<std::uint8_t, 128> m_vsNt{};
};

}  // namespace analysis::test
