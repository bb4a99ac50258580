// The keyed tree.
#include "platform/forms/keyedtree.h"

#include <QHeaderView>

#include "platform/forms/imagelist.h"

namespace platform::forms {

KeyedTree::KeyedTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void KeyedTree::setImageList(const ImageList* images) {
    images_ = images;
}

QTreeWidgetItem* KeyedTree::addNode(const QString& parentKey, const QString& key,
                                    const QString& text, const QString& image) {
    QTreeWidgetItem* parent = nullptr;
    if (!parentKey.isEmpty()) {
        parent = index_.find(parentKey);
        if (!parent) throw FormsError(errors::kElementNotFound, "Element not found");
    }
    QTreeWidgetItem* node = newKeyedItem(index_, images_, key, text, image);
    if (parent)
        parent->addChild(node);
    else
        addTopLevelItem(node);
    index_.insert(key, node);
    return node;
}

void KeyedTree::unindex(QTreeWidgetItem* node) {
    for (int i = 0; i < node->childCount(); ++i) unindex(node->child(i));
    index_.remove(keyOf(node));
}

void KeyedTree::removeNode(const QString& key) {
    QTreeWidgetItem* node = index_.find(key);
    if (!node) throw FormsError(errors::kElementNotFound, "Element not found");
    unindex(node);
    delete node;
}

void KeyedTree::clearNodes() {
    index_.clear();
    clear();
}

QTreeWidgetItem* KeyedTree::selectedNode() const {
    const auto selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QString KeyedTree::keyOf(const QTreeWidgetItem* node) {
    return node->data(0, KeyRole).toString();
}
QString KeyedTree::imageOf(const QTreeWidgetItem* node) {
    return node->data(0, ImageRole).toString();
}
QString KeyedTree::tagOf(const QTreeWidgetItem* node) {
    return node->data(0, TagRole).toString();
}
void KeyedTree::setTag(QTreeWidgetItem* node, const QString& tag) {
    node->setData(0, TagRole, tag);
}

}  // namespace platform::forms
