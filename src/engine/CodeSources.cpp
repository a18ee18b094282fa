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

// At login the phone service, and the phone itself, may come a little after Tessary: a phone
// user's setup is kept while KDE Connect has not started or the paired phone is not reachable yet.
SetupAtLaunch setupAtLaunch(const AppState& state, const SmsSource* phones)
{
    if (!state.accessibility())
        return SetupAtLaunch::lost;
    if (hasCodeSource(state, phones))
        return SetupAtLaunch::kept;
    if (!phones || !state.smsCodes())
        return SetupAtLaunch::lost;
    const PhoneService service = phones->service();
    switch (service.daemon) {
    case PhoneService::Daemon::unknown:
        return SetupAtLaunch::unknown;
    case PhoneService::Daemon::notRunning:
        return SetupAtLaunch::kept;
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
