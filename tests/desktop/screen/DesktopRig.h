#pragma once

#include "desktop/screen/DesktopDriver.h"

#include <QJsonDocument>

#include <memory>

namespace tessary::test {

// One kind of test desktop, driven with the tools it offers; DesktopDriver's functions hand their
// work to the rig the test runs in. Points and rectangles are top-left screen pixels.
class DesktopRig {
public:
    virtual ~DesktopRig() = default;

    virtual bool click(int x, int y) = 0;
    // A combination in xdotool's names ("super+shift+o", "ctrl+l", "Return").
    virtual bool pressKeys(const QString& combination) = 0;
    virtual QList<ShownWindow> shownWindows(qint64 pid) = 0;
    // A null image where the chip is a window of its own and no shot is needed.
    virtual QImage screenShot(const QRect& rect) = 0;
    // Input devices a headless compositor lacks, held from before the first browser or click on.
    virtual void holdDevices() {}
    // Shows `url` in the running browser `program`. Here: through the browser's own command, which
    // opens it in a tab (typed into the address bar, the first keys of a new virtual keyboard could
    // be lost and the address mistyped).
    virtual bool openInBrowser(const QString& program, const QString& url);
};

// The rig of this session, chosen as the product chooses its desktop.
DesktopRig& desktopRig();
std::unique_ptr<DesktopRig> makeX11Rig();
std::unique_ptr<DesktopRig> makeSwayRig();
std::unique_ptr<DesktopRig> makeKwinRig();
std::unique_ptr<DesktopRig> makeGnomeRig();

// The standard output of a short command, or nothing when it fails or takes longer than 10 s.
std::optional<QByteArray> output(const QString& program, const QStringList& arguments);
// Whether a short command succeeds within 10 s.
bool run(const QString& program, const QStringList& arguments);
// A short command's output read as JSON; an empty document when it fails.
QJsonDocument jsonOutput(const QString& program, const QStringList& arguments);

} // namespace tessary::test
