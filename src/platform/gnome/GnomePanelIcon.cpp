#include "platform/gnome/GnomePanelIcon.h"

#include "platform/gnome/GnomeShell.h"

#include <QCoro/QCoroTimer>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <chrono>

namespace tessary {

namespace {

using namespace std::chrono_literals;

// The top bar's icons are 16 logical pixels square.
constexpr int iconSize = 16;

// GNOME's top bar is dark: a dark drawing, made for light trays, is shown in its negative there.
QImage forDarkBar(const QImage& drawing)
{
    QImage image = drawing.convertToFormat(QImage::Format_ARGB32);
    qint64 grey = 0;
    qint64 cover = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            grey += qint64(qGray(pixel)) * qAlpha(pixel);
            cover += qAlpha(pixel);
        }
    if (cover > 0 && grey / cover < 96)
        image.invertPixels(QImage::InvertRgb);
    return image;
}

} // namespace

GnomePanelIcon::GnomePanelIcon(std::shared_ptr<GnomeShell> shell)
    : m_shell(std::move(shell))
{
    connect(m_shell.get(), &GnomeShell::panelIconClicked, this, [this](QRect icon) {
        m_geometry = icon;
        emit clicked();
    });
    connect(m_shell.get(), &GnomeShell::returned, this, [this] {
        if (!m_image.isNull())
            m_shell->showPanelIcon(m_image);
    });
}

GnomePanelIcon::~GnomePanelIcon()
{
    m_shell->hidePanelIcon();
}

void GnomePanelIcon::show(const QIcon& icon, const QString&)
{
    const qreal scale = qApp->devicePixelRatio();
    m_image = forDarkBar(icon.pixmap(QSize(iconSize, iconSize), scale).toImage());
    m_shell->showPanelIcon(m_image);
}

void GnomePanelIcon::place(QWidget& window, QPoint topLeft)
{
    QCoro::connect(moveOnceShown(window.windowTitle(), topLeft), this, [] {});
}

// The window reaches the shell a moment after it is shown: ask until the shell knows it, for at
// most half a second (a window the shell never sees stays where the shell put it).
QCoro::Task<> GnomePanelIcon::moveOnceShown(QString title, QPoint topLeft)
{
    const QPointer<GnomePanelIcon> self(this);
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (!self || co_await m_shell->moveWindow(title, topLeft))
            co_return;
        QTimer timer;
        timer.start(25ms);
        co_await timer;
    }
}

} // namespace tessary
