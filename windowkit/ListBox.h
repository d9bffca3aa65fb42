#pragma once

#include <QCollator>
#include <QListView>
#include <QString>
#include <memory>
#include <vector>

class ListBoxModel;

// A list of which one entry is chosen at a time, none edited. Input moves the choice but never takes
// it away: neither Ctrl+click on the chosen entry nor a click on the blank area below the entries
// leaves the list without one.
class ChoiceView : public QListView {
public:
    explicit ChoiceView(QWidget* parent = nullptr);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
};

// A list box with the classic shape: Clear, AddItem, ListIndex, Text, List(i), ItemData(i).
// Each entry carries the identity of the record it was listed from (ItemData).
// A sorted list box orders its entries alphabetically without regard to letter case; entries with
// equal text stand together. The sort is deferred: AddItem only collects, and the entries are
// sorted once before the list is next read or painted, so a refill of many names costs one sort.
class ListBox : public ChoiceView {
    Q_OBJECT

public:
    explicit ListBox(bool sorted, QWidget* parent = nullptr);
    ~ListBox() override;

    void Clear();
    void AddItem(const QString& text, qint64 itemData = -1);
    // Replaces every entry at once, as Clear and AddItem for each would (the fast refill);
    // itemData may be empty. A refill that lists records by identity in ascending order re-sorts
    // only the entries that are new or changed since the last refill.
    void setItems(QStringList texts, QList<qint64> itemData);

    int ListCount() const;
    QString List(int index) const;
    qint64 ItemData(int index) const;

    // The selected index, -1 when nothing is selected. Setting it selects that entry and
    // emits Click() as a user's selection does; -1 clears the selection.
    int ListIndex() const;
    void setListIndex(int index);

    // The order of a sorted list box: alphabetical without regard to letter case, accents beside
    // their letters.
    static QCollator collator();
    // The order a sorted list box shows these texts in: the input positions, first shown first.
    static std::vector<int> listOrder(const QStringList& texts);

    // The text of the selected entry, the empty text when nothing is selected.
    QString Text() const;

    // Every entry's text and identity in list order, shared rather than copied (for reading a
    // long list in one go).
    QStringList allTexts() const;
    QList<qint64> allItemData() const;

Q_SIGNALS:
    // The selected entry changed (mouse, keyboard or code).
    void Click();
    // A mouse button went down over the list (before the selection reacts).
    void MouseDown(Qt::MouseButton button, const QPoint& globalPos);
    void MouseMove();
    // The entries or the selection changed, however (mouse, keyboard, code, a refill).
    void SelectionStateChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void ensureSorted() const;
    ListBoxModel* m_model;
};
