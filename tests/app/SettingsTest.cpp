#include "AppViewTestSupport.h"
#include "app/AppDelegate.h"
#include "app/Look.h"
#include "app/PhoneSection.h"
#include "app/SettingsView.h"
#include "app/ShortcutRecorder.h"
#include "chip/DarkPalette.h"
#include "fakes/FakeHotKey.h"
#include "fakes/FakeSmsSource.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace tessary::test {
namespace {

class SettingsTest : public AppViewTest {
protected:
    std::unique_ptr<SettingsView> settingsView(bool developerBuild = false)
    {
        makeContext(developerBuild);
        state->setRegisterShortcut([this](const std::optional<Shortcut>& s) { return hotKey.claim(s); });
        context->phones = &phones;
        auto view = std::make_unique<SettingsView>(*context, [] {});
        view->show();
        return view;
    }
    void press(ShortcutRecorder& recorder, int key, Qt::KeyboardModifiers modifiers, const QString& text = {},
               quint32 scanCode = 0)
    {
        const QKeyEvent event(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, text);
        recorder.handleKey(event);
    }
    FakeHotKey hotKey;
    FakeSmsSource phones;
};

TEST_F(SettingsTest, RecorderStoresTurnsOffCancelsResetsAndIsRefused)
{
    const auto view = settingsView();
    ShortcutRecorder& recorder = view->recorder();
    const Shortcut before = *state->shortcut();
    EXPECT_FALSE(recorder.reset().isVisibleTo(view.get()));

    recorder.button().click();
    EXPECT_TRUE(recorder.recording());
    EXPECT_EQ(hotKey.requests.last(), std::nullopt); // the grab is given up while recording
    EXPECT_EQ(recorder.button().text(), "Press keys…");
    press(recorder, Qt::Key_K, Qt::ShiftModifier, "K");
    EXPECT_TRUE(recorder.recording());
    EXPECT_EQ(state->shortcutError(), "Include Ctrl, Alt or Super.");
    press(recorder, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(recorder.recording());
    EXPECT_EQ(hotKey.registered, before);
    EXPECT_EQ(recorder.caption().text(), "Include Ctrl, Alt or Super.");

    recorder.button().click();
    // The key pressed is stored, whatever its layout types: a French layout's "&" is on the 1 key.
    press(recorder, Qt::Key_Ampersand, Qt::ControlModifier | Qt::MetaModifier, "&", 10);
    const Shortcut stored{18, modifier::control | modifier::command, "&"};
    EXPECT_EQ(state->shortcut(), stored);
    EXPECT_EQ(hotKey.registered, stored);
    EXPECT_EQ(recorder.button().text(), "Ctrl+Super+&");
    EXPECT_TRUE(recorder.reset().isVisibleTo(view.get()));

    recorder.button().click();
    press(recorder, Qt::Key_Backspace, Qt::NoModifier);
    EXPECT_EQ(state->shortcut(), std::nullopt);
    EXPECT_EQ(recorder.button().text(), "Off");
    EXPECT_EQ(hotKey.registered, std::nullopt);

    recorder.reset().click();
    EXPECT_EQ(state->shortcut(), Shortcut::defaultShortcut());
    EXPECT_EQ(hotKey.registered, Shortcut::defaultShortcut());
    EXPECT_FALSE(recorder.reset().isVisibleTo(view.get()));

    // Where no app can have a global key, no combination is blamed on another app. (One another
    // app holds is refused in the state's ShortcutChange cases.)
    hotKey.globalKeys = false;
    recorder.button().click();
    press(recorder, Qt::Key_L, Qt::ControlModifier, "\f");
    EXPECT_EQ(state->shortcut(), Shortcut::defaultShortcut());
    EXPECT_EQ(recorder.caption().text(), shortcutUnavailableMessage());
    EXPECT_TRUE(recorder.caption().isVisibleTo(view.get()));
    hotKey.globalKeys = true;

    // Closed while recording, the window gives the shortcut its grab back.
    recorder.button().click();
    view->close();
    EXPECT_FALSE(recorder.recording());
    EXPECT_EQ(hotKey.registered, Shortcut::defaultShortcut());
}

// "Settings…" brings back a window the user minimized; showing it alone leaves it in the panel.
TEST_F(SettingsTest, SectionsInOrderTheDeveloperOneInDeveloperBuildsAndAMinimizedWindowRestored)
{
    EXPECT_EQ(settingsView(true)->sections(),
              (QStringList{"Inboxes", "Filling", "Phone", "Developer", "General"}));
    const auto view = settingsView(false);
    EXPECT_EQ(view->sections(), (QStringList{"Inboxes", "Filling", "Phone", "General"}));
    view->setWindowState(Qt::WindowMinimized);
    showAppWindow(*view);
    EXPECT_FALSE(view->isMinimized());
}

TEST_F(SettingsTest, OpenAtLoginSpringsBackAccessibilityAndSecretsRows)
{
    loginItem.failure = QStringLiteral("The autostart folder is read-only.");
    accessibility->trusted = false;
    const auto view = settingsView();
    loginItem.held = true;
    view->openAtLogin().click();
    EXPECT_TRUE(view->openAtLogin().isChecked()) << "the switch shows the change asked for while it is made";
    loginItem.finish();
    EXPECT_FALSE(view->openAtLogin().isChecked());
    // Said under its own switch; the inboxes' error, shown under them, stays theirs.
    EXPECT_EQ(view->loginError().text(), "The autostart folder is read-only.");
    EXPECT_TRUE(view->loginError().isVisibleTo(view.get()));
    EXPECT_EQ(state->error(), std::nullopt);
    // On a dark desktop an error reads at least as well as on a light one.
    QWidget darkDesktop;
    darkDesktop.setPalette(darkDesktopPalette());
    const SettingsView darkView(*context, {}, &darkDesktop);
    const auto legibility = [](const SettingsView& shown) {
        return contrast(shown.loginError().palette().color(QPalette::WindowText),
                        shown.palette().color(QPalette::Window));
    };
    EXPECT_GE(legibility(darkView), 4.5);
    EXPECT_GE(legibility(*view), 4.5);
    // So do "Granted" and the warnings, in either look.
    for (const QPalette& palette : {view->palette(), darkView.palette()})
        for (const look::Tone tone : {look::green, look::orange})
            EXPECT_GE(contrast(tone(palette), palette.color(QPalette::Window)), 4.5);
    loginItem.failure.reset();
    loginItem.held = false;
    view->openAtLogin().click();
    EXPECT_TRUE(view->openAtLogin().isChecked());
    EXPECT_FALSE(view->loginError().isVisibleTo(view.get()));

    EXPECT_TRUE(view->grant().isVisibleTo(view.get()));
    grantFails = true;
    view->grant().click();
    EXPECT_EQ(grants, 1);
    EXPECT_TRUE(view->accessNote().isVisibleTo(view.get()));
    accessibility->trusted = true; // turned on another way: why it failed is old news
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->granted().isVisibleTo(view.get()); }));
    EXPECT_FALSE(view->grant().isVisibleTo(view.get()));
    EXPECT_FALSE(view->accessNote().isVisibleTo(view.get()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->secrets().text() == "In the keyring"; }));
    view->adjustSize(); // a short place stands on one line beside its label
    EXPECT_LT(view->secrets().height(), 2 * view->secrets().fontMetrics().height());
}

TEST_F(SettingsTest, PhoneSwitchWaitsForAPairedPhoneIsStoredAndTheSectionFollowsThePhones)
{
    const auto view = settingsView();
    QCheckBox& smsCodes = view->phone()->smsCodes();
    EXPECT_FALSE(smsCodes.isEnabled());
    EXPECT_FALSE(smsCodes.isChecked());

    const PhoneService paired{PhoneService::Daemon::running, {PairedPhone{"a", "Pixel 7", true, true, true}}};
    phones.setService(paired);
    EXPECT_TRUE(smsCodes.isEnabled());
    EXPECT_TRUE(smsCodes.isChecked());
    EXPECT_EQ(view->phone()->status().text(), "✔ Pixel 7 is paired and reachable.");

    smsCodes.click();
    EXPECT_FALSE(state->smsCodes());
    EXPECT_EQ(settings.value("smsCodes"), QVariant(false));
    phones.setService({PhoneService::Daemon::notRunning, {}});
    EXPECT_FALSE(smsCodes.isEnabled());
    EXPECT_TRUE(view->phone()->status().text().startsWith("KDE Connect is not running."));
    phones.setService(paired);
    EXPECT_FALSE(smsCodes.isChecked()) << "the phone coming back leaves the switch as the user set it";
}

} // namespace
} // namespace tessary::test
