#include "pictures/StationPictures.h"

#include "app/CommonDialog.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "data/Database.h"
#include "data/Statement.h"
#include "listening/NowPlaying.h"
#include "pictures/LogoFetcher.h"
#include "pictures/StationLogos.h"
#include "player/RealAudio.h"
#include "tuner/frmMain.h"

#include "data/BoundControls.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

StationPictures::StationPictures(frmMain &window, LogoFetcher *fetcher, QObject *parent)
    : QObject(parent), m_window(window), m_fetcher(fetcher), m_now(new NowPlaying(window, this)),
      m_picture(window.RealAudio1[frmMain::Picture])
{
    if (m_picture) {
        m_picture->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(m_picture, &QWidget::customContextMenuRequested, this, &StationPictures::contextMenu);
    }
    connect(m_now, &NowPlaying::changed, this, &StationPictures::follow);
    follow();
}

StationPictures::~StationPictures() = default;

bool StationPictures::isStored(const QString &stationName) const
{
    if (stationName.isEmpty())
        return false;
    try {
        auto db = Database::open(Module1::DatabasePath);
        Statement st(*db, QStringLiteral("select 1 from Station where SName = ?"));
        st.bind(1, stationName);
        return st.step();
    } catch (const RuntimeError &) {
        return false;
    }
}

void StationPictures::follow()
{
    const NowPlaying::Station playing = m_now->station();
    const QString name = playing.address.isEmpty() ? QString() : playing.name;
    if (name == m_station && !m_station.isEmpty())
        return; // a new title, the same station
    QString address;
    if (!name.isEmpty()) {
        try {
            address = StationLogos::addressFor(*Database::open(Module1::DatabasePath), name);
        } catch (const RuntimeError &) {
            // No logo to read: the panel stays plain.
        }
    }
    m_station = name;
    show(address);
}

void StationPictures::show(const QString &address)
{
    m_address = address;
    m_logo = QImage();
    m_file.clear();
    if (m_picture)
        m_picture->setLogo(QImage());
    emit logoChanged(m_station, m_file);
    if (address.isEmpty())
        return;
    fetcher()->request(address, QSize(PictureSide, PictureSide));
}

LogoFetcher *StationPictures::fetcher()
{
    if (m_connected)
        return m_fetcher;
    m_connected = true;
    if (!m_fetcher)
        m_fetcher = LogoFetcher::instance();
    connect(m_fetcher, &LogoFetcher::ready, this,
            [this](const QString &from, const QSize &size, const QString &file, const QImage &image) {
                if (from != m_address || size != QSize(PictureSide, PictureSide))
                    return;
                m_logo = image;
                m_file = file;
                if (m_picture)
                    m_picture->setLogo(image);
                if (from == m_userChoice)
                    m_userChoice.clear();
                emit logoChanged(m_station, m_file);
            });
    connect(m_fetcher, &LogoFetcher::failed, this, [this](const QString &from, const QString &reason) {
        // Only the user's own choice is reported; a station's stored logo that fails leaves the
        // panel plain.
        if (from != m_address || from != m_userChoice)
            return;
        m_userChoice.clear();
        MsgBox::show(tr("The logo of \"%1\" cannot be shown: %2.").arg(m_station, reason), &m_window);
    });
    return m_fetcher;
}

QString StationPictures::menuStation() const
{
    if (isStored(m_station))
        return m_station;
    const QString listed = m_window.DBList1 ? m_window.DBList1->Text() : QString();
    return isStored(listed) ? listed : QString();
}

void StationPictures::contextMenu(const QPoint &at)
{
    const QString station = menuStation();
    QString address;
    if (!station.isEmpty()) {
        try {
            address = StationLogos::addressFor(*Database::open(Module1::DatabasePath), station);
        } catch (const RuntimeError &) {
        }
    }
    QMenu menu(m_picture);
    menu.setObjectName(QStringLiteral("mnuPicture"));
    QAction *set = menu.addAction(tr("Set &Logo..."), this, &StationPictures::setLogo);
    QAction *clear = menu.addAction(tr("&Clear Logo"), this, &StationPictures::clearLogo);
    set->setObjectName(QStringLiteral("mnuSetLogo"));
    clear->setObjectName(QStringLiteral("mnuClearLogo"));
    set->setEnabled(!station.isEmpty());
    clear->setEnabled(!address.isEmpty());
    menu.exec(m_picture->mapToGlobal(at));
}

void StationPictures::setLogo()
{
    const QString station = menuStation();
    if (station.isEmpty())
        return;
    QString current;
    try {
        current = StationLogos::addressFor(*Database::open(Module1::DatabasePath), station);
    } catch (const RuntimeError &) {
    }

    QDialog dialog(&m_window);
    dialog.setObjectName(QStringLiteral("frmSetLogo"));
    dialog.setWindowTitle(tr("Set Logo"));
    auto *prompt = new QLabel(tr("&Logo of \"%1\", a picture file or an http or https address:").arg(station), &dialog);
    prompt->setTextFormat(Qt::PlainText);
    auto *address = new QLineEdit(current, &dialog);
    address->setObjectName(QStringLiteral("txtLogo"));
    address->setMaxLength(StationLogos::AddressLength);
    address->setMinimumWidth(360);
    prompt->setBuddy(address);
    auto *browse = new QPushButton(tr("&Browse..."), &dialog);
    browse->setObjectName(QStringLiteral("cmdBrowse"));
    browse->setAutoDefault(false);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto *row = new QHBoxLayout;
    row->addWidget(address, 1);
    row->addWidget(browse);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(prompt);
    layout->addLayout(row);
    layout->addWidget(buttons);
    connect(browse, &QPushButton::clicked, &dialog, [&dialog, address] {
        CommonDialog files;
        files.DialogTitle = tr("Choose a Logo");
        files.Filter = tr("Pictures|*.png;*.jpg;*.jpeg;*.gif;*.ico;*.webp|All Files|*.*");
        if (files.ShowOpen(&dialog))
            address->setText(files.FileName);
    });
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, [this, &dialog, address, station] {
        if (storeLogo(station, address->text()))
            dialog.accept();
    });
    dialog.exec();
}

bool StationPictures::storeLogo(const QString &stationName, const QString &address)
{
    try {
        auto db = Database::open(Module1::DatabasePath);
        if (address.trimmed().isEmpty()) {
            StationLogos::clear(*db, stationName);
        } else if (!StationLogos::setUserAddress(*db, stationName, address)) {
            MsgBox::show(tr("A logo is a picture file or an http or https address."), &m_window);
            return false;
        }
        const QString stored = StationLogos::addressFor(*db, stationName);
        if (!stored.isEmpty()) {
            // Chosen anew: fetched again now, whatever happened to it before.
            fetcher()->forget(stored);
            m_userChoice = stored;
        }
    } catch (const RuntimeError &e) {
        MsgBox::show(tr("The logo of \"%1\" cannot be stored: %2").arg(stationName, e.text()), &m_window);
        return false;
    }
    if (stationName == m_station) {
        m_station.clear(); // shown again from the stored address
        m_address.clear();
        follow();
    }
    return true;
}

void StationPictures::clearLogo()
{
    const QString station = menuStation();
    if (!station.isEmpty())
        storeLogo(station, QString());
}
