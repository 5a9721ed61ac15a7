#include "frmAbout.h"
#include "app/PlainText.h"

#include "SystemLookup.h"
#include "app/AppInfo.h"
#include "app/MsgBox.h"
#include "app/Screen.h"
#include "app/Shell.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QStyle>

namespace {
constexpr int ValueBufferSize = 1024;
}

LinkLabel::LinkLabel(QWidget *parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Link));
    setPalette(p);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About MyApp"));

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    QPixmap icon(App::filePath(QStringLiteral("halcyrix.png")));
    if (icon.isNull())
        icon = QApplication::windowIcon().pixmap(48, 48);
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_MediaPlay).pixmap(48, 48);
    picIcon->setPixmap(icon.scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    picIcon->setAccessibleName(QStringLiteral("Application icon"));

    lblTitle = new QLabel(QStringLiteral("Application Title"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    lblTitle->setFont(big);

    lblVersion = new QLabel(QStringLiteral("Version"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    Label2 = new LinkLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setText(homePage());
    Label2->setToolTip(QStringLiteral("Open the home page"));
    Label2->setAccessibleName(homePage());

    Label3 = new LinkLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setText(supportAddress());
    Label3->setToolTip(QStringLiteral("Write to support"));
    Label3->setAccessibleName(supportAddress());

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(picIcon, 0, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(Label2, 2, 1);
    grid->addWidget(Label3, 3, 1);
    grid->setRowMinimumHeight(4, 12);
    grid->addWidget(line, 5, 0, 1, 2);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addLayout(buttons);
    grid->addLayout(bottom, 6, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(1, Screen::twipsToPixels(4200));
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { cmdSysInfo_Click(); });
    connect(Label2, &LinkLabel::clicked, this, [this] { Label2_Click(); });
    connect(Label3, &LinkLabel::clicked, this, [this] { Label3_Click(); });

    Form_Load();
    PlainText::apply(this); // what the labels show is data, never markup
}

QString frmAbout::homePage()
{
    return App::homePage();
}

QString frmAbout::supportAddress()
{
    return App::supportAddress();
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + App::title());
    lblTitle->setText(App::title());
    lblVersion->setText(QStringLiteral("Version %1.%2.%3").arg(App::major()).arg(App::minor()).arg(App::revision()));
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::Label2_Click()
{
    Shell::open(homePage());
}

void frmAbout::Label3_Click()
{
    Shell::open(QStringLiteral("mailto:") + supportAddress());
}

void frmAbout::StartSysInfo()
{
    using namespace SystemLookup;
    QString program;
    bool started = false;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, SysInfoKey, SysInfoValue, program)) {
        // The path read is started as it is; a program that is not there fails to start.
        started = QProcess::startDetached(program, {});
    } else {
        QString folder;
        if (GetKeyValue(HKEY_LOCAL_MACHINE, SysInfoLocKey, SysInfoLocValue, folder)) {
            for (const QString &name : sysInfoPrograms()) {
                const QFileInfo file(QDir(folder), name);
                if (file.isFile()) {
                    started = QProcess::startDetached(file.absoluteFilePath(), {});
                    break;
                }
            }
        }
    }
    if (!started)
        MsgBox::show(QStringLiteral("System Information Is Unavailable At This Time"), this);
}

bool frmAbout::GetKeyValue(std::uint32_t KeyRoot, const QString &KeyName, const QString &SubKeyRef, QString &KeyVal)
{
    const SystemLookup::Lookup &lookup = SystemLookup::current();
    if (!lookup.hasKey(KeyRoot, KeyName)) {
        KeyVal.clear();
        return false;
    }
    const std::optional<SystemLookup::Value> value = lookup.value(KeyRoot, KeyName, SubKeyRef);
    if (!value) {
        KeyVal.clear();
        return false;
    }
    const QByteArray data = value->data.left(ValueBufferSize);
    switch (value->type) {
    case SystemLookup::REG_SZ: {
        QByteArray text = data;
        if (text.endsWith('\0'))
            text.chop(1);
        KeyVal = QString::fromLocal8Bit(text);
        break;
    }
    case SystemLookup::REG_DWORD: {
        // Highest byte first, two hex digits a byte, so that no zero digit is lost.
        QString digits;
        for (qsizetype i = data.size() - 1; i >= 0; --i)
            digits += QStringLiteral("%1").arg(static_cast<uchar>(data[i]), 2, 16, QLatin1Char('0')).toUpper();
        KeyVal = QStringLiteral("&h") + digits;
        break;
    }
    default:
        break;
    }
    return true;
}
