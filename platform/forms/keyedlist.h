// A list in report form: rows of columns under headers, each row addressed by
// a unique key (or none), with a small picture from an image list and, when
// asked for, a check box (in rows high enough that the boxes stand apart).
// Columns count from 1, as the program names them.
//
// Besides Qt's own signals the list reports what its owner's handlers are
// written against: every mouse press before the list acts on it, an item
// chosen by mouse or keys, a click, a double click on an item and a typed key.
// A cell too narrow for its text shows the whole text as its tooltip.
#pragma once

#include <QString>
#include <QStringList>
#include <QTreeWidget>

#include "platform/forms/keyed.h"

namespace platform::forms {

class ImageList;

class KeyedList : public QTreeWidget {
    Q_OBJECT
public:
    explicit KeyedList(const QStringList& headers, QWidget* parent = nullptr);

    void setImageList(const ImageList* images) { images_ = images; }
    void setCheckboxes(bool on) { checkboxes_ = on; }

    QString columnHeader(int column) const;
    void setColumnHeader(int column, const QString& text);
    // Widths in twips; a negative width is refused.
    double columnWidthTwips(int column) const;
    void setColumnWidthTwips(int column, double twips);

    // Appends a row; the same failures as KeyedTree::addNode.
    QTreeWidgetItem* addItem(const QString& key, const QString& text,
                             const QString& smallIcon = {});
    QTreeWidgetItem* item(const QString& key) const { return index_.find(key); }
    QTreeWidgetItem* itemAt(int row) const { return topLevelItem(row); }
    // The item at a point of the view's contents (viewport pixels), or nullptr.
    QTreeWidgetItem* itemAtPoint(const QPoint& point) const { return QTreeWidget::itemAt(point); }
    int count() const { return topLevelItemCount(); }
    void clearItems();

    QTreeWidgetItem* selectedItem() const;

    static QString keyOf(const QTreeWidgetItem* item);
    static QString smallIconOf(const QTreeWidgetItem* item);
    static bool isChecked(const QTreeWidgetItem* item);
    static void setChecked(QTreeWidgetItem* item, bool checked);

signals:
    // A mouse button went down: button and modifier codes (mouse.h), position
    // in twips within the view's contents. Handlers run before the list
    // selects anything; the right button is left to them entirely.
    void mouseDown(int button, int shift, double x, double y);
    // An item was chosen with the left mouse button or by moving to it with the keys.
    void itemClick(QTreeWidgetItem* item);
    // The left mouse button was released over the list, on an item or not.
    void click();
    // An item was double-clicked.
    void dblClick();
    // A key that types a character was pressed; Enter reports 13.
    void keyPress(int keyAscii);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool viewportEvent(QEvent* e) override;

private:
    void checkColumn(int column) const;

    const ImageList* images_ = nullptr;
    bool checkboxes_ = false;
    KeyIndex<QTreeWidgetItem*> index_;
};

}  // namespace platform::forms
