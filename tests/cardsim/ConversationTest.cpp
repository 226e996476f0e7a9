// The emulated conversation follows LAPD and Q.931 as a protocol analyser
// would check them: address bits per side, sequence numbers, call references
// and the messages and elements a basic-rate call needs.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "cardsim/Conversation.h"

namespace {

using namespace cardsim;

bool FromNetwork(const TraceFrame& f) { return ((f.flags & 1) != 0) != ((f.flags & 4) != 0); }

TEST(Conversation, RoundsAreWellFormedLapdAndQ931) {
    std::set<std::uint8_t> messageTypes;
    bool broadcastSetup = false, keypad = false, cause = false, teiAssigned = false;
    for (unsigned round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const auto frames = CallsConversation::Round(round);
        std::uint8_t vsNet = 0, vsUser = 0;
        std::map<std::uint8_t, bool> originatorIsNetwork;  // by call reference value
        std::uint16_t pendingRi = 0;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            SCOPED_TRACE(i);
            const TraceFrame& f = frames[i];
            ASSERT_GE(f.data.size(), 3u);
            const bool net = FromNetwork(f);
            EXPECT_TRUE(f.flags == 0x00 || f.flags == 0x01);
            const std::uint8_t sapi = f.data[0] >> 2;
            const bool cr = (f.data[0] & 0x02) != 0;
            const std::uint8_t tei = f.data[1] >> 1;
            EXPECT_EQ(f.data[0] & 0x01, 0) << "EA0 on the first address octet";
            EXPECT_EQ(f.data[1] & 0x01, 1) << "EA1 on the second";
            const std::uint8_t control = f.data[2];
            std::size_t info = 3;
            bool command = true;
            if ((control & 0x01) == 0) {  // I frame
                ASSERT_GE(f.data.size(), 4u);
                const std::uint8_t ns = control >> 1, nr = f.data[3] >> 1;
                EXPECT_EQ(ns, net ? vsNet : vsUser) << "N(S)";
                EXPECT_EQ(nr, net ? vsUser : vsNet) << "N(R)";
                (net ? vsNet : vsUser) = static_cast<std::uint8_t>((ns + 1) % 128);
                info = 4;
            } else if ((control & 0x03) == 0x01) {  // S frame
                const bool pf = (f.data[3] & 1) != 0;
                command = net && pf;  // polls come from the network; the rest answer
                EXPECT_EQ(f.data[3] >> 1, net ? vsUser : vsNet) << "N(R)";
                info = 4;
            } else {  // U frame
                const std::uint8_t type = control & 0xEF;
                command = type != 0x63;  // UA answers
                if (type == 0x6F) vsNet = vsUser = 0;  // SABME
            }
            EXPECT_EQ(cr, net == command) << "network commands and user responses carry C/R = 1";

            if (sapi == 63) {
                ASSERT_EQ(control, 0x03);
                ASSERT_EQ(f.data.size(), 8u);
                EXPECT_EQ(tei, 127);
                EXPECT_EQ(f.data[3], 0x0F);
                const std::uint16_t ri = static_cast<std::uint16_t>(f.data[4] << 8 | f.data[5]);
                if (f.data[6] == 0x01) {
                    EXPECT_FALSE(net);
                    EXPECT_EQ(f.data[7], 0xFF);
                    pendingRi = ri;
                } else if (f.data[6] == 0x02) {
                    EXPECT_TRUE(net);
                    EXPECT_EQ(ri, pendingRi);
                    EXPECT_GE(f.data[7] >> 1, 64);
                    teiAssigned = true;
                }
                continue;
            }
            if (info >= f.data.size()) continue;
            // Q.931 on SAPI 0.
            EXPECT_EQ(sapi, 0);
            ASSERT_GE(f.data.size(), info + 4);
            EXPECT_EQ(f.data[info], 0x08);
            EXPECT_EQ(f.data[info + 1], 0x01);
            const std::uint8_t callRef = f.data[info + 2] & 0x7F;
            const bool flag = (f.data[info + 2] & 0x80) != 0;
            const std::uint8_t type = f.data[info + 3];
            if (type == 0x05) originatorIsNetwork[callRef] = net;
            ASSERT_TRUE(originatorIsNetwork.count(callRef)) << "SETUP opens every call reference";
            EXPECT_EQ(flag, originatorIsNetwork[callRef] != net) << "flag set by the side that did not originate";
            messageTypes.insert(type);
            if (type == 0x05 && control == 0x03) {
                EXPECT_EQ(tei, 127);
                broadcastSetup = true;
            }
            // Elements, each within the frame.
            for (std::size_t at = info + 4; at < f.data.size();) {
                const std::uint8_t id = f.data[at];
                if (id & 0x80) {
                    ++at;
                    continue;
                }
                ASSERT_LT(at + 1, f.data.size());
                const std::size_t length = f.data[at + 1];
                ASSERT_LE(at + 2 + length, f.data.size());
                if (id == 0x2C && type == 0x7B) keypad = length > 0;
                if (id == 0x08 && type == 0x45) cause = length == 2 && (f.data[at + 3] & 0x7F) == 16;
                at += 2 + length;
            }
        }
    }
    EXPECT_TRUE(teiAssigned);
    EXPECT_TRUE(broadcastSetup);
    EXPECT_TRUE(keypad);
    EXPECT_TRUE(cause);
    for (std::uint8_t t : {0x05, 0x02, 0x01, 0x07, 0x0F, 0x45, 0x4D, 0x5A, 0x7B})
        EXPECT_TRUE(messageTypes.count(t)) << int(t);
}

TEST(Conversation, NextLoopsThroughRoundsForever) {
    CallsConversation c;
    const auto round0 = CallsConversation::Round(0);
    const auto round1 = CallsConversation::Round(1);
    for (const auto& f : round0) EXPECT_EQ(c.Next().data, f.data);
    for (const auto& f : round1) EXPECT_EQ(c.Next().data, f.data);
    EXPECT_NE(round0[4].data, round1[4].data) << "new call references each round";
}

}  // namespace
