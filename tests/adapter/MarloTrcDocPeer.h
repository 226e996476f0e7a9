#pragma once
// Test support: what tests read of an adapter document beyond what the
// programs call (they carry none of it). Peer(doc) is found by
// argument-dependent lookup.

#include <cstdint>
#include <string>

#include "adapter/MarloTrcDoc.h"

namespace adapter {

class MarloTrcDocPeer {
public:
    explicit MarloTrcDocPeer(const CMarloTrcDoc& doc) : m_doc(doc) {}

    // Trace > Start would be offered: there is a trace log and no reader runs.
    bool CanStartTrace() const { return m_doc.m_traceLog && !m_doc.m_traceLog->IsRunning(); }
    const std::string& NetworkCardNumber() const { return m_doc.m_networkCardNumber; }
    std::uint32_t ChosenAdapter() const { return m_doc.m_chosenAdapter; }

private:
    const CMarloTrcDoc& m_doc;
};

inline MarloTrcDocPeer Peer(const CMarloTrcDoc& doc) { return MarloTrcDocPeer(doc); }

}  // namespace adapter
