#pragma once

#include "common/Cancellation.h"
#include "state/IMAPPreset.h"

#include <QCoro/QCoroTask>
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tessary {

class AppState;
class InboxConnection;

// The small form that adds an IMAP inbox: address, app password and, for a custom server, its
// host. Made afresh for each preset chosen, so nothing typed survives closing it.
class IMAPSheet : public QDialog {
    Q_OBJECT
public:
    IMAPSheet(IMAPPreset preset, AppState& state, InboxConnection& inbox,
              std::function<void(const QUrl&)> openUrl, QWidget* parent = nullptr);

    QLineEdit& email() const { return *m_email; }
    QLineEdit& password() const { return *m_password; }
    QLineEdit* host() const { return m_host; } // only for the "other" preset
    QPushButton& addButton() const { return *m_add; }
    bool working() const { return m_working; }

private:
    QCoro::Task<> add();
    void refresh();

    IMAPPreset m_preset;
    AppState& m_state;
    InboxConnection& m_inbox;
    bool m_working = false;
    bool m_tried = false; // the inbox's last error is this sheet's only once it has tried an add
    CancelToken m_cancel = makeCancelToken(); // a closed sheet abandons its add
    QLineEdit* m_email;
    QLineEdit* m_password;
    QLineEdit* m_host = nullptr;
    QLabel* m_error;
    QPushButton* m_add;
};

// Spaces and tabs off both ends; other white space stays.
QString trimSpacesAndTabs(const QString& text);

} // namespace tessary
