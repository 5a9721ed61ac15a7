#include "HelpWindow.h"
#include "app/PlainText.h"

#include "app/AppInfo.h"
#include "app/Shell.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPointer>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

namespace {
QPointer<HelpWindow> g_window;
}

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(App::title() + QStringLiteral(" Help"));

    auto tool = [this](const char *name, const QString &text, QStyle::StandardPixmap icon, const QKeySequence &key) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setIcon(style()->standardIcon(icon));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setShortcut(key);
        b->setAccessibleName(QString(text).remove(QLatin1Char('&')));
        return b;
    };
    m_back = tool("cmdBack", QStringLiteral("&Back"), QStyle::SP_ArrowBack, QKeySequence::Back);
    m_forward = tool("cmdForward", QStringLiteral("&Forward"), QStyle::SP_ArrowForward, QKeySequence::Forward);
    m_home =
        tool("cmdContents", QStringLiteral("&Contents"), QStyle::SP_DirHomeIcon, QKeySequence(Qt::ALT | Qt::Key_Home));

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("txtHelp"));
    m_browser->setAccessibleName(QStringLiteral("Help text"));
    // Every link comes to followLink: pages and places of the help file open here,
    // web and mail addresses in the user's own programs.
    m_browser->setOpenLinks(false);
    m_browser->setOpenExternalLinks(false);

    auto *bar = new QHBoxLayout;
    bar->addWidget(m_back);
    bar->addWidget(m_forward);
    bar->addWidget(m_home);
    bar->addStretch();
    auto *box = new QVBoxLayout(this);
    box->addLayout(bar);
    box->addWidget(m_browser);

    m_back->setEnabled(false);
    m_forward->setEnabled(false);
    connect(m_back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_home, &QToolButton::clicked, m_browser, &QTextBrowser::home);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::followLink);
    auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    resize(760, 560);
    PlainText::apply(this); // what the labels show is data, never markup
}

bool HelpWindow::load(const QString &path)
{
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable() || file.size() == 0)
        return false;
    m_browser->setSource(QUrl::fromLocalFile(file.absoluteFilePath()), QTextDocument::HtmlResource);
    return !m_browser->document()->isEmpty();
}

void HelpWindow::followLink(const QUrl &url)
{
    const QUrl target = m_browser->source().resolved(url);
    if (target.isLocalFile() || target.scheme().isEmpty())
        m_browser->setSource(target);
    else
        Shell::open(url.toString());
}

HelpWindow *HelpWindow::showHelp(QWidget *parent)
{
    try {
        const QString path = App::filePath(QString::fromLatin1(FileName));
        if (!QFileInfo(path).isFile())
            return nullptr;
        HelpWindow *window = g_window;
        if (!window)
            window = new HelpWindow(parent);
        if (!window->load(path)) {
            window->deleteLater();
            return nullptr;
        }
        g_window = window;
        window->show();
        window->raise();
        window->activateWindow();
        return window;
    } catch (const std::exception &) {
        return nullptr;
    }
}
