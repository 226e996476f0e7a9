#include "adapter/StatisticsTexts.h"

#include <gtest/gtest.h>

#include "adapter/MarloTrcDoc.h"

namespace {

TEST(StatisticsTexts, ElapsedTimesPadWithSpacesAndWrapHoursAt99) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "0: 0: 0"},          {366100, "1: 1: 1"},      {36000000, "1: 0: 0"},
        {35999999, "0:59:59"}, {35639999, "98:59:59"},  {99, "0: 0: 0"},          {0xFFFFFFFFu, "50:27:52"},
    };
    for (const auto& [t, text] : cases) EXPECT_EQ(adapter::FormatElapsed(t), text) << t;
}

TEST(StatisticsTexts, RowsShowTypesAndSignedCounters) {
    adapter::LinkStatisticsCopy link;
    link.linkType = 63;
    link.outOctets = 0xFFFFFFFFu;
    link.inPackets = 7;
    const auto rows = adapter::LinkStatisticsRows(link);
    EXPECT_EQ(rows[0].text, "ISDN signaling");
    EXPECT_EQ(rows[4].label, "In Packets:");
    EXPECT_EQ(rows[4].text, "7");
    EXPECT_EQ(rows[8].label, "Out Octets");
    EXPECT_EQ(rows[8].text, "-1");
    link.linkType = 75;
    EXPECT_EQ(adapter::LinkStatisticsRows(link)[0].text, "");

    adapter::LineStatisticsCopy line;
    for (const auto& [type, text] : {std::pair<std::uint8_t, const char*>{75, "ISDN S/T Interface"},
                                     {76, "ISDN U Interface"}, {63, ""}}) {
        line.lineType = type;
        EXPECT_EQ(adapter::LineStatisticsRows(line)[0].text, text);
    }
}

}  // namespace
