#include "engine/PhoneServiceText.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

using Daemon = PhoneService::Daemon;

// The one reason no phone relays, told by how its sentence begins and ends (the full wording is the
// label's and the inspector's), and whether a phone relays all the same.
TEST(PhoneServiceSentence, SaysWhyNoPhoneRelaysAndHowToMendIt)
{
    const PairedPhone pixel{"a", "Pixel 7", true, true, true};
    const PairedPhone away{"b", "Fairphone", false, false, false};
    const PairedPhone mute{"c", "Galaxy", true, false, true};
    const PairedPhone deaf{"c", "Galaxy", true, false, false};
    const PairedPhone quiet{"c", "Galaxy", true, false, true, true};
    const PairedPhone quietAlone{"c", "Galaxy", true, false, false, true};
    const struct {
        const char* name;
        PhoneService service;
        const char* begins;
        const char* ends;
        bool relaying;
    } rows[] = {
        {"not asked yet", {}, "Looking for KDE Connect", "…", false},
        {"not installed",
         {Daemon::notInstalled, {}},
         "KDE Connect is not installed.",
         "in KDE Connect.",
         false},
        {"not running", {Daemon::notRunning, {}}, "KDE Connect is not running.", "in KDE Connect.", false},
        {"no phone paired", {Daemon::running, {}}, "No phone is paired.", "same network.", false},
        {"paired phones away",
         {Daemon::running, {away, PairedPhone{"d", "Pixel 4", false, false, false}}},
         "Fairphone and Pixel 4 are paired but not reachable.",
         "as this computer.",
         false},
        {"a reachable phone beside one away",
         {Daemon::running, {away, pixel}},
         "Pixel 7 is paired and reachable.",
         "reachable.",
         true},
        {"no text messages but notifications",
         {Daemon::running, {mute}},
         "Galaxy sends no text messages:",
         "its messages app's notifications.",
         true},
        // Asked for its threads, it answered nothing: it may have none.
        {"no text messages yet but notifications",
         {Daemon::running, {quiet}},
         "Galaxy has sent no text messages yet.",
         "its messages app's notifications.",
         true},
        {"no text messages yet nor notifications",
         {Daemon::running, {quietAlone}},
         "Galaxy has sent no text messages yet.",
         "allow it there.",
         true},
        {"neither messages nor notifications",
         {Daemon::running, {deaf}},
         "Galaxy sends no text messages and no notifications:",
         "their permissions.",
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const PhoneServiceText text = describePhoneService(row.service);
        EXPECT_TRUE(text.sentence.startsWith(QString::fromUtf8(row.begins))) << text.sentence;
        EXPECT_TRUE(text.sentence.endsWith(QString::fromUtf8(row.ends))) << text.sentence;
        EXPECT_EQ(text.relaying, row.relaying);
    }
}

} // namespace
} // namespace tessary
