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
