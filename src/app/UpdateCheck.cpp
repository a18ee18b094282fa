#include "app/UpdateCheck.h"

#include "app/UpdateFeed.h"
#include "common/SettingsStore.h"

#include <QMessageBox>
#include <QNetworkReply>

#include <chrono>
#include <memory>

namespace tessary {

namespace {
constexpr std::chrono::seconds feedTimeout{15};
constexpr std::chrono::hours day{24};
constexpr qint64 feedLimit = 1 << 20;
} // namespace

const QString UpdateCheck::defaultFeed = QStringLiteral("https://tessary.com/appcast.xml");

UpdateCheck::UpdateCheck(SettingsStore& settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
{
    m_daily.setInterval(day);
    connect(&m_daily, &QTimer::timeout, this, [this] { check(false); });
}

void UpdateCheck::checkNow()
{
    check(true);
}

void UpdateCheck::checkDaily()
{
    check(false);
    m_daily.start();
}

void UpdateCheck::check(bool answerAlways)
{
    const QString configured = m_settings.value(QStringLiteral("updateFeedURL")).toString();
    const QUrl feed(configured.isEmpty() ? defaultFeed : configured);
    QNetworkRequest request(feed);
    request.setTransferTimeout(int(std::chrono::milliseconds(feedTimeout).count()));
    QNetworkReply* reply = m_network.get(request);
    // The transfer timeout fires only when nothing arrives: a server that sends without end is cut
    // off once it has sent more than any feed holds, rather than fill memory.
    auto tooLarge = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::downloadProgress, this, [reply, tooLarge](qint64 received, qint64) {
        if (received > feedLimit && !*tooLarge) {
            *tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, answerAlways, tooLarge] {
        reply->deleteLater();
        if (*tooLarge) {
            if (answerAlways)
                report(QStringLiteral("Couldn't check for updates: the feed is larger than 1 MB."), true);
            return;
        }
        if (reply->error() != QNetworkReply::NoError) {
            if (answerAlways)
                report(QStringLiteral("Couldn't check for updates: %1").arg(reply->errorString()), true);
            return;
        }
        const auto newer = newerRelease(reply->read(feedLimit), QStringLiteral(TESSARY_VERSION));
        if (!newer) {
            if (answerAlways)
                report(QStringLiteral("Couldn't check for updates: %1.").arg(newer.error()), true);
        } else if (*newer) {
            report(QStringLiteral("Tessary %1 is available (you have %2).<br><a href=\"%3\">Download it</a>")
                       .arg((*newer)->version.toHtmlEscaped(), QStringLiteral(TESSARY_VERSION),
                            (*newer)->download.toString(QUrl::FullyEncoded).toHtmlEscaped()),
                   false);
        } else if (answerAlways) {
            report(QStringLiteral("Tessary %1 is up to date.").arg(QStringLiteral(TESSARY_VERSION)), false);
        }
    });
}

void UpdateCheck::report(const QString& text, bool isError)
{
    if (m_report)
        m_report->close();
    auto* box = new QMessageBox(isError ? QMessageBox::Warning : QMessageBox::Information,
                                QStringLiteral("Tessary"), text, QMessageBox::Ok);
    box->setTextFormat(Qt::RichText);
    box->setTextInteractionFlags(Qt::TextBrowserInteraction);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    m_report = box;
}

} // namespace tessary
