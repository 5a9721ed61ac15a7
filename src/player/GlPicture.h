#pragma once

#include <QSize>

#include <memory>

class QImage;
class QOffscreenSurface;
class QOpenGLContext;
class QSurface;
class QWindow;

// An OpenGL context of the player's own, in which libmpv draws the picture: into a small
// framebuffer read back for the picture element in the main window, or straight onto a window
// made for it (the full-screen picture), as the mpv program itself draws. The main window never
// becomes an OpenGL window, so radio listening and start-up cost nothing of it.
class GlPicture
{
public:
    // Null when the platform offers no OpenGL, when its OpenGL is drawn by the processor rather
    // than a graphics chip (the software path then costs less), or when HALCYRIX_PICTURE=software
    // asks for the software path. HALCYRIX_PICTURE=opengl takes any OpenGL.
    static std::unique_ptr<GlPicture> create();
    ~GlPicture();

    QOpenGLContext *context() const { return m_context.get(); }
    // Current on its own offscreen surface, or on a window whose format is windowFormat().
    bool makeCurrent();
    bool makeCurrent(QWindow *window);
    // Prepares a window to be drawn on by this context.
    void prepareWindow(QWindow *window) const;

    // The framebuffer of the given size to draw an image into; 0 when none can be made.
    unsigned offscreenTarget(QSize size);
    // Reads the offscreen target back into an image of its size (Format_RGB32).
    bool readBack(QImage &image);

    // The OpenGL function look-up libmpv needs; ctx is the GlPicture.
    static void *procAddress(void *ctx, const char *name);

private:
    GlPicture() = default;
    void dropTarget();

    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<QOffscreenSurface> m_surface;
    unsigned m_fbo = 0;
    unsigned m_colour = 0;
    QSize m_targetSize;
};
