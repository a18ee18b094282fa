#include "app/IMAPSheet.h"

#include "app/Look.h"
#include "state/AppState.h"
#include "state/InboxConnection.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessary {

QString trimSpacesAndTabs(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

IMAPSheet::IMAPSheet(IMAPPreset preset, AppState& state, InboxConnection& inbox,
                     std::function<void(const QUrl&)> openUrl, QWidget* parent)
    : QDialog(parent)
    , m_preset(std::move(preset))
    , m_state(state)
    , m_inbox(inbox)
    , m_email(new QLineEdit(this))
    , m_password(new QLineEdit(this))
    , m_error(look::label({}, 12, look::red, this, true))
    , m_add(new QPushButton(QStringLiteral("Add"), this))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Add ") + m_preset.name);
    setFixedWidth(380);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(10);
    auto* title = look::label(QStringLiteral("Add ") + m_preset.name, 16, look::primary, this);
    title->setFont(look::font(this, 16, QFont::Bold));
    column->addWidget(title);
    if (m_preset.helpURL) {
        column->addWidget(look::label(
            m_preset.name + QStringLiteral(" needs an app-specific password, not your normal one."), 12,
            look::secondary, this, true));
        auto* how = new QPushButton(QStringLiteral("How to create one"), this);
        how->setFlat(true);
        how->setCursor(Qt::PointingHandCursor);
        how->setFont(look::font(this, 12));
        look::setColour(how, look::accent);
        connect(how, &QPushButton::clicked, this, [url = *m_preset.helpURL, openUrl] { openUrl(url); });
        column->addWidget(how, 0, Qt::AlignLeft);
    }
    auto* form = new QFormLayout;
    m_email->setObjectName(QStringLiteral("email"));
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Email"), m_email);
    form->addRow(QStringLiteral("App password"), m_password);
    if (m_preset.id == QLatin1String("other")) {
        m_host = new QLineEdit(this);
        m_host->setObjectName(QStringLiteral("host"));
        m_host->setPlaceholderText(QStringLiteral("IMAP server (imap.example.com)"));
        form->addRow(QStringLiteral("Server"), m_host);
    }
    column->addLayout(form);
    m_error->setObjectName(QStringLiteral("error"));
    column->addWidget(m_error);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);
    buttons->addWidget(cancel);
    m_add->setDefault(true);
    buttons->addWidget(m_add);
    column->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this] { m_cancel->cancel(); });
    connect(m_add, &QPushButton::clicked, this, [this] {
        if (m_add->isEnabled())
            add();
    });
    for (QLineEdit* field : {m_email, m_password, m_host})
        if (field)
            connect(field, &QLineEdit::textChanged, this, &IMAPSheet::refresh);
    connect(&m_state, &AppState::errorChanged, this, &IMAPSheet::refresh);
    refresh();
}

QCoro::Task<> IMAPSheet::add()
{
    m_working = true;
    m_tried = true;
    refresh();
    const QString email = trimSpacesAndTabs(m_email->text());
    const QString host = m_host ? trimSpacesAndTabs(m_host->text()) : m_preset.host;
    QPointer<IMAPSheet> self(this);
    InboxConnection& inbox = m_inbox;
    const bool added = co_await inbox.addIMAP(email, m_password->text(), host, m_cancel);
    if (!self)
        co_return;
    m_working = false;
    refresh();
    if (added)
        accept();
}

void IMAPSheet::refresh()
{
    const bool missing =
        m_email->text().isEmpty() || m_password->text().isEmpty() || (m_host && m_host->text().isEmpty());
    m_add->setEnabled(!m_working && !missing);
    m_add->setText(m_working ? QStringLiteral("Checking…") : QStringLiteral("Add"));
    const std::optional<QString> error = m_tried ? m_state.error() : std::nullopt;
    m_error->setText(error.value_or(QString()));
    m_error->setVisible(error.has_value());
}

} // namespace tessary
