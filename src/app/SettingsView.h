#pragma once

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace tessary {

struct AppContext;
class PhoneSection;
class ShortcutRecorder;

// The settings window's content: inboxes, filling, codes from the phone, a developer section in
// developer builds, and opening at login with accessibility. Every control is bound to the shared state;
// nothing is kept here.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    SettingsView(AppContext& context, std::function<void()> restartOnboarding, QWidget* parent = nullptr);

    // The section titles, top to bottom.
    QStringList sections() const;
    QCheckBox& openAtLogin() const { return *m_openAtLogin; }
    QLabel& loginError() const { return *m_loginError; }
    QLabel& granted() const { return *m_granted; }
    QPushButton& grant() const { return *m_grant; }
    QLabel& accessNote() const { return *m_accessNote; }
    QLabel& secrets() const { return *m_secrets; }
    ShortcutRecorder& recorder() const { return *m_recorder; }
    // None where no phone service is read.
    PhoneSection* phone() const { return m_phone; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    AppContext& m_context;
    QCheckBox* m_openAtLogin;
    QLabel* m_loginError;
    QLabel* m_granted;
    QPushButton* m_grant;
    QLabel* m_accessNote;
    bool m_accessFailed = false; // the note tells why access could not be turned on
    QLabel* m_secrets;
    ShortcutRecorder* m_recorder;
    PhoneSection* m_phone = nullptr;
};

} // namespace tessary
