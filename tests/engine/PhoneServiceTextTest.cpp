#include "engine/PhoneServiceText.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

using Daemon = PhoneService::Daemon;

struct ServiceCase {
    const char* name;
    PhoneService service;
    const char* sentence;
    bool relaying;
};

class PhoneServiceSentence : public ::testing::TestWithParam<ServiceCase> {};

TEST_P(PhoneServiceSentence, SaysWhyNoPhoneRelaysAndHowToMendIt)
{
    const PhoneServiceText text = describePhoneService(GetParam().service);
    EXPECT_EQ(text.sentence, GetParam().sentence);
    EXPECT_EQ(text.relaying, GetParam().relaying);
}

const PairedPhone pixel{"a", "Pixel 7", true, true, true};
const PairedPhone away{"b", "Fairphone", false, false, false};
const PairedPhone mute{"c", "Galaxy", true, false, true};
const PairedPhone deaf{"c", "Galaxy", true, false, false};
const PairedPhone quiet{"c", "Galaxy", true, false, true, true};
const PairedPhone quietAlone{"c", "Galaxy", true, false, false, true};

INSTANTIATE_TEST_SUITE_P(
    Phones, PhoneServiceSentence,
    ::testing::Values(
        ServiceCase{"NotAskedYet", {}, "Looking for KDE Connect…", false},
        ServiceCase{
            "NotInstalled",
            {Daemon::notInstalled, {}},
            "KDE Connect is not installed. Install it on this computer and the KDE Connect app on your "
            "phone, then pair the phone in KDE Connect.",
            false},
        ServiceCase{"NotRunning",
                    {Daemon::notRunning, {}},
                    "KDE Connect is not running. Start it, then pair your phone in KDE Connect.",
                    false},
        ServiceCase{
            "NoPhonePaired",
            {Daemon::running, {}},
            "No phone is paired. Pair your phone in KDE Connect, with the KDE Connect app open on the "
            "phone on the same network.",
            false},
        ServiceCase{
            "PairedPhonesAway",
            {Daemon::running, {away, PairedPhone{"d", "Pixel 4", false, false, false}}},
            "Fairphone and Pixel 4 are paired but not reachable. Open the KDE Connect app on the phone, "
            "on the same network as this computer.",
            false},
        ServiceCase{"AReachablePhoneBesideOneAway",
                    {Daemon::running, {away, pixel}},
                    "Pixel 7 is paired and reachable.",
                    true},
        ServiceCase{
            "NoTextMessagesButNotifications",
            {Daemon::running, {mute}},
            "Galaxy sends no text messages: in the KDE Connect app on the phone, allow the SMS plugin its "
            "permission. Until then, codes are read from its messages app's notifications.",
            true},
        // Asked for its threads, it answered nothing: it may have none.
        ServiceCase{"NoTextMessagesYetButNotifications",
                    {Daemon::running, {quiet}},
                    "Galaxy has sent no text messages yet. If the KDE Connect app on the phone lacks the SMS "
                    "permission, allow it there. Meanwhile, codes are read from its messages app's "
                    "notifications.",
                    true},
        ServiceCase{"NoTextMessagesYetNorNotifications",
                    {Daemon::running, {quietAlone}},
                    "Galaxy has sent no text messages yet. If the KDE Connect app on the phone lacks the SMS "
                    "permission, allow it there.",
                    true},
        ServiceCase{
            "NeitherMessagesNorNotifications",
            {Daemon::running, {deaf}},
            "Galaxy sends no text messages and no notifications: in the KDE Connect app on the phone, "
            "allow the SMS and notification plugins their permissions.",
            false}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace tessary
