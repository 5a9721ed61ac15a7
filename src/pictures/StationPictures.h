#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

class LogoFetcher;
class NowPlaying;
class RealAudio;
class frmMain;
class QDialog;
class QLineEdit;

// The logo of the station playing, shown where people look: on the main window's picture
// element (while the stream shows no picture of its own), and handed to the desktop's media
// controls and notifications as its cached file. The picture element's context menu sets a
// station's logo from a file or an address ("Set Logo...") or clears it ("Clear Logo").
//
// A station without a logo address costs nothing: the fetcher is asked only for an address.
class StationPictures : public QObject
{
    Q_OBJECT
public:
    // The side, in pixels, the picture element's logo is fetched at.
    static constexpr int PictureSide = 256;

    explicit StationPictures(frmMain &window, LogoFetcher *fetcher = nullptr, QObject *parent = nullptr);
    ~StationPictures() override;

    // The station whose logo is shown (the station playing), its logo and the logo's cached PNG.
    QString stationName() const { return m_station; }
    QImage logo() const { return m_logo; }
    QString logoFile() const { return m_file; }

    // The menu's commands, for the station playing (else the station the list stands on).
    // Set Logo asks for a file or an address; Clear Logo forgets the station's logo.
    void setLogo();
    void clearLogo();
    // The text for the station's logo address, checked and stored; false (with a message) when
    // it is neither a picture file nor an http or https address.
    bool storeLogo(const QString &stationName, const QString &address);

signals:
    // The station playing, its logo's file (empty: none) — after every change.
    void logoChanged(const QString &stationName, const QString &file);

private:
    void follow();
    LogoFetcher *fetcher(); // made and connected on first use
    void show(const QString &address);
    void contextMenu(const QPoint &at);
    QString menuStation() const;
    bool isStored(const QString &stationName) const;

    frmMain &m_window;
    QPointer<LogoFetcher> m_fetcher;
    NowPlaying *m_now;
    QPointer<RealAudio> m_picture;
    QString m_station;
    QString m_address;
    QImage m_logo;
    QString m_file;
    QString m_userChoice; // an address just chosen: its failure is reported
    bool m_connected = false;
};
