#pragma once

#include "desktop/screen/DesktopDriver.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

namespace tessary::test {

// Serves the files of one folder over HTTP on 127.0.0.1, on a port the system picks: Python's server
// in a process of its own, so a browser can load a page while the test's thread waits in an
// accessibility call; stopped by its pid.
class PageServer {
public:
    explicit PageServer(const QString& folder)
    {
        m_process.start("python3",
                        {"-u", "-m", "http.server", "--bind", "127.0.0.1", "--directory", folder, "0"});
        if (m_process.waitForReadyRead(10000))
            m_port = QRegularExpression(" port (\\d+) ").match(m_process.readLine()).captured(1).toInt();
    }
    ~PageServer() { stopChild(m_process); }

    // Every path asked for so far, with its query, in order: from the server's line per request.
    QStringList requested()
    {
        static const QRegularExpression get("\"GET (\\S+) ");
        for (const QString& line : QString::fromUtf8(m_process.readAllStandardError()).split('\n'))
            if (const QRegularExpressionMatch match = get.match(line); match.hasMatch())
                m_requested.append(match.captured(1));
        return m_requested;
    }

    QString url(const QString& page) const
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(page);
    }

private:
    QProcess m_process;
    int m_port = 0;
    QStringList m_requested;
};

} // namespace tessary::test
