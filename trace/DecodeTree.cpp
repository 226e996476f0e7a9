#include "trace/DecodeTree.h"

#include <algorithm>

#include "decode/ElementDetails.h"
#include "decode/Format.h"
#include "decode/Frame.h"

#include "trace/TraceLog.h"

namespace trace {
namespace {

decode::OctetRange Part(decode::OctetRange range, std::uint32_t skip, std::uint32_t count) {
    if (skip >= range.count) return {};
    return {range.first + skip, std::min(count, range.count - skip)};
}

std::string_view View(const char* begin, const char* end) {
    return std::string_view(begin, static_cast<std::size_t>(end - begin));
}

// "Frame": sequence, time, B and LN.
template <class Sink>
void WalkFrame(const CTraceRecord& r, int index, Sink& sink) {
    char text[32];
    sink.Node(1, "Frame", {}, {0, static_cast<std::uint32_t>(r.GetData().size())}, index);
    sink.Node(2, "Seq: ", View(text, decode::WriteZeroPadded(text, r.GetSequence(), 3)), {}, 0);
    // The tree writes the hundredths after a colon, the record list after a point.
    char* p = text;
    for (const unsigned part : {unsigned{r.GetHours()}, unsigned{r.GetMinutes()}, unsigned{r.GetSeconds()}}) {
        p = decode::WriteZeroPadded(p, part, 2);
        *p++ = ':';
    }
    sink.Node(2, "Time:   ", View(text, decode::WriteZeroPadded(p, r.GetHundredths(), 2)), {}, 0);
    sink.Node(2, "B: ", View(text, decode::WriteBlankPadded(text, r.GetBNumber(), 2)), {}, 0);
    sink.Node(2, "LN: ", View(text, decode::WriteBlankPadded(text, r.GetLNNumber(), 2)), {}, 0);
}

// "Layer 2": the eight texts of the record list, from one decode without
// the element walk. Only a D-channel frame has parts to point at; hex and
// ASCII data is one block.
template <class Sink>
void WalkLayer2(const CTraceRecord& r, int index, const decode::FrameLayout& parts,
                const decode::FrameSummary& texts, Sink& sink) {
    const bool dchannel = r.IsDChannel();
    const decode::OctetRange control = parts.control;
    const bool uFrame = control.count == 1;
    const auto size = static_cast<std::uint32_t>(r.GetData().size());
    char value[4 * decode::FrameSummary::kMaxTextLength + 1];
    const auto field = [&](const char* prefix, char* (decode::FrameSummary::*write)(char*) const,
                           decode::OctetRange octets) {
        sink.Node(2, prefix, dchannel ? View(value, (texts.*write)(value)) : std::string_view(), octets, 0);
    };
    sink.Node(1, "Layer 2", {}, {0, dchannel ? std::min<std::uint32_t>(size, control.first + control.count) : 0u},
              index);
    field("Source: ", &decode::FrameSummary::WriteSource, {});
    field("Address: ", &decode::FrameSummary::WriteAddress, parts.address);
    field("FTYP: ", &decode::FrameSummary::WriteFrameType, control);
    field("P: ", &decode::FrameSummary::WritePollFinal, Part(control, uFrame ? 0 : 1, 1));
    field("NS: ", &decode::FrameSummary::WriteNS, uFrame ? decode::OctetRange{} : Part(control, 0, 1));
    field("NR: ", &decode::FrameSummary::WriteNR, uFrame ? decode::OctetRange{} : Part(control, 1, 1));
    field("CRV: ", &decode::FrameSummary::WriteCallReference, parts.callReference);
    if (dchannel)
        field("Message: ", &decode::FrameSummary::WriteMessage, parts.messageType);
    else
        sink.Node(2, "Message: ", r.GetMessage(), parts.messageType, 0);
}

// The elements of "Layer 3", from one decode with the element walk.
template <class Sink>
void WalkElements(const CTraceRecord& r, bool elementDetails, Sink& sink) {
    const std::span<const std::uint8_t> data = r.GetData();
    const decode::FrameSummary elements = r.Summary();
    const auto count = elements.ItemCount();
    char number[32];
    std::string lower;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::optional<DecodeItem> item = elements.Item(data, k);
        if (!item) break;
        const decode::OctetRange whole{item->offset, item->size};
        // The number, "- " and the lower-case name with its padding blanks.
        char* p = decode::WriteText(number, std::to_string(k + 1));
        p = decode::WriteText(p, "- ");
        lower = item->name;
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        sink.Node(2, View(number, p), lower, whole, 0);
        sink.Node(3, "Index: ", item->IndexText(), Part(whole, 0, 1), 0);
        sink.Node(3, "#: ", item->IdText(), Part(whole, 0, 1), 0);
        sink.Node(3, "Ln: ", item->LengthText(), item->singleOctet ? Part(whole, 0, 1) : Part(whole, 1, 1), 0);
        sink.Node(3, "Name: ", item->name, Part(whole, 0, 1), 0);
        sink.Node(3, "Mnemonic: ", item->mnemonic, {item->ContentOffset(), item->ContentSize()}, 0);
        if (!elementDetails) continue;
        for (const decode::ElementDetail& detail : decode::DescribeElement(*item, data))
            sink.Node(3, detail.label, {}, {detail.firstOctet, detail.octetCount}, 0);
    }
}

// Walks the tree of record `index` in pre-order without building it: for
// each node, sink.Node(depth, prefix, rest, octets, itemData), its label
// being prefix followed by rest. The record is read once, not once a text.
template <class Sink>
void Walk(const CTraceLog& log, int index, bool elementDetails, Sink& sink) {
    // A record that is not there reads as zeros and no data, as the log's
    // accessors answer for it.
    static constexpr std::uint8_t kNoRecord[tracefile::kHeaderCopySize] = {};
    const CTraceRecord r = log.GetRecord(index).value_or(CTraceRecord(kNoRecord, {}));
    const bool dchannel = r.IsDChannel();
    const decode::FrameLayout parts = dchannel ? decode::LayoutOf(r.GetData()) : decode::FrameLayout{};
    const decode::FrameSummary texts = r.Summary(decode::kDecodeMask & ~decode::kDecodeInfoElements);
    WalkFrame(r, index, sink);
    WalkLayer2(r, index, parts, texts, sink);
    sink.Node(1, "Layer 3", {}, parts.layer3, index);
    if (dchannel && texts.HasLayer3()) WalkElements(r, elementDetails, sink);
}

// Builds the nodes the walk names, each under the last node one level up.
class TreeBuilder {
public:
    void Node(int depth, std::string_view prefix, std::string_view rest, decode::OctetRange octets, int itemData) {
        m_path.resize(static_cast<std::size_t>(depth - 1));
        std::vector<DecodeNode>& siblings = m_path.empty() ? m_tree : m_path.back()->children;
        std::string label;
        label.reserve(prefix.size() + rest.size());
        label.append(prefix).append(rest);
        siblings.push_back(DecodeNode{std::move(label), itemData, {}, octets.first, octets.count});
        m_path.push_back(&siblings.back());
    }
    std::vector<DecodeNode> Take() { return std::move(m_tree); }

private:
    std::vector<DecodeNode> m_tree;
    std::vector<DecodeNode*> m_path;  // the last node at each depth; each lives in its parent's list, never moved
};

// Hands each node's depth and label to a visitor, and nothing else.
struct LabelSink {
    const DecodeLabelVisitor& visit;
    void Node(int depth, std::string_view prefix, std::string_view rest, decode::OctetRange, int) {
        visit(depth, prefix, rest);
    }
};

std::vector<DecodeNode> Build(const CTraceLog& log, int index, bool elementDetails) {
    TreeBuilder builder;
    Walk(log, index, elementDetails, builder);
    return builder.Take();
}

}  // namespace

std::vector<DecodeNode> BuildDecodeTree(const CTraceLog& log, int index) { return Build(log, index, false); }

std::vector<DecodeNode> BuildDetailedDecodeTree(const CTraceLog& log, int index) { return Build(log, index, true); }

void VisitDecodeTreeLabels(const CTraceLog& log, int index, bool elementDetails, const DecodeLabelVisitor& visit) {
    LabelSink sink{visit};
    Walk(log, index, elementDetails, sink);
}

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
