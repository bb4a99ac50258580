// A tree of nodes addressed by unique keys, each with a text, the key of its
// picture in an image list and a free tag. Add and remove nodes through this
// class only, so that the key index stays true.
//
// A whole level of a large tree is added in one step through a Level, which
// builds its nodes (and their own first children) away from the view and
// hands them over at once. A node marked sorted keeps its children in
// alphabetical order without regard to case, as they are added.
//
// Besides Qt's own signals the tree reports what its owner's handlers are
// written against: a node chosen by mouse or keys, a typed key, every mouse
// press before the tree acts on it, and the keys that ask for the context
// menu of the current node (the Menu key, Shift+F10). While it has the
// focus its frame is drawn in the highlight colour, so that the keyboard's
// place can be seen.
#pragma once

#include <QList>
#include <QPoint>
#include <QString>
#include <QTreeWidget>
#include <vector>

#include "platform/forms/keyed.h"

namespace platform::forms {

class ImageList;

class KeyedTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit KeyedTree(QWidget* parent = nullptr);

    // The pictures of the nodes; without a list, image keys are kept unchecked.
    void setImageList(const ImageList* images);
    const ImageList* imageList() const { return images_; }

    // Adds a node below the node keyed parentKey (at the top when empty), in
    // its alphabetical place when that node is sorted. Raises
    // errors::kKeyNotUnique for a taken key and errors::kElementNotFound for
    // an unknown parent or picture; nothing is added then.
    QTreeWidgetItem* addNode(const QString& parentKey, const QString& key, const QString& text,
                             const QString& image);

    // Nodes added below one parent in one step. Each add is checked as
    // addNode checks it; commit() puts every node into the tree at once, in
    // the order added (sorted when the parent is). Nodes not committed are
    // discarded with the Level.
    class Level {
    public:
        Level(Level&& other) noexcept;
        Level& operator=(Level&&) = delete;
        ~Level();

        // A new child of the level's parent.
        QTreeWidgetItem* add(const QString& key, const QString& text, const QString& image);
        // A new child of a node that this level added.
        QTreeWidgetItem* addBelow(QTreeWidgetItem* node, const QString& key, const QString& text,
                                  const QString& image);
        void commit();

    private:
        friend class KeyedTree;
        using Folded = KeyIndex<QTreeWidgetItem*>::Folded;
        Level(KeyedTree& tree, QTreeWidgetItem* parent);
        QTreeWidgetItem* build(const QString& key, const QString& text, const QString& image);

        KeyedTree* tree_;
        QTreeWidgetItem* parent_;
        QList<QTreeWidgetItem*> nodes_;
        // The keys of the nodes built so far, for the tree's index at commit.
        std::vector<std::pair<Folded, QTreeWidgetItem*>> keys_;
        KeyIndex<QTreeWidgetItem*> pending_;
    };
    // A level below the node keyed parentKey (the top when empty); an unknown
    // parent raises errors::kElementNotFound.
    Level level(const QString& parentKey);

    QTreeWidgetItem* node(const QString& key) const { return index_.find(key); }
    // Removes the node with its whole subtree; an unknown key is refused.
    void removeNode(const QString& key);
    void clearNodes();

    // The selected node, or nullptr when none is selected.
    QTreeWidgetItem* selectedNode() const;
    // Makes node the selected and current node and scrolls it into view.
    void selectNode(QTreeWidgetItem* node);
    // The node at a point of the view's contents (viewport pixels), or nullptr.
    QTreeWidgetItem* nodeAt(const QPoint& point) const { return itemAt(point); }

    // Sorts the node's children now and keeps them sorted as nodes are added.
    void setSorted(QTreeWidgetItem* node);
    static bool isSorted(const QTreeWidgetItem* node);

    static QString keyOf(const QTreeWidgetItem* node);
    static QString imageOf(const QTreeWidgetItem* node);
    static QString tagOf(const QTreeWidgetItem* node);
    static void setTag(QTreeWidgetItem* node, const QString& tag);

signals:
    // A node was chosen with the left mouse button or by moving to it with the keys.
    void nodeClick(QTreeWidgetItem* node);
    // A key that types a character was pressed; Enter reports 13.
    void keyPress(int keyAscii);
    // A mouse button went down: button and modifier codes (mouse.h), position
    // in twips within the view's contents. Handlers run before the tree
    // selects anything; the right button is left to them entirely.
    void mouseDown(int button, int shift, double x, double y);
    // The Menu key or Shift+F10 was pressed.
    void contextMenuKey();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void unindex(QTreeWidgetItem* node);
    QTreeWidgetItem* parentNode(const QString& parentKey) const;

    const ImageList* images_ = nullptr;
    KeyIndex<QTreeWidgetItem*> index_;
};

}  // namespace platform::forms
