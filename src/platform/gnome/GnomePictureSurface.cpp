#include "platform/gnome/GnomePictureSurface.h"

#include "platform/gnome/GnomeShell.h"

namespace tessary {

GnomePictureSurface::GnomePictureSurface(std::shared_ptr<GnomeShell> shell)
    : m_shell(std::move(shell))
{
    QObject::connect(m_shell.get(), &GnomeShell::picturePointer, &m_context,
                     [this](const QString& kind, QPointF at, uint button) {
                         if (!m_shown)
                             return;
                         if (kind == QLatin1String("enter") && m_pointer.entered)
                             m_pointer.entered(at);
                         else if (kind == QLatin1String("motion") && m_pointer.moved)
                             m_pointer.moved(at);
                         else if ((kind == QLatin1String("press") || kind == QLatin1String("release")) &&
                                  button == 1 && m_pointer.button)
                             m_pointer.button(Qt::LeftButton, kind == QLatin1String("press"));
                         else if (kind == QLatin1String("leave") && m_pointer.left)
                             m_pointer.left();
                     });
    // The picture went with the extension; a new placement shows it again.
    QObject::connect(m_shell.get(), &GnomeShell::returned, &m_context, [this] { m_shown = false; });
}

GnomePictureSurface::~GnomePictureSurface()
{
    hide();
}

bool GnomePictureSurface::show(const QImage& image, QPoint topLeft)
{
    if (m_shell->missing())
        return false;
    m_shell->showPicture(image, topLeft);
    m_shown = true;
    return true;
}

void GnomePictureSurface::hide()
{
    if (m_shown)
        m_shell->hidePicture();
    m_shown = false;
}

} // namespace tessary
