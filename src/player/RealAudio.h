#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

class Player;
class PictureWindow;
class QLabel;
class QSlider;
class QToolButton;

// One element of a player: the picture ("ImageWindow"), the volume ("VolumeSlider") or the status
// line ("StatusBar"). Elements with the same console name are parts of one player.
class RealAudio : public QWidget
{
    Q_OBJECT
public:
    RealAudio(const QString &controls, const QString &console = QStringLiteral("Radio"), QWidget *parent = nullptr);
    ~RealAudio() override;

    QString Controls() const { return m_controls; }
    QString Console() const { return m_console; }

    // Stream source (dispatch id 102).
    void setSource(const QString &source);
    QString Source() const;
    // Start a newly set source by itself (dispatch id 106).
    void setAutoStart(bool on);
    bool AutoStart() const;
    // Play the source (dispatch id 201).
    void DoPlay();

    Player *player() const;

    // The picture alone on the whole screen that holds this element's window. Only while the
    // stream shows a picture; it ends by itself when the stream stops, fails or plays without one.
    bool canShowFullScreen() const;
    bool isFullScreen() const { return m_fullScreen != nullptr; }
    void setFullScreen(bool on);
    PictureWindow *fullScreenWindow() const { return m_fullScreen; }
    // The station's name, shown with the stream's title over the full-screen picture.
    void setStationName(const QString &name);
    // What the TV guide says is on: the status line shows it while the stream plays, and the
    // full-screen picture shows it when it changes. Empty: nothing.
    void setProgrammeText(const QString &text);
    // The station's logo, shown centred on the black panel while the stream shows no picture
    // (a null image: none).
    void setLogo(const QImage &logo);
    QImage logo() const { return m_logo; }

    QSize sizeHint() const override;

signals:
    void fullScreenChanged(bool on);
    // A channel key in full screen: the station before (false) or after (true) in the list.
    void stepRequested(bool forward);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildVolume();
    void buildStatus();
    void showStatus();
    void fitClock();
    void paintPicture();
    void buildPicture();
    void fullScreenKey(QKeyEvent *event);
    void showCaption();

    QString m_controls;
    QString m_console;
    QPointer<Player> m_player;
    QSlider *m_slider = nullptr;
    QToolButton *m_mute = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_time = nullptr;
    class QTimer *m_clock = nullptr;
    QImage m_frame;
    PictureWindow *m_fullScreen = nullptr;
    QString m_stationName;
    QString m_programmeText;
    QImage m_logo;
    QImage m_logoScaled; // m_logo at the size last drawn
};
