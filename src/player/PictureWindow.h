#pragma once

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWindow>

class Player;
class QBackingStore;

// The picture alone on a whole screen: drawn by the player straight onto the window with OpenGL,
// or, on the software path, through a backing store. The mouse pointer hides after two seconds
// without movement. Keys and double clicks go to whoever shows the window.
class PictureWindow : public QWindow
{
    Q_OBJECT
public:
    static constexpr int kPointerHideMs = 2000;

    PictureWindow(Player *player, QScreen *screen);
    ~PictureWindow() override;

    bool pointerHidden() const { return m_pointerHidden; }

signals:
    void keyPressed(QKeyEvent *event);
    void doubleClicked();

protected:
    void exposeEvent(QExposeEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void draw();
    void showPointer();

    QPointer<Player> m_player;
    bool m_openGL = false;
    QBackingStore *m_store = nullptr;
    QImage m_frame;
    QTimer m_pointerTimer;
    bool m_pointerHidden = false;
};
