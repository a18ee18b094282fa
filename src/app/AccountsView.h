#pragma once

#include "backend/BackendApi.h"
#include "state/IMAPPreset.h"

#include <QPointer>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QMessageBox;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace tessary {

struct AppContext;
class IMAPSheet;

// The connected inboxes with the controls to add and remove them: Gmail and Outlook through a
// sign-in in the browser, any other provider through the IMAP sheet.
class AccountsView : public QWidget {
    Q_OBJECT
public:
    explicit AccountsView(AppContext& context, QWidget* parent = nullptr);

    // Opens the sheet for a preset, as the "Other…" menu does.
    void openSheet(const IMAPPreset& preset);
    // Asks to confirm removing an inbox, as its row's button does.
    void confirmRemoval(const Account& account);
    // Puts the add buttons in the middle, for a page whose text is centred.
    void centerAddButtons();

    IMAPSheet* sheet() const;
    QMessageBox* removal() const;
    QPushButton& gmail() const { return *m_gmail; }
    QPushButton& outlook() const { return *m_outlook; }
    QToolButton& other() const { return *m_other; }
    QLabel& progress() const { return *m_progress; }
    QPushButton& cancelSignIn() const { return *m_cancelSignIn; }
    QLabel& error() const { return *m_error; }
    QWidget& rows() const { return *m_rows; }

private:
    void rebuildRows();
    void refresh();

    AppContext& m_context;
    QWidget* m_rows;
    QPushButton* m_gmail;
    QPushButton* m_outlook;
    QToolButton* m_other;
    QHBoxLayout* m_addRow; // Gmail, Outlook and Other…
    QLabel* m_progress;
    QPushButton* m_cancelSignIn; // beside the progress, while a sign-in is waited for
    QLabel* m_error;
    QPointer<IMAPSheet> m_sheet;
    QPointer<QMessageBox> m_removal;
};

// "Remove user@example.com?", or "Remove this inbox?" for an inbox without an address.
QString removalTitle(const Account& account);

} // namespace tessary
