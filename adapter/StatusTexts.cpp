#include "adapter/StatusTexts.h"

namespace adapter {

const std::array<std::string_view, kStatusTextCount> kStatusLabels = {
    "Line Status: ",
    "Receiving Signal: ",
    "Transmission Signal: ",
    "Layer 2 Link 1 State: ",
    "Layer 3 Link 1 State: ",
    "Layer 2 Link 2 State: ",
    "Layer 3 Link 2 State: ",
};

LineStatusTexts InitialStatusTexts() {
    return {"Unable to determine status",     "Unable to determine signal",
            "Unable to determine signal",     "Unable to determine link state",
            "Unable to determine link state", "Unable to determine link state",
            "Unable to determine link state"};
}

std::string_view LineStateText(std::uint8_t lineState) {
    switch (lineState) {
        case 0: return "Layer 1 inactive";
        case 1: return "Layer 1 active";
        case 2: return "Layer 2 active for all configured links";
        case 3: return "Layer 3 active for all configured links";
        default: return "Status unknown";
    }
}

std::string_view ReceivingSignalText(std::uint8_t lineState, std::uint8_t code) {
    if (lineState != 0) return "INFO 4";
    switch (code) {
        case 0: return "INFO 0 - No signal";
        case 2: return "INFO 2";
        case 4: return "INFO 4";
        default: return "Signal unknown";
    }
}

std::string_view TransmissionSignalText(std::uint8_t lineState, std::uint8_t code) {
    if (lineState != 0) return "INFO 3";
    switch (code) {
        case 0: return "INFO 0 - No signal";
        case 1: return "INFO 1";
        case 2: return "INFO 3";
        default: return "Signal unknown";
    }
}

}  // namespace adapter
