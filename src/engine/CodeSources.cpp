#include "engine/CodeSources.h"

#include "engine/SmsSource.h"
#include "state/AppState.h"

#include <algorithm>

namespace tessary {

bool phoneBringsCodes(const AppState& state, const SmsSource* phones)
{
    return phones && state.smsCodes() && relaysMessages(phones->service());
}

bool hasCodeSource(const AppState& state, const SmsSource* phones)
{
    return state.hasInbox() || phoneBringsCodes(state, phones);
}

// At login the phone service, and the phone itself, may come a little after Tessary: the setup
// of someone whose codes came from a phone is kept while KDE Connect has not started or a paired
// phone is not reachable yet, and lost once KDE Connect is gone or out of reach (no session bus)
// or no phone is paired. Someone whose codes never came from a phone (the last inbox removed) is
// not kept waiting for one.
SetupAtLaunch setupAtLaunch(const AppState& state, const SmsSource* phones, bool phoneBroughtCodes)
{
    if (!state.accessibility())
        return SetupAtLaunch::lost;
    if (hasCodeSource(state, phones))
        return SetupAtLaunch::kept;
    if (!phones || !state.smsCodes() || !phoneBroughtCodes)
        return SetupAtLaunch::lost;
    const PhoneService service = phones->service();
    switch (service.daemon) {
    case PhoneService::Daemon::unknown:
        return SetupAtLaunch::unknown;
    case PhoneService::Daemon::notRunning:
        return SetupAtLaunch::kept;
    case PhoneService::Daemon::noSessionBus:
    case PhoneService::Daemon::notInstalled:
        return SetupAtLaunch::lost;
    case PhoneService::Daemon::running:
        break;
    }
    const bool away = std::any_of(service.phones.cbegin(), service.phones.cend(),
                                  [](const PairedPhone& phone) { return !phone.reachable; });
    return away ? SetupAtLaunch::kept : SetupAtLaunch::lost;
}

} // namespace tessary
