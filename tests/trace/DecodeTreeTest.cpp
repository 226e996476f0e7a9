// The decode tree of a record: node labels, order, depth and item data, for
// a record with elements, one without layer 3, a TEI-management frame and a
// hex record.

#include <gtest/gtest.h>

#include "tests/support/TraceFiles.h"
#include "trace/DecodeTree.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::Bytes;
using testsupport::MakeRecord;
using testsupport::RecordFields;

// Each node as "<depth>|<label>|<item data>", in pre-order.
std::vector<std::string> Flatten(const std::vector<trace::DecodeNode>& tree) {
    std::vector<std::string> lines;
    trace::VisitPreOrder(tree, [&](const trace::DecodeNode& node, int depth) {
        lines.push_back(std::to_string(depth) + "|" + node.label + "|" + std::to_string(node.itemData));
    });
    return lines;
}

std::vector<std::string> FrameAndLayer2(int index, const std::vector<std::string>& layer2) {
    const std::string i = std::to_string(index);
    std::vector<std::string> lines = {"1|Frame|" + i, "2|Seq: 042|0", "2|Time:   09:08:07:06|0", "2|B:  1|0",
                                      "2|LN: 12|0", "1|Layer 2|" + i};
    const char* labels[] = {"Source: ", "Address: ", "FTYP: ", "P: ", "NS: ", "NR: ", "CRV: ", "Message: "};
    for (std::size_t k = 0; k < 8; ++k) lines.push_back("2|" + std::string(labels[k]) + layer2[k] + "|0");
    lines.push_back("1|Layer 3|" + i);
    return lines;
}

TEST(DecodeTree, LabelsOrderAndItemData) {
    RecordFields request;
    request.sequence = 42;
    request.hours = 9;
    request.minutes = 8;
    request.seconds = 7;
    request.hundredths = 6;
    request.b = 1;
    request.ln = 12;
    trace::CTraceLog log;

    // 0: SETUP with a bearer capability and sending complete.
    request.data = {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0x04, 0x02, 0x88, 0x90, 0xA1};
    log.AddRawRecord(MakeRecord(request));
    // 1: RR, no layer 3.
    request.data = {0x00, 0x81, 0x01, 0x01};
    log.AddRawRecord(MakeRecord(request));
    // 2: TEI identity request.
    request.data = {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF};
    log.AddRawRecord(MakeRecord(request));
    // 3: a hex record.
    request.type = 2;
    request.data = {0x41, 0x42};
    log.AddRawRecord(MakeRecord(request));

    std::vector<std::string> setup =
        FrameAndLayer2(0, {"TE", "00-064-C", "I", "0", "000", "000", "O00001", "SETUP"});
    const std::vector<std::string> elements = {
        "2|1- bearer capabil |0", "3|Index: 0008|0", "3|#: 04|0", "3|Ln: 02|0", "3|Name: BEARER CAPABIL |0",
        "3|Mnemonic: UNRESTRICTED DIGITAL 64K|0",
        "2|2- sending complet|0", "3|Index: 000C|0", "3|#: A1|0", "3|Ln: 01|0", "3|Name: SENDING COMPLET|0",
        "3|Mnemonic: |0"};
    setup.insert(setup.end(), elements.begin(), elements.end());

    const struct {
        int index;
        std::vector<std::string> lines;
    } cases[] = {
        {0, setup},
        {1, FrameAndLayer2(1, {"TE", "00-064-C", "RR", "1", "", "000", "", ""})},
        {2, FrameAndLayer2(2, {"TE", "63-127-C", "UI", "0", "", "", "", "ID_REQ R:04660 A:127"})},
        {3, FrameAndLayer2(3, {"", "", "", "", "", "", "", ""})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(Flatten(trace::BuildDecodeTree(log, c.index)), c.lines);
    }
}

}  // namespace

namespace {

// Each node that covers octets as "<label>@<first>+<count>", in pre-order.
std::vector<std::string> Ranges(const std::vector<trace::DecodeNode>& tree) {
    std::vector<std::string> lines;
    trace::VisitPreOrder(tree, [&](const trace::DecodeNode& node, int) {
        if (node.octetCount != 0)
            lines.push_back(node.label + "@" + std::to_string(node.firstOctet) + "+" + std::to_string(node.octetCount));
    });
    return lines;
}

TEST(DecodeTree, NodesCoverTheOctetsTheyComeFrom) {
    trace::CTraceLog log;
    RecordFields fields;
    // 0: SETUP, call reference 1, bearer capability, sending complete, and a
    //    called number whose length runs past the frame.
    fields.data = {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0x04, 0x02, 0x88, 0x90, 0xA1, 0x70, 0x09, 0x81, '5'};
    log.AddRawRecord(MakeRecord(fields));
    // 1: UA (one control octet); 2: TEI identity request; 3: a hex record.
    fields.data = {0x00, 0x81, 0x73};
    log.AddRawRecord(MakeRecord(fields));
    fields.data = {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF};
    log.AddRawRecord(MakeRecord(fields));
    fields.type = 2;
    fields.data = {0x41, 0x42};
    log.AddRawRecord(MakeRecord(fields));

    const std::vector<std::string> setup = {
        "Frame@0+17", "Layer 2@0+4", "Address: 00-064-C@0+2", "FTYP: I@2+2", "P: 0@3+1", "NS: 000@2+1",
        "NR: 000@3+1", "CRV: O00001@5+2", "Message: SETUP@7+1", "Layer 3@4+13",
        "1- bearer capabil @8+4", "Index: 0008@8+1", "#: 04@8+1", "Ln: 02@9+1", "Name: BEARER CAPABIL @8+1",
        "Mnemonic: UNRESTRICTED DIGITAL 64K@10+2",
        "2- sending complet@12+1", "Index: 000C@12+1", "#: A1@12+1", "Ln: 01@12+1", "Name: SENDING COMPLET@12+1",
        "3- called number  @13+4", "Index: 000D@13+1", "#: 70@13+1", "Ln: 09@14+1", "Name: CALLED NUMBER  @13+1",
        "Mnemonic: 5@15+2"};
    EXPECT_EQ(Ranges(trace::BuildDecodeTree(log, 0)), setup);
    EXPECT_EQ(Ranges(trace::BuildDecodeTree(log, 1)),
              (std::vector<std::string>{"Frame@0+3", "Layer 2@0+3", "Address: 00-064-C@0+2", "FTYP: UA@2+1",
                                        "P: 1@2+1"}));
    EXPECT_EQ(Ranges(trace::BuildDecodeTree(log, 2)),
              (std::vector<std::string>{"Frame@0+8", "Layer 2@0+3", "Address: 63-127-C@0+2", "FTYP: UI@2+1",
                                        "P: 0@2+1", "Message: ID_REQ R:04660 A:127@4+4", "Layer 3@3+5"}));
    EXPECT_EQ(Ranges(trace::BuildDecodeTree(log, 3)), (std::vector<std::string>{"Frame@0+2"}));

    // An octet picks the deepest node over it, the narrowest of equals, the
    // first in pre-order of equally narrow ones.
    const auto tree = trace::BuildDecodeTree(log, 0);
    const auto labelAt = [&](std::uint32_t octet) {
        const trace::DecodeNode* node = trace::DeepestNodeCovering(tree, octet);
        return node != nullptr ? node->label : std::string("none");
    };
    EXPECT_EQ(labelAt(0), "Address: 00-064-C");
    EXPECT_EQ(labelAt(3), "P: 0");
    EXPECT_EQ(labelAt(4), "Layer 3");
    EXPECT_EQ(labelAt(6), "CRV: O00001");
    EXPECT_EQ(labelAt(7), "Message: SETUP");
    EXPECT_EQ(labelAt(8), "Index: 0008");
    EXPECT_EQ(labelAt(11), "Mnemonic: UNRESTRICTED DIGITAL 64K");
    EXPECT_EQ(labelAt(16), "Mnemonic: 5");
    EXPECT_EQ(labelAt(17), "none");
}

}  // namespace
