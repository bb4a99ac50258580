// A keyed report list for lists that may hold a great many rows: rows of
// columns under headers, each addressed by a unique key (or none) and drawn
// with a small picture of an image list. Rows live in a model as runs that
// work out a row's key and text when it is shown, so that a million rows cost
// a few bytes each until they are looked at. Rows count from 0, columns from
// 1, as the program names them.
//
// It reports what KeyedList reports: every mouse press before the list acts
// on it, a row chosen by mouse or keys, a click, a double click on a row and
// a typed key; and the keys that ask for the context menu of the current row
// (the Menu key, Shift+F10). The keyboard finds a row to act on: focus that
// comes by the keys to a list where no row is selected selects the current
// row (the first when none is current), as a row chosen. A row too narrow for
// its text shows the whole text as its tooltip.
#pragma once

#include <QString>
#include <QStringList>
#include <QTableView>
#include <memory>

namespace platform::forms {

class ImageList;
class KeyedRowModel;

// Rows added in one go. Keys must differ from one another (without regard to
// case) and from every row of the list; `keyAt` and `textAt` are called for
// 0 <= row < size() whenever a row is shown or looked up, and must not throw.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual qsizetype size() const = 0;
    virtual QString keyAt(qsizetype row) const = 0;
    virtual QString textAt(qsizetype row) const = 0;
    // Rows still coming (a server's answer read page by page): the list asks
    // for more when its last row comes into sight, of the source it holds
    // last only. readMore() adds rows at the end of size() and must not throw.
    virtual bool canReadMore() const { return false; }
    virtual void readMore() const {}
};

class KeyedListView : public QTableView {
    Q_OBJECT
public:
    explicit KeyedListView(const QStringList& headers, QWidget* parent = nullptr);
    ~KeyedListView() override;

    void setImageList(const ImageList* images) { images_ = images; }

    QString columnHeader(int column) const;
    void setColumnHeader(int column, const QString& text);
    // Widths in twips; a negative width is refused.
    double columnWidthTwips(int column) const;
    void setColumnWidthTwips(int column, double twips);

    // Appends a row and gives its number. A key that is taken
    // (errors::kKeyNotUnique) and a picture the image list lacks
    // (errors::kElementNotFound) are refused before anything changes.
    int addItem(const QString& key, const QString& text, const QString& smallIcon = {});
    // Appends every row of `rows`, all with one picture, in one step.
    void addRows(std::shared_ptr<const RowSource> rows, const QString& smallIcon);
    void clearItems();
    int count() const;

    // The row with that key (without regard to case), or -1.
    int row(const QString& key) const;
    QString keyAt(int row) const;
    QString textAt(int row) const;
    QString smallIconAt(int row) const;

    // The selected row, or -1.
    int selectedRow() const;
    // Makes a row current and selected; -1 clears the selection.
    void setCurrentRow(int row);
    // The row at a point of the view's contents (viewport pixels), or -1.
    int rowAtPoint(const QPoint& point) const;
    // Where a row is drawn, in viewport pixels.
    QRect rowRect(int row) const;

signals:
    // A mouse button went down: button and modifier codes (mouse.h), position
    // in twips within the view's contents. Handlers run before the list
    // selects anything; the right button is left to them entirely.
    void mouseDown(int button, int shift, double x, double y);
    // A row was chosen with the left mouse button or by moving to it with the keys.
    void itemClick(int row);
    // The left mouse button was released over the list, on a row or not.
    void click();
    // A row was double-clicked.
    void dblClick();
    // A key that types a character was pressed; Enter reports 13.
    void keyPress(int keyAscii);
    // The Menu key or Shift+F10 was pressed.
    void contextMenuKey();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    void fitRowHeight();
    void checkColumn(int column) const;

    const ImageList* images_ = nullptr;
    KeyedRowModel* model_;
};

}  // namespace platform::forms
