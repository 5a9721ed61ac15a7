// How the player draws its picture: libmpv's render context, in software into an image, or with
// OpenGL in a context of the player's own, into an image or straight onto a window.
#include "player/Player.h"

#include "player/GlPicture.h"
#include "player/MpvLibrary.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWindow>

namespace {

// libmpv waits at this point of every opening (the tracks are known, no decoder runs yet) so that
// the way pictures are drawn can be chosen before the first one is.
constexpr const char *kPreloadedHook = "on_preloaded";

} // namespace

void Player::createSoftwareRenderer()
{
    // The picture element draws the frames itself, in software, on any Qt platform.
    char apiType[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType}, {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (m_lib->render_context_create(&m_render, m_mpv, params) < 0) {
        m_render = nullptr;
        qWarning("player: the picture cannot be drawn");
        return;
    }
    watchRenderer();
    // Pictures may be drawn with OpenGL instead; that is decided when the first one comes.
    if (!m_glTried)
        m_lib->hook_add(m_mpv, 0, kPreloadedHook, 0);
}

void Player::watchRenderer()
{
    m_lib->render_context_set_update_callback(
        m_render,
        [](void *ctx) {
            auto *self = static_cast<Player *>(ctx);
            QMetaObject::invokeMethod(
                self, [self] { emit self->frameReady(); }, Qt::QueuedConnection);
        },
        this);
}

void Player::handle(const MpvEvents::Hook &hook)
{
    if (hook.name == kPreloadedHook && !m_glTried && m_render && streamHasPicture())
        useOpenGL();
    m_lib->hook_continue(m_mpv, hook.id);
}

bool Player::streamHasPicture() const
{
    const int tracks = mpvProperty(QStringLiteral("track-list/count")).toInt();
    for (int i = 0; i < tracks; ++i) {
        const QString track = QStringLiteral("track-list/%1/").arg(i);
        if (mpvProperty(track + QStringLiteral("type")) == QLatin1String("video") &&
            mpvProperty(track + QStringLiteral("albumart")) != QLatin1String("yes"))
            return true;
    }
    return false;
}

// Moves the drawing to OpenGL, once, for the first stream with a moving picture: radio listening
// never loads the OpenGL driver. Where OpenGL cannot be used, or is itself drawn by the processor,
// the software path stays.
void Player::useOpenGL()
{
    m_glTried = true;
    std::unique_ptr<GlPicture> gl = GlPicture::create();
    if (!gl)
        return;
    mpv_opengl_init_params init{&GlPicture::procAddress, gl.get()};
    char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
    QList<mpv_render_param> params = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                                      {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init}};
    // The display lets libmpv hand hardware-decoded frames to OpenGL without copying them.
#if QT_CONFIG(xcb)
    if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        params.append({MPV_RENDER_PARAM_X11_DISPLAY, x11->display()});
#endif
    params.append({MPV_RENDER_PARAM_INVALID, nullptr});

    // libmpv holds one render context at a time; no picture has been drawn with this one yet.
    m_lib->render_context_free(m_render);
    m_render = nullptr;
    if (m_lib->render_context_create(&m_render, m_mpv, params.data()) < 0) {
        qWarning("player: OpenGL cannot draw the picture; it is drawn in software");
        m_render = nullptr;
        gl.reset();
        createSoftwareRenderer();
        return;
    }
    m_gl = std::move(gl);
    watchRenderer();
    // Hardware decoding where the machine offers it; libmpv decodes in software otherwise.
    m_lib->set_property_string(m_mpv, "hwdec", "auto-safe");
}

bool Player::renderFrame(QImage &image)
{
    if (!m_render || !m_hasVideo || image.isNull() || image.format() != QImage::Format_RGB32)
        return false;
    m_lib->render_context_update(m_render);
    if (m_gl) {
        if (!m_gl->makeCurrent())
            return false;
        const unsigned fbo = m_gl->offscreenTarget(image.size());
        if (!fbo)
            return false;
        mpv_opengl_fbo target{int(fbo), image.width(), image.height(), 0};
        int flip = 1; // the image's first row is read from the framebuffer's bottom
        mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                     {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        return m_lib->render_context_render(m_render, params) >= 0 && m_gl->readBack(image);
    }
    int size[2] = {image.width(), image.height()};
    size_t stride = size_t(image.bytesPerLine());
    char format[] = "bgr0"; // QImage::Format_RGB32 in memory on little-endian machines
    if (QSysInfo::ByteOrder == QSysInfo::BigEndian)
        format[0] = '0', format[1] = 'r', format[2] = 'g', format[3] = 'b';
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                 {MPV_RENDER_PARAM_SW_FORMAT, format},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, image.bits()},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    return m_lib->render_context_render(m_render, params) >= 0;
}

void Player::prepareWindow(QWindow *window) const
{
    if (m_gl)
        m_gl->prepareWindow(window);
}

bool Player::renderFrame(QWindow *window)
{
    if (!m_gl || !m_render || !m_gl->makeCurrent(window))
        return false;
    QOpenGLContext *context = m_gl->context();
    const qreal ratio = window->devicePixelRatio();
    const int width = qRound(window->width() * ratio);
    const int height = qRound(window->height() * ratio);
    if (m_hasVideo) {
        m_lib->render_context_update(m_render);
        mpv_opengl_fbo target{int(context->defaultFramebufferObject()), width, height, 0};
        int flip = 1; // a window's framebuffer counts its rows from the bottom
        mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                     {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        m_lib->render_context_render(m_render, params);
    } else {
        QOpenGLFunctions *f = context->functions();
        f->glViewport(0, 0, width, height);
        f->glClearColor(0, 0, 0, 1);
        f->glClear(GL_COLOR_BUFFER_BIT);
    }
    context->swapBuffers(window);
    return true;
}

void Player::showOnPicture(const QString &text, int milliseconds)
{
    if (!m_mpv || text.isEmpty())
        return;
    // An argument list is taken as it stands: a title's "${…}" is never expanded, and libmpv
    // shows the text as text, never as subtitle markup.
    const QByteArray utf8 = text.toUtf8();
    const QByteArray duration = QByteArray::number(milliseconds);
    const char *cmd[] = {"show-text", utf8.constData(), duration.constData(), nullptr};
    m_lib->command_async(m_mpv, 0, cmd);
}
