// A list in report form: rows of columns under headers, each row addressed by
// a unique key (or none), with a small picture from an image list and, when
// asked for, a check box. Columns count from 1, as the program names them.
#pragma once

#include <QString>
#include <QStringList>
#include <QTreeWidget>

#include "platform/forms/keyed.h"

namespace platform::forms {

class ImageList;

class KeyedList : public QTreeWidget {
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
    int count() const { return topLevelItemCount(); }
    void clearItems();

    QTreeWidgetItem* selectedItem() const;

    static QString keyOf(const QTreeWidgetItem* item);
    static QString smallIconOf(const QTreeWidgetItem* item);
    static bool isChecked(const QTreeWidgetItem* item);
    static void setChecked(QTreeWidgetItem* item, bool checked);

private:
    void checkColumn(int column) const;

    const ImageList* images_ = nullptr;
    bool checkboxes_ = false;
    KeyIndex<QTreeWidgetItem*> index_;
};

}  // namespace platform::forms
