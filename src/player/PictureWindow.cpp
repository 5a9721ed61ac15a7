#include "player/PictureWindow.h"

#include "app/AppInfo.h"
#include "player/Player.h"

#include <QBackingStore>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

PictureWindow::PictureWindow(Player *player, QScreen *screen)
    : m_player(player), m_openGL(player && player->drawsWithOpenGL())
{
    setObjectName(QStringLiteral("PictureWindow"));
    setTitle(App::title());
    setScreen(screen);
    setGeometry(screen->geometry());
    if (m_openGL)
        player->prepareWindow(this);
    else
        m_store = new QBackingStore(this);
    if (player)
        connect(player, &Player::frameReady, this, &PictureWindow::draw);
    // The picture goes black when the stream has none (between channels, say).
    if (player)
        connect(player, &Player::videoChanged, this, &PictureWindow::draw);
    m_pointerTimer.setSingleShot(true);
    m_pointerTimer.setInterval(kPointerHideMs);
    connect(&m_pointerTimer, &QTimer::timeout, this, [this] {
        m_pointerHidden = true;
        setCursor(Qt::BlankCursor);
    });
    m_pointerTimer.start();
}

PictureWindow::~PictureWindow()
{
    delete m_store;
}

void PictureWindow::draw()
{
    if (!isExposed() || !m_player)
        return;
    if (m_openGL) {
        m_player->renderFrame(this);
        return;
    }
    const QSize size = this->size() * devicePixelRatio();
    if (m_frame.size() != size)
        m_frame = QImage(size, QImage::Format_RGB32);
    const bool picture = m_player->renderFrame(m_frame);
    const QRect area(QPoint(0, 0), this->size());
    m_store->beginPaint(area);
    {
        QPainter painter(m_store->paintDevice());
        if (picture) {
            m_frame.setDevicePixelRatio(devicePixelRatio());
            painter.drawImage(0, 0, m_frame);
        } else {
            painter.fillRect(area, Qt::black);
        }
    }
    m_store->endPaint();
    m_store->flush(area);
}

void PictureWindow::exposeEvent(QExposeEvent *)
{
    draw();
}

void PictureWindow::resizeEvent(QResizeEvent *)
{
    if (m_store)
        m_store->resize(size());
    draw();
}

void PictureWindow::keyPressEvent(QKeyEvent *event)
{
    emit keyPressed(event);
}

void PictureWindow::mouseDoubleClickEvent(QMouseEvent *)
{
    emit doubleClicked();
}

void PictureWindow::mouseMoveEvent(QMouseEvent *)
{
    showPointer();
}

void PictureWindow::showPointer()
{
    if (m_pointerHidden) {
        m_pointerHidden = false;
        unsetCursor();
    }
    m_pointerTimer.start();
}
