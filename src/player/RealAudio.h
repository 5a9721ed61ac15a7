#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

class Player;
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

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildVolume();
    void buildStatus();
    void showStatus();
    void paintPicture();

    QString m_controls;
    QString m_console;
    QPointer<Player> m_player;
    QSlider *m_slider = nullptr;
    QToolButton *m_mute = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_time = nullptr;
    class QTimer *m_clock = nullptr;
    QImage m_frame;
};
