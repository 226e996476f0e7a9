// Layer 2 and TEI management checks of the analyser: sequence numbers per
// data link and direction, link resets and refusals, polls, TEI assignment.

#include <cstdio>
#include <string>

#include "analysis/Analysis.h"
#include "decode/Format.h"
#include "decode/ProtocolNames.h"

namespace analysis {
namespace {

constexpr std::uint32_t kT201 = 100;  // hundredths: the network's wait for an identity check response

std::size_t Index(Side s) { return s == Side::TE ? 0 : 1; }

}  // namespace

void Analyzer::NoteLink(const LinkFrame& f) {
    if (f.tei >= kGroupTei) return;
    Link& link = m_links[f.tei];
    if (!link.seen) {
        link.seen = true;
        link.wholeInTrace = f.type == FrameType::SABME;
    }
    if (f.sender == Side::TE) {
        m_teis[f.tei].userSeen = true;
        m_anyUserSeen = true;
    } else if (!m_checks.empty()) {
        // The network goes on serving the TEI: its terminal answered where
        // this capture could not see it. A terminal the capture shows would
        // have shown its answer.
        std::erase_if(m_checks, [&](const PendingCheck& c) {
            return c.ai == kGroupTei ? !m_anyUserSeen : c.ai == f.tei && !m_teis[c.ai].userSeen;
        });
    }
}

void Analyzer::CheckLink(const FrameInput& in, const LinkFrame& f, std::uint32_t time) {
    if (f.sapi != 0 || f.tei == kGroupTei) return;  // sequence numbers belong to point-to-point call control links
    Link& link = m_links[f.tei];
    const char* side = SideName(f.sender);
    switch (f.kind) {
        case FrameKind::I: {
            TeiState& tei = m_teis[f.tei];
            // Most traces start long after the terminal got its TEI.
            if (f.tei >= 64 && !tei.assigned && !tei.warned) {
                tei.warned = true;
                AddProblem(ProblemKind::UnassignedTei, Severity::Note, {in.record},
                           decode::Format("I frame on TEI %d, which no identity assignment in the trace gave out.", f.tei));
            }
            CheckSequence(in, f, link);
            break;
        }
        case FrameKind::S:
            if (f.type == FrameType::REJ) {
                m_linkEvents.push_back(LinkEvent{in.record, time, f.tei});
                AddProblem(ProblemKind::Reject, Severity::Warning, {in.record},
                           decode::Format("REJ from %s on TEI %d: I frames from N(R) %d are asked for again.", side, f.tei,
                                f.nr));
            }
            CheckSequence(in, f, link);
            break;
        case FrameKind::U:
            if (f.type == FrameType::UI || f.type == FrameType::XID) break;
            m_linkEvents.push_back(LinkEvent{in.record, time, f.tei});
            CheckUnnumbered(in, f, link);
            break;
        case FrameKind::None:
            break;
    }
}

// The link's set-up and release: SABME, DISC, UA, DM and FRMR.
void Analyzer::CheckUnnumbered(const FrameInput& in, const LinkFrame& f, Link& link) {
    using Awaiting = Link::Awaiting;
    const char* side = SideName(f.sender);
    if (f.type == FrameType::SABME) {
        if (link.awaiting == Awaiting::Establishment) {
            AddProblem(ProblemKind::LinkReset, Severity::Warning, {in.record, link.sabme},
                       decode::Format("SABME from %s on TEI %d sent again before any UA: link establishment retried.",
                                      side, f.tei));
        } else if (link.established) {
            AddProblem(ProblemKind::LinkReset, Severity::Warning, {in.record},
                       decode::Format("SABME from %s on TEI %d while the link was up: the link is re-established.",
                                      side, f.tei));
        }
        link.awaiting = Awaiting::Establishment;
        link.sabme = in.record;
    } else if (f.type == FrameType::DISC) {
        if (link.awaiting != Awaiting::Establishment) link.awaiting = Awaiting::Release;
    } else if (f.type == FrameType::UA) {
        if (link.awaiting == Awaiting::Establishment) {
            link.established = true;
            for (Direction& d : link.dir) d = Direction{true, 0, 0, std::nullopt};
        } else if (link.awaiting == Awaiting::Release) {
            link.established = false;
            for (Direction& d : link.dir) d = Direction{};
        }
        link.awaiting = Awaiting::Nothing;
    } else if (f.type == FrameType::DM) {
        AddProblem(ProblemKind::DisconnectedMode, Severity::Warning, {in.record},
                   decode::Format("DM from %s on TEI %d: the data link is not (or no longer) established.", side,
                                  f.tei));
        link.established = false;
        link.awaiting = Awaiting::Nothing;
        for (Direction& d : link.dir) d = Direction{};
    } else if (f.type == FrameType::FRMR) {
        AddProblem(ProblemKind::FrameReject, Severity::Error, {in.record},
                   decode::Format("FRMR from %s on TEI %d: a frame was rejected as invalid.", side, f.tei));
    }
}

void Analyzer::CheckSequence(const FrameInput& in, const LinkFrame& f, Link& link) {
    Direction& own = link.dir[Index(f.sender)];
    Direction& other = link.dir[Index(Other(f.sender))];
    const char* side = SideName(f.sender);

    // Polls: a command with P = 1 waits for a response with F = 1 from the
    // other side; a second poll before it came means T200 ran out.
    if (f.hasNr) {
        if (f.command && f.pf) {
            if (own.poll) {
                AddProblem(ProblemKind::PollRepeated, Severity::Warning, {in.record, *own.poll},
                           decode::Format("Poll from %s on TEI %d repeated with no final response (T200 expired).", side,
                                f.tei));
            }
            own.poll = in.record;
        } else if (!f.command && f.pf) {
            other.poll.reset();
        }
    }

    if (f.kind == FrameKind::I) {
        if (!own.known) {
            own.known = true;
            own.va = f.ns;
            own.vs = f.ns;
        }
        const int ahead = (f.ns - own.vs + 128) % 128;
        if (ahead != 0 && ahead < 64) {
            AddProblem(ProblemKind::SequenceGap, Severity::Warning, {in.record},
                       decode::Format("N(S) %d from %s on TEI %d where %d was expected: %d I frame(s) missing.", f.ns, side,
                            f.tei, own.vs, ahead));
        } else if (ahead != 0) {
            AddProblem(ProblemKind::SequenceRepeat, Severity::Warning, {in.record},
                       decode::Format("N(S) %d from %s on TEI %d sent again (retransmission).", f.ns, side, f.tei));
        }
        if (ahead < 64) own.vs = static_cast<std::uint8_t>((f.ns + 1) % 128);
    }

    // N(R) acknowledges the other side's I frames up to N(R) - 1: it must lie
    // between the oldest unacknowledged one and the next to be sent.
    if (f.hasNr && other.known) {
        const int outstanding = (other.vs - other.va + 128) % 128;
        const int acked = (f.nr - other.va + 128) % 128;
        if (acked > outstanding) {
            AddProblem(ProblemKind::BadAcknowledge, Severity::Error, {in.record},
                       decode::Format("N(R) %d from %s on TEI %d acknowledges I frames the %s never sent (next N(S) %d).", f.nr,
                            side, f.tei, SideName(Other(f.sender)), other.vs));
        } else {
            other.va = f.nr;
        }
    }
}

void Analyzer::CheckManagement(const FrameInput& in, const LinkFrame& f, std::uint32_t time) {
    const decode::TeiFields& m = *f.teiMessage;
    switch (m.type) {
        case decode::TeiMessage("ASN"): {
            if (m.ai >= kGroupTei) break;
            TeiState& tei = m_teis[m.ai];
            if (tei.assigned && tei.ri != m.ri) {
                AddProblem(ProblemKind::TeiDoubleAssigned, Severity::Error, {in.record},
                           decode::Format("TEI %d assigned to reference %05u while reference %05u still holds it.", m.ai,
                                static_cast<unsigned>(m.ri), static_cast<unsigned>(tei.ri)));
            }
            tei.assigned = true;
            tei.warned = false;
            tei.ri = m.ri;
            Link& link = m_links[m.ai];
            if (!link.seen) link.seen = link.wholeInTrace = true;
            break;
        }
        case decode::TeiMessage("DEN"):
            AddProblem(ProblemKind::TeiDenied, Severity::Warning, {in.record},
                       decode::Format("TEI request with reference %05u denied by the network.", static_cast<unsigned>(m.ri)));
            break;
        case decode::TeiMessage("CRQ"):
            m_checks.push_back(PendingCheck{in.record, time, m.ai});
            break;
        case decode::TeiMessage("CRS"):
            std::erase_if(m_checks, [&](const PendingCheck& c) { return c.ai == m.ai || c.ai == kGroupTei; });
            break;
        case decode::TeiMessage("REM"): {
            // The network gives up a TEI whose check went unanswered.
            std::erase_if(m_checks, [&](const PendingCheck& c) {
                if (!c.expired || (m.ai != kGroupTei && c.ai != m.ai && c.ai != kGroupTei)) return false;
                ReportCheck(c);
                return true;
            });
            AddProblem(ProblemKind::TeiRemoved, Severity::Note, {in.record},
                       m.ai == kGroupTei ? std::string("The network removed every TEI.")
                                         : decode::Format("The network removed TEI %d.", m.ai));
            for (std::size_t t = 0; t < m_teis.size(); ++t) {
                if (m.ai != kGroupTei && t != m.ai) continue;
                m_teis[t].assigned = false;
                m_links[t] = Link{};
            }
            break;
        }
        default:
            break;
    }
}

// A later record shows T201 ran out. When the capture shows the TEI's
// terminal, its answer would be in the trace: unanswered. Otherwise the
// answer may have gone by unseen (a capture taken by another terminal), so
// the check stays open until the network serves the TEI again (answered),
// removes it, or the trace ends without either (unanswered).
void Analyzer::ExpireChecks(std::uint32_t now) {
    for (auto it = m_checks.begin(); it != m_checks.end();) {
        PendingCheck& c = *it;
        if (c.expired || now <= c.time + kT201) {
            ++it;
        } else if (c.ai == kGroupTei ? m_anyUserSeen : m_teis[c.ai].userSeen) {
            ReportCheck(c);
            it = m_checks.erase(it);
        } else {
            c.expired = true;
            ++it;
        }
    }
}

void Analyzer::ReportCheck(const PendingCheck& c) {
    AddProblem(ProblemKind::TeiCheckUnanswered, Severity::Warning, {c.record},
               c.ai == kGroupTei ? std::string("TEI check request for every TEI with no response.")
                                 : decode::Format("TEI check request for TEI %d with no response.", c.ai));
}

}  // namespace analysis
