#include "trace/DecodeTree.h"

#include <cstdio>

#include "trace/TraceLog.h"

namespace trace {
namespace {

DecodeNode Leaf(std::string label) { return DecodeNode{std::move(label), 0, {}}; }

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

}  // namespace

std::vector<DecodeNode> BuildDecodeTree(const CTraceLog& log, int index) {
    DecodeNode frame{"Frame", index, {}};
    frame.children.push_back(Leaf("Seq: " + ThreeDigits(log.GetSequence(index))));
    char time[32];
    // The tree writes the hundredths after a colon, the record list after a point.
    std::snprintf(time, sizeof time, "  %.2d:%.2d:%.2d:%.2d", log.GetHours(index), log.GetMinutes(index),
                  log.GetSeconds(index), log.GetHundredths(index));
    frame.children.push_back(Leaf(std::string("Time: ") + time));
    frame.children.push_back(Leaf("B: " + TwoPlaces(log.GetBNumber(index))));
    frame.children.push_back(Leaf("LN: " + TwoPlaces(log.GetLNNumber(index))));

    DecodeNode layer2{"Layer 2", index, {}};
    layer2.children.push_back(Leaf("Source: " + log.GetSource(index)));
    layer2.children.push_back(Leaf("Address: " + log.GetAddress(index)));
    layer2.children.push_back(Leaf("FTYP: " + log.GetFrameType(index)));
    layer2.children.push_back(Leaf("P: " + log.GetPollFinal(index)));
    layer2.children.push_back(Leaf("NS: " + log.GetNS(index)));
    layer2.children.push_back(Leaf("NR: " + log.GetNR(index)));
    layer2.children.push_back(Leaf("CRV: " + log.GetCallReference(index)));
    layer2.children.push_back(Leaf("Message: " + log.GetMessage(index)));

    DecodeNode layer3{"Layer 3", index, {}};
    if (log.HasLayer3(index)) {
        const int count = log.GetItemCount(index);
        for (int k = 0; k < count; ++k) {
            const std::optional<DecodeItem> item = log.GetItem(index, k);
            if (!item) break;
            // The number, "- " and the lower-case name with its padding blanks.
            DecodeNode element = Leaf(std::to_string(k + 1) + "- " + LowerCase(item->name));
            element.children.push_back(Leaf("Index: " + item->index));
            element.children.push_back(Leaf("#: " + item->id));
            element.children.push_back(Leaf("Ln: " + item->length));
            element.children.push_back(Leaf("Name: " + item->name));
            element.children.push_back(Leaf("Mnemonic: " + item->mnemonic));
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

}  // namespace trace
