#pragma once

#include "screen/Accessibility.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <chrono>
#include <optional>

namespace tessary::test {

class DovecotServer;

// The real `tessary` in a home folder of its own, as a user who has never run it: empty
// settings, an empty backend data folder whose backend.json trusts the test's dovecot and
// routes its host name there, no install token in the keyring. Its stderr (the burst log) is
// read as it arrives; it is stopped by its own pid when the object goes.
class TessaryApp {
public:
    explicit TessaryApp(const DovecotServer& dovecot);
    ~TessaryApp();
    TessaryApp(const TessaryApp&) = delete;
    TessaryApp& operator=(const TessaryApp&) = delete;

    // What onboarding leaves behind, without walking it: the inbox added to the embedded
    // backend (through tessary-inspect on the same home), its address remembered and setup done.
    bool finishSetup(const QString& user);
    void setSetting(const QString& key, const QVariant& value);
    QVariant setting(const QString& key) const;

    // Starts the application; extra environment entries come on top of the session's.
    bool start(const QStringList& environment = {});
    bool running() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }

    // Runs the event loop until a line of stderr holds `text`; that line, or nothing.
    std::optional<QString> waitForLine(const QString& text, std::chrono::milliseconds timeout);
    // Everything it wrote to stderr so far, for failure messages.
    std::string log();

    // The elements of its windows that are on screen, as the accessibility bus shows them.
    QList<Element> shown(Accessibility& accessibility);
    // Every title and value among them.
    QStringList texts(Accessibility& accessibility);
    // The element on screen with that name (and role, when given), and a click on its middle.
    std::optional<Element> find(Accessibility& accessibility, const QString& name,
                                std::optional<Role> role = std::nullopt);
    bool click(Accessibility& accessibility, const QString& name, std::optional<Role> role = std::nullopt);

private:
    QProcessEnvironment environment() const;
    void readLines();

    QTemporaryDir m_home;
    QProcess m_process;
    QStringList m_lines;
    qsizetype m_seen = 0;
};

// A plain-text mail as a mailer sends it, with a Message-ID of its own.
QByteArray mailFrom(const QString& sender, const QString& subject, const QString& body);
// The same with an HTML body holding one link.
QByteArray linkMailFrom(const QString& sender, const QString& subject, const QString& url,
                        const QString& linkText);

} // namespace tessary::test
