#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QMessageBox;

namespace tessary {

class SettingsStore;

// "Check for Updates": reads the release feed (settings key "updateFeedURL", else the product's
// own) and says that Tessary is up to date, or which version is available with its download
// link, or that the feed could not be read. Release builds also look once a day and speak up
// only when a newer version is out.
class UpdateCheck : public QObject {
    Q_OBJECT
public:
    explicit UpdateCheck(SettingsStore& settings, QObject* parent = nullptr);

    void checkNow();
    void checkDaily();

    static const QString defaultFeed;

private:
    void check(bool answerAlways);
    void report(const QString& text, bool isError);

    SettingsStore& m_settings;
    QNetworkAccessManager m_network;
    QTimer m_daily;
    QPointer<QMessageBox> m_report; // the one on the screen, if any
};

} // namespace tessary
