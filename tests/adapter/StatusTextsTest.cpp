#include "adapter/StatusTexts.h"

#include <gtest/gtest.h>

namespace {

TEST(StatusTexts, SignalsFollowTheLineStateOverride) {
    struct Case { std::uint8_t line, rx, tx; const char* lineText; const char* rxText; const char* txText; };
    const Case cases[] = {
        {0, 0, 0, "Layer 1 inactive", "INFO 0 - No signal", "INFO 0 - No signal"},
        {0, 2, 2, "Layer 1 inactive", "INFO 2", "INFO 3"},
        {0, 4, 1, "Layer 1 inactive", "INFO 4", "INFO 1"},
        {0, 1, 3, "Layer 1 inactive", "Signal unknown", "Signal unknown"},
        {1, 0, 0, "Layer 1 active", "INFO 4", "INFO 3"},   // any state but 0 implies INFO 4 / INFO 3
        {2, 9, 9, "Layer 2 active for all configured links", "INFO 4", "INFO 3"},
        {3, 0, 1, "Layer 3 active for all configured links", "INFO 4", "INFO 3"},
        {4, 0, 0, "Status unknown", "INFO 4", "INFO 3"},
        {255, 2, 2, "Status unknown", "INFO 4", "INFO 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.line));
        EXPECT_EQ(adapter::LineStateText(c.line), c.lineText);
        EXPECT_EQ(adapter::ReceivingSignalText(c.line, c.rx), c.rxText);
        EXPECT_EQ(adapter::TransmissionSignalText(c.line, c.tx), c.txText);
    }
}

}  // namespace
