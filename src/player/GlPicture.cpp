#include "player/GlPicture.h"

#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWindow>

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

namespace {

// OpenGL drawn by the processor (Mesa's llvmpipe under Xvfb or without a graphics driver): there
// libmpv's OpenGL renderer costs about three times its software renderer at full screen.
bool drawnByProcessor(QOpenGLContext &context)
{
    const auto *name = reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
    const QByteArray renderer = QByteArray(name ? name : "").toLower();
    for (const char *software : {"llvmpipe", "softpipe", "software rasterizer", "swrast", "swiftshader"})
        if (renderer.contains(software))
            return true;
    return false;
}

} // namespace

std::unique_ptr<GlPicture> GlPicture::create()
{
    const QString choice = qEnvironmentVariable("HALCYRIX_PICTURE");
    // The offscreen and minimal platforms show nothing on a screen: no driver is loaded for them.
    const QString platform = QGuiApplication::platformName();
    if (choice == QLatin1String("software") || !qGuiApp || platform == QLatin1String("offscreen") ||
        platform == QLatin1String("minimal"))
        return nullptr;
    std::unique_ptr<GlPicture> gl(new GlPicture);
    gl->m_context = std::make_unique<QOpenGLContext>();
    if (!gl->m_context->create())
        return nullptr;
    gl->m_surface = std::make_unique<QOffscreenSurface>();
    gl->m_surface->setFormat(gl->m_context->format());
    gl->m_surface->create();
    if (!gl->m_surface->isValid() || !gl->makeCurrent())
        return nullptr;
    if (choice != QLatin1String("opengl") && drawnByProcessor(*gl->m_context))
        return nullptr;
    return gl;
}

GlPicture::~GlPicture()
{
    if (m_context && m_surface && makeCurrent()) {
        dropTarget();
        m_context->doneCurrent();
    }
}

bool GlPicture::makeCurrent()
{
    return m_context->makeCurrent(m_surface.get());
}

bool GlPicture::makeCurrent(QWindow *window)
{
    return window && window->handle() && m_context->makeCurrent(window);
}

void GlPicture::prepareWindow(QWindow *window) const
{
    window->setSurfaceType(QSurface::OpenGLSurface);
    window->setFormat(m_context->format());
}

void GlPicture::dropTarget()
{
    QOpenGLFunctions *f = m_context->functions();
    if (m_fbo)
        f->glDeleteFramebuffers(1, &m_fbo);
    if (m_colour)
        f->glDeleteTextures(1, &m_colour);
    m_fbo = m_colour = 0;
    m_targetSize = QSize();
}

unsigned GlPicture::offscreenTarget(QSize size)
{
    if (size == m_targetSize && m_fbo)
        return m_fbo;
    dropTarget();
    QOpenGLFunctions *f = m_context->functions();
    f->glGenTextures(1, &m_colour);
    f->glBindTexture(GL_TEXTURE_2D, m_colour);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size.width(), size.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    f->glBindTexture(GL_TEXTURE_2D, 0);
    f->glGenFramebuffers(1, &m_fbo);
    f->glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
    f->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_colour, 0);
    const bool complete = f->glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    f->glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete) {
        dropTarget();
        return 0;
    }
    m_targetSize = size;
    return m_fbo;
}

bool GlPicture::readBack(QImage &image)
{
    if (!m_fbo || image.size() != m_targetSize || image.format() != QImage::Format_RGB32)
        return false;
    QOpenGLFunctions *f = m_context->functions();
    f->glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
    f->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    // Format_RGB32 holds B, G, R, 0xff in memory on little-endian machines; OpenGL ES only
    // promises RGBA, so there the channels are swapped afterwards.
    const bool bgra = !m_context->isOpenGLES() && QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    f->glReadPixels(0, 0, image.width(), image.height(), bgra ? GL_BGRA : GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    f->glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!bgra)
        image = std::move(image).rgbSwapped();
    return f->glGetError() == GL_NO_ERROR;
}

void *GlPicture::procAddress(void *ctx, const char *name)
{
    auto *self = static_cast<GlPicture *>(ctx);
    return reinterpret_cast<void *>(self->m_context->getProcAddress(QByteArray(name)));
}
