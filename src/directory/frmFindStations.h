#pragma once

#include "directory/DirectoryClient.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The "Find Stations" window: searches the public station directory, plays a result through the
// main window's player without storing it, and stores chosen results as stations of a category.
// Requests run while the window stays usable; a new search cancels the one before. Everything the
// directory sends is shown as plain text.
class frmFindStations : public QDialog
{
    Q_OBJECT
public:
    // Plays a station (its name, its stream address) through the main window's player.
    using Listen = std::function<void(const QString &name, const QString &address)>;

    explicit frmFindStations(Listen listen, QWidget *parent = nullptr);
    ~frmFindStations() override;

    DirectoryClient *client() const { return m_client; }
    // The results shown, in table order.
    const QList<DirectoryStation> &results() const { return m_results; }

    QLineEdit *txtSearch;
    QLineEdit *txtTag;
    QLineEdit *txtCountry;
    QComboBox *cboOrder;
    QCheckBox *chkHideBroken;
    QPushButton *cmdSearch;
    QTableWidget *grdResults;
    QLabel *lblCount;
    QPushButton *cmdMore;
    QLabel *lblMessage;
    QComboBox *cboCategory;
    QPushButton *cmdListen;
    QPushButton *cmdAdd;
    QPushButton *cmdClose;

    // Column order of the results table.
    enum Column { ColName, ColCountry, ColTags, ColFormat, ColVotes, ColumnCount };

public slots:
    void cmdSearch_Click();
    void cmdMore_Click();
    void cmdListen_Click();
    void cmdAdd_Click();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fetchPage();
    void pageArrived(DirectoryRequest *request);
    void appendRow(const DirectoryStation &station);
    void showCount();
    void showMessage(const QString &text);
    void fillCategories();
    void updateButtons();
    QList<int> selectedRows() const;

    Listen m_listen;
    DirectoryClient *m_client;
    QPointer<DirectoryRequest> m_request;
    DirectorySearch m_search;
    QList<DirectoryStation> m_results;
    bool m_morePages = false;
};
