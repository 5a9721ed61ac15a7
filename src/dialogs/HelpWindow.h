#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QToolButton;

// The program's help window: shows the HTML help file of the application directory and
// follows the links inside it. Links to web or mail addresses go to the user's programs.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr const char *FileName = "Halcyrix.html";

    // Shows the help file (one window for the whole run, raised again when open).
    // Any failure, a missing file included, is passed over quietly: the result is then nullptr.
    static HelpWindow *showHelp(QWidget *parent);

    QTextBrowser *browser() const { return m_browser; }

private:
    explicit HelpWindow(QWidget *parent);
    bool load(const QString &path);
    void followLink(const QUrl &url);

    QTextBrowser *m_browser = nullptr;
    QToolButton *m_back = nullptr;
    QToolButton *m_forward = nullptr;
    QToolButton *m_home = nullptr;
};
