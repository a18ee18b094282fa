#include "FakeImapServer.h"

#include "server/HostLookup.h"
#include "server/MailService.h"
#include "server/MessageCache.h"
#include "server/SqliteStorage.h"

#include <QDir>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

using namespace tessary;
using namespace tessary::server;
using namespace tessary::test;
using namespace std::chrono;

namespace {

const QByteArray mail = "From: Shop <no-reply@shop.example>\r\nSubject: Code\r\n\r\nYour code is 4242.\r\n";

// An honest server whose inbox is empty until mail 1 arrives during IDLE.
QByteArray honest(const QByteArray& tag, const QByteArray& command)
{
    const QByteArray verb = command.toUpper();
    const QByteArray ok = tag + " OK done\r\n";
    if (verb.startsWith("UID FETCH") && verb.contains("BODY"))
        return "* 1 FETCH (UID 1 " + FakeImapServer::arrivedNow() + " BODY[]<0> {" +
               QByteArray::number(mail.size()) + "}\r\n" + mail + ")\r\n" + ok;
    if (verb.startsWith("UID FETCH"))
        return "* 1 FETCH (UID 1 " + FakeImapServer::arrivedNow() + ")\r\n" + ok;
    return FakeImapServer::honestEmptyInbox(tag, command);
}

// The same server, except for the commands starting with `verb`.
FakeImapServer::Script except(const QByteArray& verb, QByteArray answer)
{
    return [verb, answer](const QByteArray& tag, const QByteArray& command) {
        return command.toUpper().startsWith(verb) ? answer : honest(tag, command);
    };
}

const WatchTimings quick{milliseconds(300), milliseconds(10), milliseconds(50)};

ImapSettings settingsFor(const FakeImapServer& server, int timeoutMs = 500)
{
    ImapSettings settings;
    settings.trustedCaFile = server.certificateFile();
    settings.routes.insert(FakeImapServer::hostName, ImapRoute{QStringLiteral("127.0.0.1"), server.port()});
    settings.connectTimeoutMs = settings.commandTimeoutMs = timeoutMs;
    return settings;
}

// What a mail service stands on, beside a fake server: storage in a temp folder, a key, a cache.
struct MailServices {
    QTemporaryDir data;
    std::unique_ptr<SqliteStorage> storage = SqliteStorage::open(data.filePath("backend.sqlite")).value();
    const CredentialCipher cipher{QByteArray(CredentialCipher::keySize, 'k')};
    MessageCache cache;
};

} // namespace

// Each server breaks the rules its own way. Whatever it sends, the watcher holds no more than the
// limits, drops the connection, and once connections keep failing the inbox says why; a server
// that merely does something IMAP allows gets its mail read.
TEST(HostileImapServer, EachMisbehaviourEndsTheConnectionAndIsReportedOnTheInbox)
{
    const QString host = FakeImapServer::hostName;
    const QString closed = QStringLiteral("%1 closed the connection").arg(host);
    const QString silent = QStringLiteral("%1 stopped answering").arg(host);
    const QString tooMuch = QStringLiteral("%1 sent more data than a mailbox needs").arg(host);
    auto wentSilent = std::make_shared<std::atomic<bool>>(false);
    struct Row {
        const char* name;
        FakeImapServer::Script script;
        std::optional<QString> problem; // nothing: the mail is read and the inbox stays well
        int timeoutMs = 500;            // for a command; a sanitizer build parses far slower
    };
    const Row rows[] = {
        {"closes the connection at SELECT", except("SELECT", FakeImapServer::closeConnection), closed},
        {"accepts and never greets",
         [](const QByteArray& tag, const QByteArray& command) {
             return tag.isEmpty() ? QByteArray() : honest(tag, command);
         },
         silent},
        {"sends a line that never ends", except("SELECT", QByteArray(5 * 1024 * 1024, 'x')), tooMuch},
        {"announces a literal larger than any message", except("SELECT", "* OK {999999999}\r\n"), tooMuch},
        {"answers with millions of one-letter values, within the bytes allowed",
         except("SELECT", ("* " + QByteArray("a ").repeated(1 << 19) + "\r\n").repeated(3)), tooMuch, 30'000},
        {"floods untagged data while idling",
         except("IDLE",
                "+ idling\r\n" + FakeImapServer::endless(QByteArray("* 1 RECENT\r\n").repeated(1000))),
         tooMuch},
        {"goes silent in IDLE and stays so",
         [wentSilent](const QByteArray& tag, const QByteArray& command) {
             if (command.toUpper() == "DONE")
                 wentSilent->store(true);
             return wentSilent->load() ? QByteArray() : honest(tag, command);
         },
         silent},
        {"leaves a response code open and tells of new mail before its continuation",
         [](const QByteArray& tag, const QByteArray& command) {
             const QByteArray open = command.toUpper().startsWith("SELECT") ? "* OK [UIDVALIDITY \r\n" : "";
             return open + except("IDLE", "* 1 EXISTS\r\n+ idling\r\n")(tag, command);
         },
         std::nullopt},
        {"holds a busy day's mail and, as dovecot does, reads no command line over 64 KB",
         [](const QByteArray& tag, const QByteArray& command) {
             QByteArray found = "* SEARCH";
             for (int uid = 1; uid <= 15000; ++uid)
                 found += ' ' + QByteArray::number(uid);
             return command.size() > 64 * 1024         ? tag + " BAD Too long argument\r\n"
                    : command.startsWith("UID SEARCH") ? found + "\r\n" + tag + " OK done\r\n"
                                                       : honest(tag, command);
         },
         std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeImapServer server(row.script);
        ASSERT_TRUE(server.isReady());
        MessageCache cache;
        std::mutex mutex;
        std::optional<QString> problem;
        const QString account = QStringLiteral("inbox");
        WatcherLoops loops(1);
        InboxWatcher watcher(loops, WatchedInbox{account, "imap", host, "you@fake.example", "app-password"},
                             settingsFor(server, row.timeoutMs), cache, quick, SecretKeeper{},
                             RefusalReporter{}, [&](const WatchedInbox&, std::optional<QString> reported) {
                                 std::lock_guard lock(mutex);
                                 problem = std::move(reported);
                             });
        const auto reported = [&] {
            std::lock_guard lock(mutex);
            return problem;
        };
        const auto taken = [&] { return cache.since({account}, 0).size(); };
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return row.problem ? reported() == row.problem : taken() > 0; }, 20'000));
        EXPECT_EQ(reported(), row.problem);
        EXPECT_EQ(taken(), row.problem ? 0 : 1);
        // Once reported, the mail lists say why too, through every later attempt to connect.
        int quiet = 0;
        for (int look = 0; look < 200 && row.problem; ++look, std::this_thread::sleep_for(milliseconds(5)))
            quiet += !cache.problem({account});
        EXPECT_EQ(quiet, 0) << "looks out of 200 in which a mail list would read as \"no mail\"";
    }
}

// Removing an inbox ends its watcher at once wherever it waits: for an answer the server still
// owes, in IDLE, in the pause before it connects again, or for a sign-in service's fresh access
// token, instead of at the wait's deadline. A request to the sign-in service ends with it.
TEST(HostileImapServer, AWatcherStopsWithoutWaitingForASilentServer)
{
    QTcpServer silentTokenService; // takes connections and never answers
    ASSERT_TRUE(silentTokenService.listen(QHostAddress::LocalHost));
    struct Row {
        const char* name;
        QByteArray reachedBy; // the command after which the watcher waits; empty: the greeting
        FakeImapServer::Script script;
        bool signsInWithOAuth = false; // reached once the token service has a connection
    };
    const Row rows[] = {
        {"waiting for the greeting", {}, [](const QByteArray&, const QByteArray&) { return QByteArray(); }},
        {"idling", "IDLE", honest},
        {"pausing before it connects again", "SELECT", except("SELECT", FakeImapServer::closeConnection)},
        {"waiting for a fresh access token", {}, honest, true},
    };
    const WatchTimings patient{minutes(10), minutes(10), minutes(10)};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto reached = std::make_shared<std::atomic<bool>>(row.reachedBy.isEmpty() && !row.signsInWithOAuth);
        FakeImapServer server([&row, reached](const QByteArray& tag, const QByteArray& command) {
            if (!row.reachedBy.isEmpty() && command.toUpper().startsWith(row.reachedBy))
                reached->store(true);
            return row.script(tag, command);
        });
        ASSERT_TRUE(server.isReady());
        ImapSettings settings = settingsFor(server, 60000);
        OAuthProvider& gmail = settings.oauth["gmail"];
        gmail.clientId = "client";
        gmail.tokenUrl = QStringLiteral("http://127.0.0.1:%1/token").arg(silentTokenService.serverPort());
        gmail.imapHost = FakeImapServer::hostName;
        MessageCache cache;
        WatcherLoops loops(1);
        auto watcher = std::make_unique<InboxWatcher>(
            loops,
            WatchedInbox{"inbox", row.signsInWithOAuth ? "gmail" : "imap", FakeImapServer::hostName,
                         "you@fake.example", "secret"},
            settings, cache, patient);
        if (row.signsInWithOAuth)
            reached->store(silentTokenService.waitForNewConnection(10000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return reached->load(); }, 10'000));
        std::this_thread::sleep_for(milliseconds(500)); // connected and waiting
        const auto stopping = steady_clock::now();
        watcher.reset();
        EXPECT_LT(steady_clock::now() - stopping, seconds(10)) << "well before the 60 s and 10 min deadlines";
        EXPECT_TRUE(QThreadPool::globalInstance()->waitForDone(10000))
            << "the token request outlived the stop";
    }
}

// Watchers share the loops' threads: fifty inboxes in IDLE add no thread of their own.
TEST(HostileImapServer, ManyWatchedInboxesShareAFewThreads)
{
    const auto threads = [] {
        return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    };
    auto idling = std::make_shared<std::atomic<int>>(0);
    FakeImapServer server([idling](const QByteArray& tag, const QByteArray& command) {
        if (command.toUpper() == "IDLE")
            ++*idling;
        return honest(tag, command);
    });
    ASSERT_TRUE(server.isReady());
    MessageCache cache;
    WatcherLoops loops(2);
    const qsizetype before = threads();
    constexpr int inboxes = 50;
    std::vector<std::unique_ptr<InboxWatcher>> watchers;
    for (int i = 0; i < inboxes; ++i)
        watchers.push_back(
            std::make_unique<InboxWatcher>(loops,
                                           WatchedInbox{QString::number(i), "imap", FakeImapServer::hostName,
                                                        "you@fake.example", "app-password"},
                                           settingsFor(server, 20000), cache, WatchTimings{minutes(10)}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return idling->load() >= inboxes; }, 30'000));
    EXPECT_LE(threads() - before, 2) << "not one per inbox";
}

// Adding inboxes that name a silent host ties up one HTTP worker per check until its deadline: a
// few checks run at once, and the rest are turned away at once instead of queueing for workers.
TEST(HostileImapServer, ChecksOfNewInboxesBeyondAFewAreTurnedAway)
{
    FakeImapServer server([](const QByteArray&, const QByteArray&) { return QByteArray(); });
    MailServices services;
    MailService mail(*services.storage, services.cipher, settingsFor(server, 2000), services.cache);
    std::vector<std::future<ImapResult<Done>>> checks;
    for (int i = 0; i < 9; ++i)
        checks.push_back(std::async(std::launch::async, [&] {
            return mail.verify(FakeImapServer::hostName, "you@fake.example", "app-password");
        }));
    int busy = 0;
    for (auto& check : checks)
        busy += check.get().error().kind == ImapError::Kind::busy;
    EXPECT_EQ(busy, 1);
}

// A backend others reach never connects to this machine or a private network, however the host is
// written (through NAT64 and 6to4 too), and says so before any connection could tell whether a
// port there is open. One that this machine alone reaches may, until it has served another
// machine; a host the configuration routes always may.
TEST(HostileImapServer, PrivateAddressesAreReachedOnlyForThisMachine)
{
    FakeImapServer server(honest);
    MailServices services;
    ImapSettings local = settingsFor(server, 2000);
    local.privateHosts = true;
    MailService hosted(*services.storage, services.cipher, settingsFor(server, 2000), services.cache);
    MailService embedded(*services.storage, services.cipher, local, services.cache);
    const auto refused = [](const MailService& mail, const char* host) {
        const auto verified = mail.verify(host, "you@fake.example", "app-password");
        return !verified && verified.error().kind == ImapError::Kind::privateAddress;
    };
    for (const char* host : {"localhost", "127.0.0.1", "127.1", "10.0.0.8", "172.16.5.4", "192.168.1.1",
                             "100.64.0.1", "169.254.169.254", "0.0.0.0", "::1", "::ffff:127.0.0.1", "fe80::1",
                             "fd00:ec2::254", "224.0.0.1", "64:ff9b::10.0.0.8", "2002:a9fe:a9fe::1"})
        EXPECT_TRUE(refused(hosted, host)) << host;
    EXPECT_TRUE(isPublicAddress(QHostAddress("64:ff9b::8.8.8.8")));
    EXPECT_FALSE(refused(embedded, "127.0.0.1"));
    EXPECT_TRUE(embedded.refusePrivateHosts());
    EXPECT_TRUE(refused(embedded, "127.0.0.1"));
    EXPECT_FALSE(hosted.refusePrivateHosts());
    EXPECT_TRUE(hosted.verify(FakeImapServer::hostName, "you@fake.example", "app-password"));
}
