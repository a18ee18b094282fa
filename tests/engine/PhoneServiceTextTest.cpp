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
    const PairedPhone alsoAway{"d", "Pixel 4", false, false, false};
    const PairedPhone mute{"c", "Galaxy", true, false, true};
    const PairedPhone deaf{"c", "Galaxy", true, false, false};
    const PairedPhone quiet{"c", "Galaxy", true, false, true, true}; // asked for its threads, it sent none
    const PairedPhone quietAlone{"c", "Galaxy", true, false, false, true};
    const struct {
        PhoneService service;
        const char* begins;
        const char* ends;
        bool relaying;
    } rows[] = {
        {{}, "Looking for KDE Connect", "…", false},
        {{Daemon::notInstalled, {}}, "KDE Connect is not installed.", " in KDE Connect.", false},
        {{Daemon::notRunning, {}}, "KDE Connect is not running.", " in KDE Connect.", false},
        {{Daemon::running, {}}, "No phone is paired.", " network.", false},
        {{Daemon::running, {away, alsoAway}}, "Fairphone and Pixel 4 are paired but", " computer.", false},
        {{Daemon::running, {away, pixel}}, "Pixel 7 is paired and reachable.", " and reachable.", true},
        {{Daemon::running, {mute}}, "Galaxy sends no text messages:", " notifications.", true},
        {{Daemon::running, {quiet}}, "Galaxy has sent no text messages yet.", " notifications.", true},
        {{Daemon::running, {quietAlone}}, "Galaxy has sent no text messages yet.", " allow it there.", true},
        {{Daemon::running, {deaf}}, "Galaxy sends no text messages and no", " permissions.", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.begins);
        const PhoneServiceText text = describePhoneService(row.service);
        EXPECT_TRUE(text.sentence.startsWith(QString::fromUtf8(row.begins))) << text.sentence;
        EXPECT_TRUE(text.sentence.endsWith(QString::fromUtf8(row.ends))) << text.sentence;
        EXPECT_EQ(text.relaying, row.relaying);
    }
}

} // namespace
} // namespace tessary
