// A tree of nodes addressed by unique keys, each with a text, the key of its
// picture in an image list and a free tag. Add and remove nodes through this
// class only, so that the key index stays true.
#pragma once

#include <QString>
#include <QTreeWidget>

#include "platform/forms/keyed.h"

namespace platform::forms {

class ImageList;

class KeyedTree : public QTreeWidget {
public:
    explicit KeyedTree(QWidget* parent = nullptr);

    // The pictures of the nodes; without a list, image keys are kept unchecked.
    void setImageList(const ImageList* images);
    const ImageList* imageList() const { return images_; }

    // Adds a node below the node keyed parentKey (at the top when empty).
    // Raises errors::kKeyNotUnique for a taken key and errors::kElementNotFound
    // for an unknown parent or picture; nothing is added then.
    QTreeWidgetItem* addNode(const QString& parentKey, const QString& key, const QString& text,
                             const QString& image);
    QTreeWidgetItem* node(const QString& key) const { return index_.find(key); }
    // Removes the node with its whole subtree; an unknown key is refused.
    void removeNode(const QString& key);
    void clearNodes();

    // The selected node, or nullptr when none is selected.
    QTreeWidgetItem* selectedNode() const;

    static QString keyOf(const QTreeWidgetItem* node);
    static QString imageOf(const QTreeWidgetItem* node);
    static QString tagOf(const QTreeWidgetItem* node);
    static void setTag(QTreeWidgetItem* node, const QString& tag);

private:
    void unindex(QTreeWidgetItem* node);

    const ImageList* images_ = nullptr;
    KeyIndex<QTreeWidgetItem*> index_;
};

}  // namespace platform::forms
