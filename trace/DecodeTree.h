#pragma once
// The decode tree of one record, exactly as the decode tree pane shows it:
// "Frame" (sequence, time, B, LN), "Layer 2" (the eight texts) and "Layer 3"
// (one numbered node per decode item, each with its five fields). Built once
// from the CTraceLog accessors, with no toolkit types, so the tree pane and
// `trctool dump --tree` show the same tree. User-interface thread (it reads
// the CTraceLog).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace trace {

class CTraceLog;

struct DecodeNode {
    std::string label;
    int itemData = 0;  // the record index on the three top-level nodes, 0 on all others
    std::vector<DecodeNode> children;
    // The record's data octets the node stands for: [firstOctet, firstOctet +
    // octetCount); octetCount 0 when the node shows no octets of the data
    // (the sequence number, the time, the side that sent the frame).
    std::uint32_t firstOctet = 0;
    std::uint32_t octetCount = 0;
};

// The deepest node whose octets include `octet`; of several at that depth the
// one with the fewest octets, then the first in pre-order; null when none does.
const DecodeNode* DeepestNodeCovering(const std::vector<DecodeNode>& nodes, std::uint32_t octet);

// The three top-level nodes of record `index`, children in display order.
std::vector<DecodeNode> BuildDecodeTree(const CTraceLog& log, int index);
// The same tree with the element details: under each element's node, after
// its five fields, what the element's octets mean, field by field, each
// detail node covering the octets it was read from.
std::vector<DecodeNode> BuildDetailedDecodeTree(const CTraceLog& log, int index);

// The labels of the same tree, in pre-order with their depths (the top-level
// nodes have depth 1), without building it: for a reader that only prints
// it. Each label is prefix followed by rest.
using DecodeLabelVisitor = std::function<void(int depth, std::string_view prefix, std::string_view rest)>;
void VisitDecodeTreeLabels(const CTraceLog& log, int index, bool elementDetails, const DecodeLabelVisitor& visit);

// Visits every node depth-first in pre-order (a node, its children, then its
// next sibling); the top-level nodes have depth 1.
template <class Visit>
void VisitPreOrder(const std::vector<DecodeNode>& nodes, Visit&& visit, int depth = 1) {
    for (const DecodeNode& node : nodes) {
        visit(node, depth);
        VisitPreOrder(node.children, visit, depth + 1);
    }
}

}  // namespace trace
