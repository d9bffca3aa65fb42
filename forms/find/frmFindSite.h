#pragma once

#include "data/Database.h"
#include "data/LinksStore.h"
#include "search/Find.h"
#include "windowkit/Form.h"

#include <QPointer>
#include <memory>
#include <optional>

class ListBox;
class MatchModel;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QTimer;

// Finds links by any words of their names and addresses as the user types, best matches first,
// and opens one or shows it in the main list. It follows every change of the links, this
// program's own and another copy's, keeping the selected link selected while it exists.
class frmFindSite : public Form {
    Q_OBJECT

public:
    frmFindSite();
    ~frmFindSite() override;

    // The main window's list: its order is the order equal matches keep, read from it instead of
    // sorting every name again. Without it the window sorts the names itself.
    void setMainList(ListBox* list);

    QLabel* Label1 = nullptr; // "Find :"
    QLineEdit* txtFind = nullptr;
    QListView* lstMatches = nullptr;
    QLabel* lblCount = nullptr; // "N of M links"
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdShow = nullptr;
    QPushButton* cmdClose = nullptr;

    // The selected match; nothing when none is selected.
    std::optional<Link> selectedLink() const;
    // Whether a search is still being worked through (only over very many links).
    bool searching() const { return bool(m_search); }

    void txtFind_Change();
    void cmdOpen_Click();
    void cmdShow_Click();
    void cmdClose_Click();

Q_SIGNALS:
    // "Show in List": the main window selects this link, as it is in the file now.
    void ShowInList(const Link& link);

protected:
    void Form_Load() override;
    void Form_Unload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void linksChanged();
    // Reads every link again and searches anew for the same query; keep: the link to keep
    // selected while it matches.
    void reread(std::optional<qint64> keep);
    // Whether another copy wrote to the file since the last read.
    bool fileChanged() const;
    std::vector<int> listOrder(const search::Index::Builder& links) const;
    void startSearch(std::optional<qint64> keep);
    void runSlice();
    // Works the running search to its end at once.
    void finishPending();
    void finishSearch();
    // The selected link, or the one a running search is to select.
    std::optional<qint64> selectedId() const;
    void moveSelection(int rows);
    void selectRow(int row);
    void selectionChanged();
    // The selected link when it is still in the file exactly as listed; otherwise says so.
    std::optional<Link> selectedAsInFile();

    MatchModel* m_model = nullptr;
    QTimer* m_slice = nullptr;
    QPointer<ListBox> m_mainList;
    Database m_db; // held, so the file's version compares on one connection
    bool m_loaded = false;
    qint64 m_version = 0;
    std::shared_ptr<const search::Index> m_index;
    std::unique_ptr<search::Search> m_search;
    std::optional<qint64> m_keep; // for the search running
    // The query the list shows and its matches in list order, which the next query may narrow
    // (the rows themselves went to the model).
    std::optional<search::Matches> m_shown;
};
