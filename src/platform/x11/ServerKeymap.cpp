#include "platform/x11/ServerKeymap.h"

#include "platform/x11/KeyLevels.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace tessary {

namespace {

// The group a key types in while the keyboard is in `group`: a key with fewer groups folds it back
// into its range, the way the key says.
int groupOfKey(int group, int groupCount, unsigned char groupInfo)
{
    if (group < groupCount)
        return group;
    switch (XkbOutOfRangeGroupAction(groupInfo)) {
    case XkbClampIntoRange:
        return groupCount - 1;
    case XkbRedirectIntoRange:
        return XkbOutOfRangeGroupNumber(groupInfo) < groupCount ? XkbOutOfRangeGroupNumber(groupInfo) : 0;
    default:
        return group % groupCount;
    }
}

} // namespace

void ServerKeymap::Free::operator()(XkbDescRec* keyboard) const
{
    XkbFreeKeyboard(keyboard, 0, True);
}

ServerKeymap::ServerKeymap(Display* display)
{
    XkbStateRec state{};
    if (!display || XkbGetState(display, XkbUseCoreKbd, &state) != Success)
        return;
    m_keyboard.reset(XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd));
    m_group = state.group;
    m_capsLock = state.locked_mods & LockMask;
}

ServerKeymap::~ServerKeymap() = default;

std::optional<ServerKeymap::Key> ServerKeymap::keyInLayout(unsigned long keysym) const
{
    if (!m_keyboard || keysym == NoSymbol)
        return std::nullopt;
    XkbDescRec* keyboard = m_keyboard.get();
    std::optional<Key> shifted;
    for (int code = keyboard->min_key_code; code <= keyboard->max_key_code; ++code) {
        const int groupCount = XkbKeyNumGroups(keyboard, code);
        if (groupCount == 0)
            continue;
        const int group = groupOfKey(m_group, groupCount, XkbKeyGroupInfo(keyboard, code));
        const int width = XkbKeyGroupWidth(keyboard, code, group);
        const KeyLevels levels{XkbKeySymEntry(keyboard, code, 0, group),
                               width > 1 ? XkbKeySymEntry(keyboard, code, 1, group) : NoSymbol};
        const std::optional<bool> shift = shiftFor(keysym, levels, m_capsLock);
        if (shift && levels.plain == keysym)
            return Key{(unsigned char)code, *shift};
        if (shift && !shifted)
            shifted = Key{(unsigned char)code, *shift};
    }
    return shifted;
}

unsigned char ServerKeymap::keycodeOf(unsigned long keysym) const
{
    if (!m_keyboard || keysym == NoSymbol)
        return 0;
    XkbDescRec* keyboard = m_keyboard.get();
    unsigned char anyLevel = 0;
    for (int code = keyboard->min_key_code; code <= keyboard->max_key_code; ++code) {
        const int symbols = XkbKeyNumSyms(keyboard, code);
        const int perGroup = XkbKeyGroupsWidth(keyboard, code);
        for (int index = 0; index < symbols; ++index) {
            if (XkbKeySymsPtr(keyboard, code)[index] != keysym)
                continue;
            if (index % perGroup == 0)
                return (unsigned char)code;
            if (!anyLevel)
                anyLevel = (unsigned char)code;
        }
    }
    return anyLevel;
}

} // namespace tessary
