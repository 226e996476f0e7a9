#include "app/LockKeys.h"

#include <QGuiApplication>

#ifdef MARLOTRC_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace app {

std::optional<std::array<bool, 3>> ReadLockKeys() {
#ifdef MARLOTRC_HAVE_X11
    auto* x11 = qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) return std::nullopt;
    std::array<bool, 3> on{};
    const char* const names[] = {"Caps Lock", "Num Lock", "Scroll Lock"};
    for (std::size_t i = 0; i < on.size(); ++i) {
        const Atom atom = XInternAtom(display, names[i], True);
        Bool state = False;
        if (atom != None && XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr)) on[i] = state;
    }
    return on;
#else
    return std::nullopt;
#endif
}

}  // namespace app
