#include "trace/DecodeTree.h"

#include <algorithm>
#include <cstdio>

#include "decode/ElementDetails.h"
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

std::string ThreeDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", value);
    return text;
}

std::string TwoPlaces(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%2d", value);
    return text;
}

std::string LowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::vector<DecodeNode> Build(const CTraceLog& log, int index, bool elementDetails) {
    DecodeNode frame{"Frame", index, {}};
    frame.children.push_back(Leaf("Seq: " + ThreeDigits(log.GetSequence(index))));
    char time[32];
    // The tree writes the hundredths after a colon, the record list after a point.
    std::snprintf(time, sizeof time, "  %.2d:%.2d:%.2d:%.2d", log.GetHours(index), log.GetMinutes(index),
                  log.GetSeconds(index), log.GetHundredths(index));
    frame.children.push_back(Leaf(std::string("Time: ") + time));
    frame.children.push_back(Leaf("B: " + TwoPlaces(log.GetBNumber(index))));
    frame.children.push_back(Leaf("LN: " + TwoPlaces(log.GetLNNumber(index))));

    const std::optional<CTraceRecord> record = log.GetRecord(index);
    const std::span<const std::uint8_t> data = record ? record->GetData() : std::span<const std::uint8_t>();
    const auto size = static_cast<std::uint32_t>(data.size());
    frame.firstOctet = 0;
    frame.octetCount = size;
    // Only a D-channel frame has parts to point at; hex and ASCII data is one block.
    const bool dchannel = log.GetMnemonic(index) == "DCH";
    const decode::FrameLayout parts = dchannel ? decode::LayoutOf(data) : decode::FrameLayout{};
    const decode::OctetRange control = parts.control;
    const bool uFrame = control.count == 1;

    DecodeNode layer2{"Layer 2", index, {}};
    if (dchannel) layer2.octetCount = std::min<std::uint32_t>(size, control.first + control.count);
    layer2.children.push_back(Leaf("Source: " + log.GetSource(index)));
    layer2.children.push_back(Leaf("Address: " + log.GetAddress(index), parts.address));
    layer2.children.push_back(Leaf("FTYP: " + log.GetFrameType(index), control));
    layer2.children.push_back(Leaf("P: " + log.GetPollFinal(index), Part(control, uFrame ? 0 : 1, 1)));
    layer2.children.push_back(Leaf("NS: " + log.GetNS(index), uFrame ? decode::OctetRange{} : Part(control, 0, 1)));
    layer2.children.push_back(Leaf("NR: " + log.GetNR(index), uFrame ? decode::OctetRange{} : Part(control, 1, 1)));
    layer2.children.push_back(Leaf("CRV: " + log.GetCallReference(index), parts.callReference));
    layer2.children.push_back(Leaf("Message: " + log.GetMessage(index), parts.messageType));

    DecodeNode layer3{"Layer 3", index, {}};
    layer3.firstOctet = parts.layer3.first;
    layer3.octetCount = parts.layer3.count;
    if (log.HasLayer3(index)) {
        const int count = log.GetItemCount(index);
        for (int k = 0; k < count; ++k) {
            const std::optional<DecodeItem> item = log.GetItem(index, k);
            if (!item) break;
            const decode::OctetRange whole{item->offset, item->size};
            // The number, "- " and the lower-case name with its padding blanks.
            DecodeNode element = Leaf(std::to_string(k + 1) + "- " + LowerCase(item->name), whole);
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
