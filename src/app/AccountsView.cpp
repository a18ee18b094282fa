#include "app/AccountsView.h"

#include "app/AppContext.h"
#include "app/IMAPSheet.h"
#include "app/Look.h"
#include "state/AppState.h"
#include "state/InboxConnection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tessary {

namespace {

// A small drawing of the provider: an envelope for mail services, a rack for a mail server.
QString providerSymbol(const QString& provider)
{
    return provider == QLatin1String("imap") ? QStringLiteral("▤") : QStringLiteral("✉");
}

} // namespace

QString removalTitle(const Account& account)
{
    return QStringLiteral("Remove ") + account.email.value_or(QStringLiteral("this inbox")) +
           QLatin1Char('?');
}

AccountsView::AccountsView(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_rows(new QWidget(this))
    , m_gmail(new QPushButton(QStringLiteral("Gmail"), this))
    , m_outlook(new QPushButton(QStringLiteral("Outlook"), this))
    , m_other(new QToolButton(this))
    , m_progress(look::label({}, 12, look::secondary, this, true))
    , m_cancelSignIn(new QPushButton(QStringLiteral("Cancel"), this))
    , m_error(look::label({}, 12, look::red, this, true))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(m_rows);
    m_addRow = new QHBoxLayout;
    m_addRow->setSpacing(8);
    m_addRow->addWidget(m_gmail);
    m_addRow->addWidget(m_outlook);
    m_other->setText(QStringLiteral("Other…"));
    m_other->setPopupMode(QToolButton::InstantPopup);
    auto* presets = new QMenu(m_other);
    for (const IMAPPreset& preset : IMAPPreset::all())
        presets->addAction(preset.name, this, [this, preset] { openSheet(preset); });
    m_other->setMenu(presets);
    m_addRow->addWidget(m_other);
    m_addRow->addStretch(1);
    column->addLayout(m_addRow);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_error->setObjectName(QStringLiteral("error"));
    m_cancelSignIn->setObjectName(QStringLiteral("cancelSignIn"));
    m_cancelSignIn->setFlat(true);
    m_cancelSignIn->setCursor(Qt::PointingHandCursor);
    m_cancelSignIn->setFont(look::font(this, 12));
    look::setColour(m_cancelSignIn, look::accent);
    auto* progressRow = new QHBoxLayout;
    progressRow->setSpacing(8);
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_cancelSignIn);
    column->addLayout(progressRow);
    column->addWidget(m_error);

    connect(m_gmail, &QPushButton::clicked, this,
            [this] { m_context.inbox.connectProvider(QStringLiteral("gmail")); });
    connect(m_outlook, &QPushButton::clicked, this,
            [this] { m_context.inbox.connectProvider(QStringLiteral("outlook")); });
    connect(m_cancelSignIn, &QPushButton::clicked, this, [this] { m_context.inbox.cancelConnect(); });
    connect(&m_context.state, &AppState::accountsChanged, this, &AccountsView::rebuildRows);
    connect(&m_context.state, &AppState::connectingChanged, this, &AccountsView::refresh);
    connect(&m_context.state, &AppState::errorChanged, this, &AccountsView::refresh);
    rebuildRows();
    refresh();
}

void AccountsView::centerAddButtons()
{
    m_addRow->insertStretch(0, 1);
}

IMAPSheet* AccountsView::sheet() const
{
    return m_sheet;
}

QMessageBox* AccountsView::removal() const
{
    return m_removal;
}

void AccountsView::openSheet(const IMAPPreset& preset)
{
    if (m_sheet)
        m_sheet->reject();
    m_sheet = new IMAPSheet(preset, m_context.state, m_context.inbox, m_context.openUrl, this);
    m_sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_sheet->open();
}

void AccountsView::confirmRemoval(const Account& account)
{
    m_removal = new QMessageBox(QMessageBox::Warning, removalTitle(account), removalTitle(account),
                                QMessageBox::Cancel, this);
    m_removal->setInformativeText(QStringLiteral("Tessary will stop reading codes from it."));
    QPushButton* remove = m_removal->addButton(QStringLiteral("Remove"), QMessageBox::DestructiveRole);
    m_removal->setDefaultButton(QMessageBox::Cancel);
    m_removal->setAttribute(Qt::WA_DeleteOnClose);
    connect(remove, &QPushButton::clicked, this,
            [this, id = account.id] { m_context.inbox.removeAccount(id); });
    m_removal->open();
}

void AccountsView::rebuildRows()
{
    for (QWidget* child : m_rows->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->hide();
        child->setParent(nullptr);
        child->deleteLater();
    }
    delete m_rows->layout();
    auto* column = new QVBoxLayout(m_rows);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    for (const Account& account : m_context.state.accounts()) {
        auto* row = new QWidget(m_rows);
        row->setObjectName(QStringLiteral("account"));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        auto* symbol = look::label(providerSymbol(account.provider), 15, look::secondary, row);
        symbol->setObjectName(QStringLiteral("symbol"));
        symbol->setFixedWidth(18);
        line->addWidget(symbol);
        auto* lines = new QVBoxLayout;
        lines->setSpacing(1);
        auto* first = new ElidedLabel(account.email.value_or(account.providerName()), row);
        first->setFont(look::font(first, 13));
        first->setToolTip(account.email.value_or(QString()));
        first->setObjectName(QStringLiteral("first"));
        const bool active = account.status == QLatin1String("active");
        auto* second = look::label(active ? account.providerName()
                                          : account.error.value_or(QStringLiteral("Waiting for sign-in…")),
                                   11, look::secondary, row, true);
        second->setObjectName(QStringLiteral("second"));
        lines->addWidget(first);
        lines->addWidget(second);
        line->addLayout(lines, 1);
        auto* remove = new QToolButton(row);
        remove->setObjectName(QStringLiteral("remove"));
        remove->setText(QStringLiteral("⊖"));
        remove->setAutoRaise(true);
        remove->setToolTip(QStringLiteral("Remove"));
        connect(remove, &QToolButton::clicked, this, [this, account] { confirmRemoval(account); });
        line->addWidget(remove);
        column->addWidget(row);
    }
    m_rows->setVisible(!m_context.state.accounts().isEmpty());
}

void AccountsView::refresh()
{
    const std::optional<QString>& connecting = m_context.state.connecting();
    m_gmail->setEnabled(!connecting);
    m_outlook->setEnabled(!connecting);
    if (connecting) {
        const QString provider =
            *connecting == QLatin1String("gmail") ? QStringLiteral("Google") : QStringLiteral("Microsoft");
        m_progress->setText(QStringLiteral("Finish signing in to ") + provider +
                            QStringLiteral(" in your browser…"));
    }
    m_progress->setVisible(connecting.has_value());
    m_cancelSignIn->setVisible(connecting.has_value());
    m_error->setText(m_context.state.error().value_or(QString()));
    m_error->setVisible(m_context.state.error().has_value());
}

} // namespace tessary
