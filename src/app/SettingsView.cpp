#include "app/SettingsView.h"

#include "app/AccountsView.h"
#include "app/AppContext.h"
#include "app/Look.h"
#include "app/PhoneSection.h"
#include "app/ShortcutRecorder.h"
#include "state/AppState.h"
#include "state/InboxConnection.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessary {

namespace {

constexpr int formWidth = 440;
constexpr int formMargin = 20;

QGroupBox* section(const QString& title, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    // The window takes its size from its layout, which would shrink it to its widest row.
    box->setMinimumWidth(formWidth - 2 * formMargin);
    auto* column = new QVBoxLayout(box);
    column->setSpacing(10);
    return box;
}

// A row with its label on the left and its control on the right. A wrapping text takes the room
// the label leaves: left to its own guess of a width, it wraps even a short text in a narrow column.
QWidget* labelledRow(const QString& text, QWidget* control, QWidget* parent, bool controlWraps = false)
{
    auto* row = new QWidget(parent);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(new QLabel(text, row), controlWraps ? 0 : 1, Qt::AlignTop);
    line->addWidget(control, controlWraps ? 1 : 0, Qt::AlignTop);
    return row;
}

} // namespace

SettingsView::SettingsView(AppContext& context, std::function<void()> restartOnboarding, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_openAtLogin(new QCheckBox(QStringLiteral("Open at login"), this))
    , m_loginError(look::label({}, 11, look::red, this, true))
    , m_granted(look::label(QStringLiteral("Granted"), 13, look::green, this))
    , m_grant(new QPushButton(QStringLiteral("Grant…"), this))
    , m_accessNote(look::label({}, 11, look::secondary, this, true))
    , m_secrets(look::label({}, 13, look::secondary, this, true))
    , m_recorder(new ShortcutRecorder(context.state, this))
{
    AppState& state = context.state;
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(formMargin, formMargin, formMargin, formMargin);
    column->setSpacing(14);
    column->setSizeConstraint(QLayout::SetFixedSize);

    QGroupBox* inboxes = section(QStringLiteral("Inboxes"), this);
    inboxes->layout()->addWidget(new AccountsView(context, inboxes));
    column->addWidget(inboxes);

    QGroupBox* filling = section(QStringLiteral("Filling"), this);
    auto* autoFill =
        new QCheckBox(QStringLiteral("Fill automatically when the sender matches the site"), filling);
    autoFill->setChecked(state.autoFillOnMatch());
    connect(autoFill, &QCheckBox::toggled, &state, &AppState::setAutoFillOnMatch);
    filling->layout()->addWidget(autoFill);
    auto* deleteUsed = new QCheckBox(QStringLiteral("Delete code emails after use"), filling);
    deleteUsed->setChecked(state.deleteAfterUse());
    connect(deleteUsed, &QCheckBox::toggled, &state, &AppState::setDeleteAfterUse);
    filling->layout()->addWidget(deleteUsed);
    auto* deleteNote = look::label(QStringLiteral("Moves the email to Trash once its code or link is used."),
                                   11, look::secondary, filling, true);
    deleteNote->setContentsMargins(24, 0, 0, 0);
    filling->layout()->addWidget(deleteNote);
    filling->layout()->addWidget(labelledRow(QStringLiteral("Fill newest code"), m_recorder, filling));
    column->addWidget(filling);

    if (context.phones) {
        QGroupBox* phone = section(QStringLiteral("Phone"), this);
        m_phone = new PhoneSection(state, *context.phones, phone);
        phone->layout()->addWidget(m_phone);
        column->addWidget(phone);
    }

    if (context.developerBuild) {
        QGroupBox* developer = section(QStringLiteral("Developer"), this);
        auto* restart = new QPushButton(QStringLiteral("Restart onboarding"), developer);
        connect(restart, &QPushButton::clicked, this, [restartOnboarding] { restartOnboarding(); });
        developer->layout()->addWidget(labelledRow(QStringLiteral("Onboarding"), restart, developer));
        column->addWidget(developer);
    }

    QGroupBox* general = section(QStringLiteral("General"), this);
    // The entry is written on another thread: the switch shows the change asked for meanwhile, and
    // the state's answer (launchAtLoginChanged, also for a refused change) sets it after.
    connect(m_openAtLogin, &QCheckBox::clicked, &state, &AppState::setLaunchAtLogin);
    general->layout()->addWidget(m_openAtLogin);
    m_loginError->setObjectName(QStringLiteral("loginError"));
    m_loginError->setContentsMargins(24, 0, 0, 0); // in line with the checkbox's text
    general->layout()->addWidget(m_loginError);
    auto* access = new QWidget(general);
    auto* accessLine = new QHBoxLayout(access);
    accessLine->setContentsMargins(0, 0, 0, 0);
    accessLine->addWidget(m_granted);
    accessLine->addWidget(m_grant);
    general->layout()->addWidget(labelledRow(QStringLiteral("Accessibility"), access, general));
    m_accessNote->setObjectName(QStringLiteral("accessNote"));
    general->layout()->addWidget(m_accessNote);
    m_secrets->setObjectName(QStringLiteral("secrets"));
    m_secrets->setAlignment(Qt::AlignRight);
    QWidget* secretsRow = labelledRow(QStringLiteral("Token and key"), m_secrets, general, true);
    secretsRow->setVisible(bool(context.secretsLocation));
    general->layout()->addWidget(secretsRow);
    column->addWidget(general);

    connect(m_grant, &QPushButton::clicked, this, [this] {
        m_context.grantAccessibility(this, [this](const QString& note, bool failed) {
            m_accessNote->setText(note);
            m_accessFailed = failed;
            refresh();
        });
    });
    connect(&state, &AppState::launchAtLoginChanged, this, &SettingsView::refresh);
    connect(&state, &AppState::accessibilityChanged, this, &SettingsView::refresh);
    refresh();
}

QStringList SettingsView::sections() const
{
    QStringList titles;
    for (const QGroupBox* box : findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
        titles.append(box->title());
    return titles;
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The list may have changed elsewhere; a failed refresh leaves it as it was.
    m_context.inbox.refreshAccounts();
    // They may have moved since: a keyring unlocked, a token made.
    if (m_context.secretsLocation)
        QCoro::connect(m_context.secretsLocation(), this,
                       [this](const QString& where) { m_secrets->setText(where); });
}

void SettingsView::refresh()
{
    m_openAtLogin->setChecked(m_context.state.launchAtLogin());
    m_loginError->setText(m_context.state.launchAtLoginError().value_or(QString()));
    m_loginError->setVisible(m_context.state.launchAtLoginError().has_value());
    const bool granted = m_context.state.accessibility();
    m_granted->setVisible(granted);
    m_grant->setVisible(!granted);
    // Why access could not be turned on is old news once it is on, however that came.
    if (granted && m_accessFailed)
        m_accessNote->clear();
    m_accessNote->setVisible(!m_accessNote->text().isEmpty());
}

} // namespace tessary
