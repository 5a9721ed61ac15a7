#include "player/RealAudio.h"

#include "app/Accessibility.h"
#include "app/AppInfo.h"
#include "app/PlainText.h"
#include "player/PictureWindow.h"
#include "player/Player.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

namespace {

QString clockText(qint64 seconds)
{
    const qint64 h = seconds / 3600;
    const qint64 m = (seconds / 60) % 60;
    const qint64 s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

} // namespace

RealAudio::RealAudio(const QString &controls, const QString &console, QWidget *parent)
    : QWidget(parent), m_controls(controls), m_console(console), m_player(Player::forConsole(console))
{
    if (m_controls.compare(QLatin1String("VolumeSlider"), Qt::CaseInsensitive) == 0) {
        m_controls = QStringLiteral("VolumeSlider");
        buildVolume();
    } else if (m_controls.compare(QLatin1String("StatusBar"), Qt::CaseInsensitive) == 0) {
        m_controls = QStringLiteral("StatusBar");
        buildStatus();
    } else {
        m_controls = QStringLiteral("ImageWindow");
        buildPicture();
    }
    PlainText::apply(this); // what the labels show is data, never markup
}

RealAudio::~RealAudio()
{
    delete m_fullScreen;
}

// The picture: video when the stream has one, otherwise a black panel with a quiet mark.
void RealAudio::buildPicture()
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(tr("Picture"));
    connect(m_player, &Player::frameReady, this, [this] {
        // Hidden behind the full-screen picture, the small one is not drawn.
        if (!m_player || !m_player->hasVideo() || !isVisible() || isFullScreen() || width() <= 0 || height() <= 0)
            return;
        if (m_frame.size() != size())
            m_frame = QImage(size(), QImage::Format_RGB32);
        if (m_player->renderFrame(m_frame))
            update();
    });
    connect(m_player, &Player::videoChanged, this, [this](bool on) {
        if (!on)
            m_frame = QImage();
        // The picture takes the keyboard (F: full screen) only while there is one.
        setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus);
        if (on)
            showCaption();
        update();
    });
    connect(m_player, &Player::icyChanged, this, [this] {
        showCaption();
        update();
    });
    connect(m_player, &Player::stateChanged, this, [this](Player::State state) {
        // A stream that ends, fails or plays without a picture brings the window back; between
        // channels the full-screen picture stays, black. (The picture's own report may come just
        // after the stream starts: whether it has one is asked of the stream.)
        const bool noPicture = isFullScreen() && state == Player::State::Playing && !m_player->hasVideo() &&
                               m_player->mpvProperty(QStringLiteral("vid")) == QLatin1String("no");
        const bool over = state == Player::State::Stopped || state == Player::State::Failed ||
                          state == Player::State::Idle || noPicture;
        if (over)
            setFullScreen(false);
    });
}

bool RealAudio::canShowFullScreen() const
{
    return m_controls == QLatin1String("ImageWindow") && m_player && m_player->hasVideo();
}

void RealAudio::setFullScreen(bool on)
{
    if (on == isFullScreen() || (on && !canShowFullScreen()))
        return;
    if (on) {
        QScreen *screen = window()->screen();
        m_fullScreen = new PictureWindow(m_player, screen);
        if (QWindow *owner = window()->windowHandle())
            m_fullScreen->setTransientParent(owner);
        connect(m_fullScreen, &PictureWindow::keyPressed, this, &RealAudio::fullScreenKey);
        connect(m_fullScreen, &PictureWindow::doubleClicked, this, [this] { setFullScreen(false); });
        m_fullScreen->showFullScreen();
        m_fullScreen->requestActivate();
        showCaption();
    } else {
        // Deleted later: the window may be in the middle of handling the key or click that ends it.
        m_fullScreen->hide();
        m_fullScreen->deleteLater();
        m_fullScreen = nullptr;
        if (QWidget *main = window(); main->isVisible()) {
            main->activateWindow();
            if (focusPolicy() != Qt::NoFocus)
                setFocus(Qt::OtherFocusReason);
        }
        update();
    }
    emit fullScreenChanged(on);
}

void RealAudio::setStationName(const QString &name)
{
    m_stationName = name;
}

void RealAudio::setProgrammeText(const QString &text)
{
    if (text == m_programmeText)
        return;
    m_programmeText = text;
    showStatus();
    if (isFullScreen() && m_player && !text.isEmpty())
        m_player->showOnPicture(text, 4000);
}

void RealAudio::setLogo(const QImage &logo)
{
    m_logo = logo;
    m_logoScaled = QImage();
    update();
}

void RealAudio::showCaption()
{
    if (!isFullScreen() || !m_player)
        return;
    const QString name = m_stationName.isEmpty() ? m_player->icyName() : m_stationName;
    QStringList lines;
    for (const QString &line : {name, m_player->icyTitle()})
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    m_player->showOnPicture(lines.join(QLatin1Char('\n')), 4000);
}

// The keys of the full-screen picture: leave, volume, mute and the channel keys.
void RealAudio::fullScreenKey(QKeyEvent *event)
{
    if (!m_player)
        return;
    constexpr int kVolumeStep = 5;
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_F11:
    case Qt::Key_F:
        setFullScreen(false);
        break;
    case Qt::Key_M:
    case Qt::Key_VolumeMute:
        m_player->setMuted(!m_player->muted());
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_VolumeUp:
        m_player->setVolume(m_player->volume() + kVolumeStep);
        break;
    case Qt::Key_Minus:
    case Qt::Key_VolumeDown:
        m_player->setVolume(m_player->volume() - kVolumeStep);
        break;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        emit stepRequested(false);
        break;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        emit stepRequested(true);
        break;
    default:
        break;
    }
}

void RealAudio::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_controls == QLatin1String("ImageWindow")) {
        setFullScreen(true);
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void RealAudio::buildVolume()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    m_slider = new QSlider(Qt::Vertical, this);
    m_slider->setObjectName(QStringLiteral("sldVolume"));
    m_slider->setAccessibleName(tr("Volume"));
    m_slider->setRange(0, 100);
    m_slider->setPageStep(10);
    m_slider->setValue(m_player->volume());
    m_mute = new QToolButton(this);
    m_mute->setObjectName(QStringLiteral("cmdMute"));
    m_mute->setAccessibleName(tr("Mute"));
    m_mute->setToolTip(tr("Mute (M)"));
    m_mute->setCheckable(true);
    m_mute->setAutoRaise(true);
    m_mute->setChecked(m_player->muted());
    auto showMute = [this](bool on) {
        m_mute->setIcon(style()->standardIcon(on ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    };
    showMute(m_player->muted());
    layout->addWidget(m_slider, 1, Qt::AlignHCenter);
    layout->addWidget(m_mute, 0, Qt::AlignHCenter);

    connect(m_slider, &QSlider::valueChanged, m_player, &Player::setVolume);
    connect(m_player, &Player::volumeChanged, m_slider, [this](int v) {
        const QSignalBlocker block(m_slider);
        m_slider->setValue(v);
    });
    connect(m_mute, &QToolButton::toggled, m_player, &Player::setMuted);
    connect(m_player, &Player::mutedChanged, m_mute, [this, showMute](bool on) {
        const QSignalBlocker block(m_mute);
        m_mute->setChecked(on);
        showMute(on);
    });
    m_slider->installEventFilter(this);
    setFocusProxy(m_slider);
}

void RealAudio::buildStatus()
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setTextFormat(Qt::PlainText); // a stream's title is the server's text, never markup
    // Read by what they show (connecting, buffering, the station and title, an error), and
    // announced on every change.
    Accessibility::readAsShown(m_status, tr("Player status"));
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_time = new QLabel(this);
    m_time->setObjectName(QStringLiteral("lblElapsed"));
    Accessibility::readAsShown(m_time, tr("Elapsed time"));
    m_time->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_status, 1);
    layout->addWidget(m_time, 0, Qt::AlignVCenter);
    m_time->installEventFilter(this); // a new font or style fits the clock again
    m_clock = new QTimer(this);
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &RealAudio::showStatus);
    connect(m_player, &Player::statusChanged, this, &RealAudio::showStatus);
    connect(m_player, &Player::stateChanged, this, &RealAudio::showStatus);
    showStatus();
}

void RealAudio::showStatus()
{
    if (!m_status)
        return;
    if (!m_player) {
        m_status->clear();
        m_time->clear();
        m_clock->stop();
        return;
    }
    const Player::State state = m_player->state();
    const QString text =
        state == Player::State::Playing && !m_programmeText.isEmpty() ? m_programmeText : m_player->statusText();
    if (m_status->text() != text) {
        m_status->setText(text);
        m_status->setToolTip(PlainText::toolTip(text));
        // Said aloud wherever the focus is, the buffering count excepted.
        if (state != Player::State::Buffering)
            Accessibility::speak(m_status, text);
    }
    const bool running =
        state == Player::State::Playing || state == Player::State::Buffering || state == Player::State::Reconnecting;
    if (running) {
        const QString reading = clockText(m_player->elapsedSeconds());
        const bool longer = reading.size() != m_time->text().size();
        m_time->setText(reading);
        if (longer)
            fitClock();
        if (!m_clock->isActive())
            m_clock->start();
    } else {
        m_time->clear();
        m_clock->stop();
    }
}

void RealAudio::fitClock()
{
    // A label whose size may change asks the whole window for a new layout with every new text;
    // the clock has one fixed size for all readings of its length, so a new second repaints the
    // clock alone. Its box fits the widest digits, and keeps its height and right alignment.
    const QFontMetrics metrics(m_time->font());
    const QString reading = m_time->text().isEmpty() ? clockText(0) : m_time->text();
    int widest = 0;
    for (QChar digit = QLatin1Char('0'); digit <= QLatin1Char('9'); digit = QChar(digit.unicode() + 1))
        widest = qMax(widest, metrics.horizontalAdvance(digit));
    int width = 0;
    for (const QChar c : reading)
        width += c.isDigit() ? widest : metrics.horizontalAdvance(c);
    const QSize hint = m_time->sizeHint();
    m_time->setFixedSize(hint.width() - metrics.horizontalAdvance(reading) + width, hint.height());
}

void RealAudio::setSource(const QString &source)
{
    if (m_player)
        m_player->setSource(source);
}

QString RealAudio::Source() const
{
    return m_player ? m_player->source() : QString();
}

void RealAudio::setAutoStart(bool on)
{
    if (m_player)
        m_player->setAutoStart(on);
}

bool RealAudio::AutoStart() const
{
    return m_player && m_player->autoStart();
}

void RealAudio::DoPlay()
{
    if (m_player)
        m_player->play();
}

Player *RealAudio::player() const
{
    return m_player;
}

QSize RealAudio::sizeHint() const
{
    if (m_controls == QLatin1String("VolumeSlider"))
        return {33, 57};
    if (m_controls == QLatin1String("StatusBar"))
        return {287, 22};
    return {167, 135};
}

void RealAudio::paintEvent(QPaintEvent *event)
{
    if (m_controls != QLatin1String("ImageWindow")) {
        QWidget::paintEvent(event);
        return;
    }
    paintPicture();
}

void RealAudio::paintPicture()
{
    QPainter painter(this);
    if (m_player && m_player->hasVideo() && m_frame.size() == size()) {
        painter.drawImage(0, 0, m_frame);
        return;
    }
    painter.fillRect(rect(), Qt::black);
    if (!m_logo.isNull()) {
        // Scaled to fit with a margin, never blown up past four times its size.
        const QSize room = (size() - QSize(8, 8)).expandedTo(QSize(1, 1));
        QSize fit = m_logo.size().scaled(room, Qt::KeepAspectRatio);
        if (fit.width() > m_logo.width() * 4)
            fit = m_logo.size() * 4;
        if (m_logoScaled.size() != fit)
            m_logoScaled = m_logo.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        const QRect place(QPoint(0, 0), m_logoScaled.size());
        painter.drawImage(place.translated(rect().center() - place.center()), m_logoScaled);
        return;
    }
    // A quiet mark: the station's name when it sent one, else the program's, in dim grey.
    const QString mark = m_player && !m_player->icyName().isEmpty() ? m_player->icyName() : App::title();
    QFont font = painter.font();
    font.setPointSizeF(qMax(6.0, font.pointSizeF() * 0.9));
    painter.setFont(font);
    painter.setPen(QColor(70, 70, 70));
    painter.drawText(rect().adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, mark);
}

void RealAudio::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_controls == QLatin1String("ImageWindow") && m_player && m_player->hasVideo()) {
        m_frame = QImage(size(), QImage::Format_RGB32);
        if (!m_player->renderFrame(m_frame))
            m_frame = QImage();
    }
}

bool RealAudio::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_time && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
        fitClock();
    if (watched == m_slider && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_M && m_player) {
            m_player->setMuted(!m_player->muted());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void RealAudio::keyPressEvent(QKeyEvent *event)
{
    if (m_controls == QLatin1String("VolumeSlider") && event->key() == Qt::Key_M && m_player) {
        m_player->setMuted(!m_player->muted());
        return;
    }
    if (m_controls == QLatin1String("ImageWindow") && event->key() == Qt::Key_F &&
        event->modifiers() == Qt::NoModifier && canShowFullScreen()) {
        setFullScreen(true);
        return;
    }
    QWidget::keyPressEvent(event);
}
