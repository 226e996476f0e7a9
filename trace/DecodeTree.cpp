#include "trace/DecodeTree.h"

#include <algorithm>

#include "decode/ElementDetails.h"
#include "decode/Format.h"
#include "decode/Frame.h"

#include "trace/TraceLog.h"

namespace trace {
namespace {

DecodeNode Leaf(std::string label, decode::OctetRange octets = {}) {
    return DecodeNode{std::move(label), 0, {}, octets.first, octets.count};
}

decode::OctetRange Part(decode::OctetRange range, std::uint32_t skip, std::uint32_t count) {
    if (skip >= range.count) return {};
    return {range.first + skip, std::min(count, range.count - skip)};
}

// "%03d" and "%2d".
std::string ThreeDigits(unsigned value) {
    char text[16];
    return std::string(text, decode::WriteZeroPadded(text, value, 3));
}

std::string TwoPlaces(unsigned value) {
    char text[16];
    return std::string(text, decode::WriteBlankPadded(text, value, 2));
}

std::string LowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The frame's texts from one decode without the element walk (as the record
// list shows them) and its elements from one decode with it: the record is
// read once, not once a text.
std::vector<DecodeNode> Build(const CTraceLog& log, int index, bool elementDetails) {
    // A record that is not there reads as zeros and no data, as the log's
    // accessors answer for it.
    static constexpr std::uint8_t kNoRecord[kHeaderCopySize] = {};
    const CTraceRecord r = log.GetRecord(index).value_or(CTraceRecord(kNoRecord, {}));
    DecodeNode frame{"Frame", index, {}};
    frame.children.reserve(4);
    frame.children.push_back(Leaf("Seq: " + ThreeDigits(r.GetSequence())));
    // The tree writes the hundredths after a colon, the record list after a point.
    char time[32];
    char* p = decode::WriteText(time, "Time:   ");
    for (const unsigned part : {unsigned{r.GetHours()}, unsigned{r.GetMinutes()}, unsigned{r.GetSeconds()}}) {
        p = decode::WriteZeroPadded(p, part, 2);
        *p++ = ':';
    }
    p = decode::WriteZeroPadded(p, r.GetHundredths(), 2);
    frame.children.push_back(Leaf(std::string(time, p)));
    frame.children.push_back(Leaf("B: " + TwoPlaces(r.GetBNumber())));
    frame.children.push_back(Leaf("LN: " + TwoPlaces(r.GetLNNumber())));

    const std::span<const std::uint8_t> data = r.GetData();
    const auto size = static_cast<std::uint32_t>(data.size());
    frame.firstOctet = 0;
    frame.octetCount = size;
    // Only a D-channel frame has parts to point at; hex and ASCII data is one block.
    const bool dchannel = r.IsDChannel();
    const decode::FrameLayout parts = dchannel ? decode::LayoutOf(data) : decode::FrameLayout{};
    const decode::OctetRange control = parts.control;
    const bool uFrame = control.count == 1;
    const decode::FrameSummary texts = r.Summary(decode::kDecodeMask & ~decode::kDecodeInfoElements);
    const auto text = [dchannel](std::string value) { return dchannel ? value : std::string(); };

    DecodeNode layer2{"Layer 2", index, {}};
    if (dchannel) layer2.octetCount = std::min<std::uint32_t>(size, control.first + control.count);
    layer2.children.reserve(8);
    layer2.children.push_back(Leaf("Source: " + text(texts.Source())));
    layer2.children.push_back(Leaf("Address: " + text(texts.Address()), parts.address));
    layer2.children.push_back(Leaf("FTYP: " + text(texts.FrameType()), control));
    layer2.children.push_back(Leaf("P: " + text(texts.PollFinal()), Part(control, uFrame ? 0 : 1, 1)));
    layer2.children.push_back(Leaf("NS: " + text(texts.NS()), uFrame ? decode::OctetRange{} : Part(control, 0, 1)));
    layer2.children.push_back(Leaf("NR: " + text(texts.NR()), uFrame ? decode::OctetRange{} : Part(control, 1, 1)));
    layer2.children.push_back(Leaf("CRV: " + text(texts.CallReference()), parts.callReference));
    layer2.children.push_back(Leaf("Message: " + (dchannel ? texts.Message() : r.GetMessage()), parts.messageType));

    DecodeNode layer3{"Layer 3", index, {}};
    layer3.firstOctet = parts.layer3.first;
    layer3.octetCount = parts.layer3.count;
    if (dchannel && texts.HasLayer3()) {
        const decode::FrameSummary elements = r.Summary();
        const auto count = elements.ItemCount();
        layer3.children.reserve(count);
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::optional<DecodeItem> item = elements.Item(data, k);
            if (!item) break;
            const decode::OctetRange whole{item->offset, item->size};
            // The number, "- " and the lower-case name with its padding blanks.
            DecodeNode element = Leaf(std::to_string(k + 1) + "- " + LowerCase(item->name), whole);
            element.children.reserve(5);
            element.children.push_back(Leaf("Index: " + item->IndexText(), Part(whole, 0, 1)));
            element.children.push_back(Leaf("#: " + item->IdText(), Part(whole, 0, 1)));
            element.children.push_back(
                Leaf("Ln: " + item->LengthText(), item->singleOctet ? Part(whole, 0, 1) : Part(whole, 1, 1)));
            element.children.push_back(Leaf("Name: " + item->name, Part(whole, 0, 1)));
            element.children.push_back(
                Leaf("Mnemonic: " + item->mnemonic, {item->ContentOffset(), item->ContentSize()}));
            if (elementDetails) {
                for (decode::ElementDetail& detail : decode::DescribeElement(*item, data))
                    element.children.push_back(
                        Leaf(std::move(detail.label), {detail.firstOctet, detail.octetCount}));
            }
            layer3.children.push_back(std::move(element));
        }
    }
    std::vector<DecodeNode> tree;
    tree.reserve(3);
    tree.push_back(std::move(frame));
    tree.push_back(std::move(layer2));
    tree.push_back(std::move(layer3));
    return tree;
}

}  // namespace

std::vector<DecodeNode> BuildDecodeTree(const CTraceLog& log, int index) { return Build(log, index, false); }

std::vector<DecodeNode> BuildDetailedDecodeTree(const CTraceLog& log, int index) { return Build(log, index, true); }

namespace {

void FindDeepest(const std::vector<DecodeNode>& nodes, std::uint32_t octet, int depth, const DecodeNode*& best,
                 int& bestDepth) {
    for (const DecodeNode& node : nodes) {
        const bool covers = node.octetCount != 0 && octet >= node.firstOctet && octet - node.firstOctet < node.octetCount;
        if (covers && (depth > bestDepth || (depth == bestDepth && node.octetCount < best->octetCount))) {
            best = &node;
            bestDepth = depth;
        }
        FindDeepest(node.children, octet, depth + 1, best, bestDepth);
    }
}

}  // namespace

const DecodeNode* DeepestNodeCovering(const std::vector<DecodeNode>& nodes, std::uint32_t octet) {
    const DecodeNode* best = nullptr;
    int bestDepth = 0;
    FindDeepest(nodes, octet, 1, best, bestDepth);
    return best;
}

}  // namespace trace
