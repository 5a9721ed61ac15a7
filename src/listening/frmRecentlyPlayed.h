#pragma once

#include <QWidget>

class QPushButton;
class QTreeWidget;
class TitleHistory;

// The "Recently Played" window: the titles the streams announced, newest first, with the station
// and the time. A title can be copied or searched for on the web. The window stays open beside
// the tuner and follows new titles as they come.
class frmRecentlyPlayed : public QWidget
{
    Q_OBJECT
public:
    explicit frmRecentlyPlayed(const TitleHistory &history, QWidget *parent = nullptr);

    // Fills the list again from the history.
    void refill();

    // The web address that searches for a title.
    static QString searchAddress(const QString &title);

    QTreeWidget *lstTitles;
    QPushButton *cmdCopy;
    QPushButton *cmdSearch;
    QPushButton *cmdClose;

public slots:
    void cmdCopy_Click();
    void cmdSearch_Click();

private:
    QString selectedTitle() const;
    const TitleHistory &m_history;
};
