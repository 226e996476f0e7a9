// Fuzz target for the frame decoder: the first input octet is the flags
// octet of the raw record, the rest is the frame. Every text and every item
// is formatted, the item accessors must agree with each other, the summary's
// link-layer value is the one ReadLink reads, every element detail lies
// inside its element and every element's digits inside the frame.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "decode/ElementDetails.h"
#include "decode/ElementWalk.h"
#include "decode/Elements.h"
#include "decode/Frame.h"

// Keeps the formatted texts observable, so none of the work is dropped.
volatile std::size_t g_sink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // An exactly sized copy, so a read past the frame is a heap overflow.
    const std::vector<std::uint8_t> frame(data + 1, data + size);
    const decode::FrameSummary s = decode::DecodeFrame(frame, data[0]);
    if (!(s.Link() == decode::ReadLink(frame))) std::abort();
    std::size_t total = 0;
    total += s.Source().size() + s.Address().size() + s.FrameType().size() + s.PollFinal().size();
    total += s.NS().size() + s.NR().size() + s.CallReference().size() + s.Message().size();
    const std::vector<decode::DecodeItem> items = s.Items(frame);
    if (items.size() != s.ItemCount()) std::abort();
    for (std::uint32_t k = 0; k < items.size(); ++k) {
        const auto item = s.Item(frame, k);
        if (!item || !(*item == items[k])) std::abort();
        if (items[k].offset >= frame.size() || items[k].offset + items[k].size > frame.size()) std::abort();
        total += item->mnemonic.size();
        for (const decode::ElementDetail& detail : decode::DescribeElement(items[k], frame)) {
            if (detail.octetCount == 0 || detail.firstOctet < items[k].offset ||
                detail.firstOctet + detail.octetCount > items[k].offset + items[k].size)
                std::abort();
            total += detail.label.size();
        }
    }
    if (s.Item(frame, static_cast<std::uint32_t>(items.size()))) std::abort();
    if (s.HasLayer3()) {
        decode::WalkElements(frame, s.HeaderLength(), [&](const decode::Element& e) {
            const decode::ElementValues values = decode::ValuesOf(e);
            if (values.digits && !values.digits->empty()) {
                const std::uint8_t* first = values.digits->data();
                if (first < frame.data() || first + values.digits->size() > frame.data() + frame.size()) std::abort();
            }
            total += values.cause.value_or(0);
            return true;
        });
    }
    g_sink = total;
    return 0;
}
