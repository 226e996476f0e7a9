// The emulated card as a loadable driver module: the device channel loads
// libmarlocardsim.so when a program opens "\\.\ORINTPX" and no driver is
// registered in the process, and calls this entry point once.

#include <cstdlib>

#include "cardsim/Card.h"
#include "platform/MessageBox.h"

extern "C" __attribute__((visibility("default"))) void MarloDriverEntry() {
    const char* text = std::getenv("ORINTPX_EMULATOR");
    std::string error;
    auto settings = cardsim::ParseSettings(text ? text : "", &error);
    if (!settings) {
        // A bad setting is refused, never half applied: the device stays
        // absent and the message names the setting.
        platform::MessageBox(error, "cardsim");
        return;
    }
    if (settings->absent) return;
    cardsim::InstallCard(std::make_shared<cardsim::Card>(std::move(*settings)));
}
