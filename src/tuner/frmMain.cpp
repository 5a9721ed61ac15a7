#include "frmMain.h"
#include "app/PlainText.h"

#include "tuner/Artwork.h"
#include "tuner/StatusBar.h"
#include "tuner/UpDown.h"
#include "tuner/WindowLayout.h"

#include "app/Accessibility.h"
#include "app/AppInfo.h"
#include "app/IniFile.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/RuntimeError.h"
#include "app/Screen.h"
#include "data/BoundControls.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "listening/Levelling.h"
#include "listening/Listening.h"
#include "player/RealAudio.h"
#include "timers/Timers.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

namespace {

using namespace WindowLayout;

void setColours(QWidget *widget, const QColor &fore, const QColor &back)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, fore);
    palette.setColor(QPalette::Text, fore);
    palette.setColor(QPalette::Window, back);
    palette.setColor(QPalette::Base, back);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(Screen::twipsRect(left, top, width, height));
}

QFont pointFont(qreal points, bool bold = false, const QString &family = QString())
{
    QFont font;
    if (!family.isEmpty())
        font.setFamily(family);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// A data control the window reads its rows through; its navigation bar is never shown.
Data *hiddenDataControl(const char *name, const QString &table, QWidget *parent)
{
    auto *data = new Data(parent);
    data->setObjectName(QLatin1String(name));
    data->setRecordSource(table);
    data->setVisible(false);
    return data;
}

// The radio's faceplate: a brushed-metal gradient behind the controls.
class Faceplate : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        QLinearGradient face(0, 0, 0, height());
        face.setColorAt(0.0, QColor(214, 216, 220));
        face.setColorAt(0.55, QColor(186, 188, 194));
        face.setColorAt(1.0, QColor(160, 162, 168));
        p.fillRect(rect(), face);
        p.setPen(QColor(236, 238, 242));
        p.drawLine(0, 0, width(), 0);
    }
};

} // namespace

frmMain::frmMain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    // The caption the window carries until it loads.
    setWindowTitle(QStringLiteral("Halcyrix v3.01 BETA"));
    setWindowIcon(Artwork::icon());
    // A fixed single border: minimize, no maximize.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    buildMenus();
    buildControls();
    m_listening = new Listening(*this);
    m_timers = new Timers(*this);
    m_levelling = new Levelling(*this);
    setHeight(HeightWithBanner);
    PlainText::apply(this); // what the labels show is data, never markup
}

frmMain::~frmMain() = default;

QString frmMain::startCaption()
{
    return QStringLiteral("%1 v%2.%3.%4").arg(App::title()).arg(App::major()).arg(App::minor()).arg(App::revision());
}

void frmMain::buildControls()
{
    m_face = new Faceplate(this);
    m_face->setObjectName(QStringLiteral("Client"));
    setCentralWidget(m_face);
    QWidget *face = m_face;

    // The station display: a black panel with green text and four band lights.
    Label2 = new QLabel(QStringLiteral("Label2"), face);
    Label2->setObjectName(QStringLiteral("Label2"));
    setColours(Label2, Black, Black);
    Label2->setFrameShape(QFrame::Box);
    Label2->setLineWidth(1);
    {
        QPalette palette = Label2->palette();
        palette.setColor(QPalette::WindowText, QColor(70, 74, 70)); // the border line
        Label2->setPalette(palette);
    }
    place(Label2, 75, 75, 2640, 840);
    // Its caption is hidden black on black: a screen reader names it by what it is.
    Label2->setAccessibleName(tr("Display"));

    lblFrequency = new QLabel(face);
    lblFrequency->setObjectName(QStringLiteral("lblFrequency"));
    Accessibility::readAsShown(lblFrequency, tr("Frequency"));
    setColours(lblFrequency, Green, Black);
    lblFrequency->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblFrequency->setFont(pointFont(24, false, QStringLiteral("DejaVu Sans Mono")));
    place(lblFrequency, 120, 120, 1770, 540);

    const char *bands[4] = {"FM", "AM", "TV", "NET"};
    const int bandPos[4][2] = {{1935, 120}, {1935, 360}, {2280, 360}, {2295, 120}};
    for (int i = 0; i < 4; ++i) {
        QLabel *light = new QLabel(QLatin1String(bands[i]), face);
        light->setObjectName(QStringLiteral("lblType(%1)").arg(i));
        setColours(light, i == 0 ? Green : DarkGreen, Black);
        // A narrow face, so the lights that touch each other stay apart.
        light->setFont(i < 3 ? pointFont(9.75, true, QStringLiteral("Nimbus Sans Narrow"))
                             : pointFont(8.25, true, QStringLiteral("Nimbus Sans Narrow")));
        light->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        place(light, bandPos[i][0], bandPos[i][1], 360, 255);
        light->setAccessibleName(Accessibility::lightName(light->text(), i == 0));
        light->setAccessibleDescription(tr("Band light"));
        lblType[i] = light;
    }

    lblLocation = new QLabel(face);
    lblLocation->setObjectName(QStringLiteral("lblLocation"));
    Accessibility::readAsShown(lblLocation, tr("Location"));
    setColours(lblLocation, Green, Black);
    lblLocation->setAlignment(Qt::AlignCenter);
    place(lblLocation, 105, 615, 2550, 270);

    // A fixed text that lies behind the player's status line.
    Label1 = new QLabel(QStringLiteral("00:00.1 / 00:00.0"), face);
    Label1->setObjectName(QStringLiteral("Label1"));
    setColours(Label1, Green, Black);
    Label1->setFont(pointFont(8.25, false, QStringLiteral("Arial")));
    place(Label1, 2940, 960, 1275, 225);

    // The station list, and an unused list box that lies behind it.
    List1 = new QListWidget(face);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(tr("Unused list"));
    List1->setFocusPolicy(Qt::NoFocus);
    setColours(List1, Green, Black);
    place(List1, 2715, 75, 1680, 480);

    Data1 = hiddenDataControl("Data1", QStringLiteral("Station"), this);

    DBList1 = new DBList(face);
    DBList1->setObjectName(QStringLiteral("DBList1"));
    DBList1->setAccessibleName(tr("Stations"));
    DBList1->setRowSource(Data1);
    DBList1->setListField(QStringLiteral("SName"));
    DBList1->setDataSource(Data1);
    setColours(DBList1, Green, Black);
    showListFocus(false);
    DBList1->installEventFilter(this);
    place(DBList1, 2730, 75, 1650, 840);

    // The player: picture, volume and status line of the console "Radio".
    Picture1 = new QWidget(face);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    setColours(Picture1, Black, Black);
    place(Picture1, 4410, 75, 2610, 2145);
    RealAudio1[Picture] = new RealAudio(QStringLiteral("ImageWindow"), QStringLiteral("Radio"), Picture1);
    place(RealAudio1[Picture], 0, 15, 2505, 2025);
    RealAudio1[Volume] = new RealAudio(QStringLiteral("VolumeSlider"), QStringLiteral("Radio"), face);
    RealAudio1[Volume]->setToolTip(tr("Volume"));
    RealAudio1[Volume]->setAccessibleName(tr("Volume"));
    place(RealAudio1[Volume], 3360, 1320, 495, 855);
    RealAudio1[StatusLine] = new RealAudio(QStringLiteral("StatusBar"), QStringLiteral("Radio"), face);
    RealAudio1[StatusLine]->setAccessibleName(tr("Player status"));
    // The status line reads like a second line of the display, and covers the fixed text below it.
    setColours(RealAudio1[StatusLine], Green, Black);
    place(RealAudio1[StatusLine], 90, 915, 4300, 330);
    for (int i : {StatusLine, Picture, Volume})
        RealAudio1[i]->setObjectName(QStringLiteral("RealAudio1(%1)").arg(i));

    // Steppers: channels (vertical) for television, stations (horizontal) for radio.
    UpDown1 = new UpDown(Qt::Vertical, face);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setToolTip(tr("Channel"));
    UpDown1->setDescription(tr("Channel"));
    place(UpDown1, 4080, 1320, 240, 855);
    UpDown2 = new UpDown(Qt::Horizontal, face);
    UpDown2->setObjectName(QStringLiteral("UpDown2"));
    UpDown2->setDescription(tr("Station"));
    place(UpDown2, 150, 1935, 1605, 255);

    // Band buttons: push buttons that stay pressed while their band is selected.
    auto bandButton = [&](const char *name, const QString &caption, int top) {
        auto *button = new QPushButton(caption, face);
        button->setObjectName(QLatin1String(name));
        button->setCheckable(true);
        button->setAutoExclusive(true);
        button->setFont(pointFont(9.75, true));
        button->installEventFilter(this);
        place(button, 2355, top, 900, 405);
        return button;
    };
    optTuner = bandButton("optTuner", tr("Tune&r"), 1365);
    optTV = bandButton("optTV", tr("&TV"), 1770);
    connect(optTuner, &QPushButton::toggled, this, [this](bool on) {
        if (on)
            optTuner_Click();
    });
    connect(optTV, &QPushButton::toggled, this, [this](bool on) {
        if (on)
            optTV_Click();
    });

    // The preset keypad: 1 to 5 over 6 to 9 and 0.
    const int lefts[5] = {150, 555, 960, 1365, 1770};
    for (int i = 0; i < 10; ++i) {
        auto *button = new QPushButton(QStringLiteral("&%1").arg(i), face);
        button->setObjectName(QStringLiteral("Preset(%1)").arg(i));
        button->setFont(pointFont(8.25, true));
        const int slot = i == 0 ? 9 : i - 1; // keypad position
        place(button, lefts[slot % 5], slot < 5 ? 1335 : 1635, 400, 255);
        connect(button, &QPushButton::clicked, this, [this, i] { Preset_Click(i); });
        Preset[i] = button;
        setPresetHint(i, QStringLiteral("[None]"));
    }
    cmdSet = new QPushButton(tr("Set"), face);
    cmdSet->setObjectName(QStringLiteral("cmdSet"));
    place(cmdSet, 1770, 1935, 405, 255);
    connect(cmdSet, &QPushButton::clicked, this, &frmMain::cmdSet_Click);

    // The banner strip above the status bar; the preset rows' data control lives in it.
    picBanner = new QLabel(face);
    picBanner->setObjectName(QStringLiteral("picBanner"));
    picBanner->setAccessibleName(App::title());
    setColours(picBanner, Black, LightGrey);
    Data2 = hiddenDataControl("Data2", QStringLiteral("Preset"), picBanner);

    StatusBar1 = new StatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(Screen::twipsToPixels(StatusBarTwips));
    setStatusBar(StatusBar1);

    Timer1.setObjectName(QStringLiteral("Timer1"));

    // Stacking: the unused list and the fixed text lie behind the controls that cover them.
    List1->stackUnder(DBList1);
    Label1->stackUnder(RealAudio1[StatusLine]);
    Label2->lower();

    connect(Data1, &Data::Reposition, this, &frmMain::Data1_Reposition);
    connect(DBList1, &DBList::Click, this, &frmMain::DBList1_Click);
    connect(DBList1, &DBList::DblClick, this, &frmMain::DBList1_DblClick);
    connect(UpDown1, &UpDown::UpClick, this, &frmMain::UpDown1_UpClick);
    connect(UpDown1, &UpDown::DownClick, this, &frmMain::UpDown1_DownClick);
    connect(UpDown2, &UpDown::UpClick, this, &frmMain::UpDown2_UpClick);
    connect(UpDown2, &UpDown::DownClick, this, &frmMain::UpDown2_DownClick);

    // Keyboard order: list first, then the keypad, Set, the stepper, the bands, the player.
    QWidget *order[] = {DBList1,
                        Preset[1],
                        Preset[2],
                        Preset[3],
                        Preset[4],
                        Preset[5],
                        Preset[6],
                        Preset[7],
                        Preset[8],
                        Preset[9],
                        Preset[0],
                        cmdSet,
                        UpDown2->downButton(),
                        UpDown2->upButton(),
                        RealAudio1[Volume],
                        UpDown1->upButton(),
                        UpDown1->downButton(),
                        RealAudio1[Picture]};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    connectFullScreen();
}

void frmMain::setHeight(int twips)
{
    m_heightTwips = twips;
    const int menuHeight = menuBar()->sizeHint().height();
    const int clientHeight = Screen::twipsToPixels(twips - NonClientTwips);
    setFixedSize(Screen::twipsToPixels(ClientWidthTwips), menuHeight + clientHeight);
    layoutBanner();
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    layoutBanner();
}

void frmMain::layoutBanner()
{
    if (!m_face || !picBanner)
        return;
    // Docked to the bottom of the client area, directly above the status bar, full width.
    const int faceHeight = height() - menuBar()->sizeHint().height() - StatusBar1->height();
    const int bannerHeight = Screen::twipsToPixels(BannerTwips);
    const QRect area(0, faceHeight - bannerHeight, width(), bannerHeight);
    if (picBanner->geometry() != area || picBanner->pixmap().isNull()) {
        picBanner->setGeometry(area);
        picBanner->setPixmap(Artwork::drawBanner(area.size(), devicePixelRatioF()));
    }
}

void frmMain::showBanner(bool on)
{
    picBanner->setVisible(on);
}

// ---- Start-up, activation and shutdown -------------------------------------------------------

void frmMain::Form_Load()
{
    Screen::setMousePointer(Screen::Hourglass);
    setWindowTitle(startCaption());
    Module1::DatabasePath = App::filePath(Module1::vbReadIni(QStringLiteral("DataBase")).value_or(QString()));

    const bool banner = IniFile::toBool(Module1::vbReadIni(QStringLiteral("ShowBanner")));
    mnuViewBanner->setChecked(banner);
    showBanner(banner);
    setHeight(banner ? HeightWithBanner : HeightWithoutBannerAtLoad);
    mnuViewBanner->setChecked(banner);

    Module1::FilterField = QStringLiteral("Category");
    Module1::ViewCategories = Module1::vbReadIni(QStringLiteral("Categories")).value_or(QString());

    // The database is opened once here, so a missing or broken file is reported once, by name;
    // the window then opens with an empty list and every later step finds no record set.
    m_databaseOk = true;
    try {
        Database::open(Module1::DatabasePath);
    } catch (const RuntimeError &error) {
        m_databaseOk = false;
        m_presetRows = 0;
        Screen::setMousePointer(Screen::Default); // the message is read with the normal pointer
        MsgBox::show(tr("The station database \"%1\" cannot be opened.\n\n%2\n\n"
                        "The station list stays empty. Check the DataBase line of %3.")
                         .arg(QDir::toNativeSeparators(Module1::DatabasePath), error.text(),
                              QDir::toNativeSeparators(Module1::iniPath())),
                     this);
        Screen::setMousePointer(Screen::Hourglass);
    }
    if (m_databaseOk) {
        Data1->setDatabaseName(Module1::DatabasePath);
        Data2->setDatabaseName(Module1::DatabasePath);
    }

    // Selecting the radio band filters the list.
    if (optTuner->isChecked())
        optTuner_Click();
    else
        optTuner->setChecked(true);

    RealAudio1[Picture]->setAutoStart(true);
}

void frmMain::Form_Activate()
{
    QString categories = bandCategories();
    vbFilter(categories);
    vbGetPreset();
    DBList1->ReFill();
    if (RecordsetPtr rs = stations(); rs && !rs->EOF_())
        rs->MoveFirst();
    Screen::setMousePointer(Screen::Default);
}

void frmMain::Form_Unload()
{
    Module1::vbWriteIni(QStringLiteral("Categories"), Module1::ViewCategories);
    Module1::vbWriteIni(QStringLiteral("ShowBanner"),
                        mnuViewBanner->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
}

int frmMain::runModal(QDialog &dialog)
{
    if (dialog.parentWidget() != this)
        dialog.setParent(this, dialog.windowFlags() | Qt::Dialog);
    dialog.setWindowModality(Qt::ApplicationModal);
    const int result = dialog.exec();
    Form_Activate();
    return result;
}

void frmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        // Centred on the screen the window opens on.
        if (QScreen *screen = this->screen()) {
            const QRect available = screen->availableGeometry();
            QRect frame = frameGeometry();
            frame.moveCenter(available.center());
            move(frame.topLeft());
        }
        DBList1->setFocus();
        Form_Activate();
        QTimer::singleShot(0, this, &frmMain::loadStaleGuides);
    }
}

void frmMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!m_exiting)
        Form_Unload();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == DBList1 && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        showListFocus(event->type() == QEvent::FocusIn);
    // A band button never keeps the keyboard focus: it goes on to the station list.
    if (event->type() == QEvent::FocusIn && (watched == optTuner || watched == optTV))
        DBList1->setFocus(Qt::OtherFocusReason);
    return QMainWindow::eventFilter(watched, event);
}

RecordsetPtr frmMain::stations() const
{
    return m_databaseOk ? Data1->Recordset() : nullptr;
}

RecordsetPtr frmMain::presets() const
{
    return m_databaseOk ? Data2->Recordset() : nullptr;
}
