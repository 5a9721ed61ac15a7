#include "frmOptions.h"
#include "app/PlainText.h"

#include "app/MsgBox.h"
#include "app/Screen.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QVBoxLayout>

namespace {

// Positions in twips.
constexpr int ClientWidth = 6165;
constexpr int ClientHeight = 4965;
constexpr int PageTop = 480;
constexpr int PageWidth = 5685;
constexpr int PageHeight = 3780;
constexpr int PageLeftShown = 210;
constexpr int PageLeftAtOpen = 195;    // the first page stands here until the tabs are switched
constexpr int PageLeftHidden = -20000; // far outside the window

constexpr int KeyTab = 9;
constexpr int ShiftMask = 1;
constexpr int CtrlMask = 2;
constexpr int AltMask = 4;

struct TabInfo
{
    const char *caption;
    const char *key;
    const char *hint;
};
constexpr TabInfo Tabs[frmOptions::TabCount] = {
    {"General", "Group1", "Set Options for Group 1"},
    {"Files", "Group2", "Set Options for Group 2"},
    {"Update", "Group3", "Set Options for Group 3"},
    {"Group 4", "Group4", "Set Options for Group 4"},
};

int twips(int t)
{
    return Screen::twipsToPixels(t);
}

// The key code and modifier mask of a key press, as the keyboard handlers take them.
int keyCodeOf(const QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        return KeyTab;
    if (key == Qt::Key_Escape)
        return 27;
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return 13;
    return key < 0x100 ? key : 0;
}

int shiftMaskOf(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers m = event->modifiers();
    int mask = 0;
    if (m & Qt::ShiftModifier)
        mask |= ShiftMask;
    if (m & Qt::ControlModifier)
        mask |= CtrlMask;
    if (m & Qt::AltModifier)
        mask |= AltMask;
    return mask;
}

QRadioButton *option(const QString &name, const QString &caption, QWidget *parent)
{
    auto *b = new QRadioButton(caption, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

frmOptions::frmOptions(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmOptions"));
    buildControls();
    Form_Load();
    PlainText::apply(this); // what the labels show is data, never markup
}

void frmOptions::buildControls()
{
    setWindowTitle(QStringLiteral("Options"));
    setFixedSize(twips(ClientWidth), twips(ClientHeight));

    // The tab strip: its row of tabs and the framed body the pages stand on.
    m_stripBody = new QFrame(this);
    m_stripBody->setFrameShape(QFrame::StyledPanel);
    tbsOptions = new QTabBar(this);
    tbsOptions->setObjectName(QStringLiteral("tbsOptions"));
    tbsOptions->setAccessibleName(QStringLiteral("Options"));
    tbsOptions->setExpanding(false);
    tbsOptions->setDrawBase(false);
    for (int i = 0; i < TabCount; ++i) {
        tbsOptions->addTab(QString::fromLatin1(Tabs[i].caption));
        tbsOptions->setTabData(i, QString::fromLatin1(Tabs[i].key));
        tbsOptions->setTabToolTip(i, QString::fromLatin1(Tabs[i].hint));
    }
    const QRect strip = Screen::twipsRect(135, 75, 5895, 4245);
    const int tabHeight = tbsOptions->sizeHint().height();
    tbsOptions->setGeometry(strip.left(), strip.top(), strip.width(), tabHeight);
    m_stripBody->setGeometry(strip.left(), strip.top() + tabHeight - 1, strip.width(), strip.height() - tabHeight + 1);

    for (int i = 0; i < TabCount; ++i) {
        auto *page = new QWidget(this);
        page->setObjectName(QStringLiteral("picOptions(%1)").arg(i));
        page->resize(twips(PageWidth), twips(PageHeight));
        picOptions[i] = page;
    }

    // The first page: sort field, sort order and start-up choices.
    QWidget *general = picOptions[0];
    auto *sortBy = new QGroupBox(QStringLiteral("Sort stations by"), general);
    sortBy->setObjectName(QStringLiteral("Frame1"));
    const char *fields[6] = {"Name", "Frequency", "Type", "Category", "Location", ".RAM File"};
    auto *sortGrid = new QGridLayout(sortBy);
    for (int i = 0; i < 6; ++i) {
        Option1[i] = option(QStringLiteral("Option1(%1)").arg(i), QString::fromLatin1(fields[i]), sortBy);
        sortGrid->addWidget(Option1[i], i % 3, i / 3);
    }

    auto *order = new QGroupBox(QStringLiteral("Sort Order"), general);
    order->setObjectName(QStringLiteral("Frame2"));
    auto *orderBox = new QVBoxLayout(order);
    Option2[0] = option(QStringLiteral("Option2(0)"), QStringLiteral("Ascending"), order);
    Option2[1] = option(QStringLiteral("Option2(1)"), QStringLiteral("Descending"), order);
    orderBox->addWidget(Option2[0]);
    orderBox->addWidget(Option2[1]);

    fraSample1 = new QGroupBox(QStringLiteral("Startup"), general);
    fraSample1->setObjectName(QStringLiteral("fraSample1"));
    auto *startBox = new QVBoxLayout(fraSample1);
    Check1 = new QCheckBox(QStringLiteral("Remember last station"), fraSample1);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2 = new QCheckBox(QStringLiteral("Auto Tune"), fraSample1);
    Check2->setObjectName(QStringLiteral("Check2"));
    startBox->addWidget(Check1);
    startBox->addWidget(Check2);

    auto *generalGrid = new QGridLayout(general);
    generalGrid->addWidget(sortBy, 0, 0, 1, 2);
    generalGrid->addWidget(order, 1, 0);
    generalGrid->addWidget(fraSample1, 1, 1);
    generalGrid->setRowStretch(2, 1);

    // The other three pages hold one empty frame each.
    QGroupBox **samples[3] = {&fraSample2, &fraSample3, &fraSample4};
    for (int i = 1; i < TabCount; ++i) {
        auto *frame = new QGroupBox(QStringLiteral("Sample %1").arg(i + 1), picOptions[i]);
        frame->setObjectName(QStringLiteral("fraSample%1").arg(i + 1));
        auto *box = new QVBoxLayout(picOptions[i]);
        box->addWidget(frame);
        *samples[i - 1] = frame;
    }

    auto button = [this](const char *name, const char *caption, int left) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(Screen::twipsRect(left, 4455, 1095, 375));
        return b;
    };
    cmdOK = button("cmdOK", "OK", 2490);
    cmdCancel = button("cmdCancel", "Cancel", 3720);
    cmdApply = button("cmdApply", "Apply", 4920);
    cmdOK->setDefault(true);

    connect(tbsOptions, &QTabBar::currentChanged, this, [this] { tbsOptions_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdApply, &QPushButton::clicked, this, [this] { cmdApply_Click(); });

    // Key preview: the window sees every key press before the control with the focus.
    watchKeys(this);
}

void frmOptions::watchKeys(QWidget *widget)
{
    widget->installEventFilter(this);
    for (QWidget *child : widget->findChildren<QWidget *>())
        child->installEventFilter(this);
}

// The values every opening starts with: first tab, first page in place, nothing chosen.
void frmOptions::setDesignValues()
{
    {
        const QSignalBlocker quiet(tbsOptions);
        tbsOptions->setCurrentIndex(0);
    }
    for (int i = 0; i < TabCount; ++i) {
        picOptions[i]->move(twips(i == 0 ? PageLeftAtOpen : PageLeftHidden), twips(PageTop));
        picOptions[i]->setEnabled(true);
    }
    for (auto *group :
         {static_cast<QWidget *>(Option1[0]->parentWidget()), static_cast<QWidget *>(Option2[0]->parentWidget())}) {
        for (QRadioButton *b : group->findChildren<QRadioButton *>()) {
            b->setAutoExclusive(false);
            b->setChecked(false);
            b->setAutoExclusive(true);
        }
    }
    Check1->setChecked(false);
    Check2->setChecked(false);
}

void frmOptions::Form_Load()
{
    setDesignValues();
    // Centred on the screen.
    QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
}

void frmOptions::tbsOptions_Click()
{
    const int selected = tbsOptions->currentIndex() + 1;
    for (int i = 0; i < TabCount; ++i) {
        if (i == selected - 1) {
            picOptions[i]->move(twips(PageLeftShown), twips(PageTop));
            picOptions[i]->setEnabled(true);
        } else {
            picOptions[i]->move(twips(PageLeftHidden), twips(PageTop));
            picOptions[i]->setEnabled(false);
        }
    }
}

bool frmOptions::Form_KeyDown(int KeyCode, int Shift)
{
    if (KeyCode != KeyTab || Shift != CtrlMask)
        return false;
    const int selected = tbsOptions->currentIndex() + 1;
    tbsOptions->setCurrentIndex(selected == tbsOptions->count() ? 0 : selected);
    return true;
}

void frmOptions::cmdOK_Click()
{
    MsgBox::show(QStringLiteral("Place code here to set options and close dialog!"), this);
    accept();
}

void frmOptions::cmdCancel_Click()
{
    reject();
}

void frmOptions::cmdApply_Click()
{
    MsgBox::show(QStringLiteral("Place code here to set options w/o closing dialog!"), this);
}

bool frmOptions::previewKey(QKeyEvent *event)
{
    return Form_KeyDown(keyCodeOf(event), shiftMaskOf(event));
}

bool frmOptions::eventFilter(QObject *watched, QEvent *event)
{
    // A press travels from the control with the focus to its parents; only Ctrl+Tab is
    // taken, so looking at it again on the way up does no harm.
    if (event->type() == QEvent::KeyPress && previewKey(static_cast<QKeyEvent *>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void frmOptions::keyPressEvent(QKeyEvent *event)
{
    // Esc presses Cancel.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmOptions::done(int result)
{
    m_unloaded = true;
    QDialog::done(result);
}

// Each opening after a close starts afresh, as a newly loaded window does.
void frmOptions::setVisible(bool visible)
{
    if (visible && m_unloaded && !isVisible()) {
        m_unloaded = false;
        Form_Load();
    }
    QDialog::setVisible(visible);
}
