// The keyed tree.
#include "platform/forms/keyedtree.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

#include "platform/forms/imagelist.h"
#include "platform/forms/mouse.h"
#include "platform/forms/twips.h"
#include "platform/forms/viewcues.h"

namespace platform::forms {

namespace {

// The order of the user's language without regard to case. The collator
// sees folded text, because for the C locale it would compare code units
// with case.
QCollatorSortKey sortKeyOf(const QString& text) {
    static const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator.sortKey(foldedText(text));
}

// Every node of a KeyedTree: it carries its sort key, made once when it is
// built, and whether its own children are kept sorted. Text, key, picture
// and tag are fields of its own rather than values of the item's role list,
// which would cost a QVariant and a search of the list each: a level of
// 100,000 nodes is built in one go.
class KeyedNode : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;
    KeyedNode(const QString& key, const QString& text, const QString& image, const QIcon& icon)
        : QTreeWidgetItem(kType),
          sortKey_(sortKeyOf(text)),
          text_(text),
          key_(key),
          image_(image),
          picture_(icon) {}

    bool before(const KeyedNode& other) const { return sortKey_.compare(other.sortKey_) < 0; }
    bool operator<(const QTreeWidgetItem& other) const override {
        if (other.type() != kType) return QTreeWidgetItem::operator<(other);
        return before(static_cast<const KeyedNode&>(other));
    }

    QVariant data(int column, int role) const override {
        if (column == 0) {
            if (const QString* field = textField(*this, role)) return *field;
            if (role == Qt::DecorationRole) return picture_;
        }
        return QTreeWidgetItem::data(column, role);
    }
    void setData(int column, int role, const QVariant& value) override {
        if (column == 0) {
            if (QString* field = textField(*this, role)) {
                *field = value.toString();
                emitDataChanged();
                return;
            }
            if (role == Qt::DecorationRole) {
                picture_ = value;  // an icon, or whatever else a caller draws with
                emitDataChanged();
                return;
            }
        }
        QTreeWidgetItem::setData(column, role, value);
    }

    bool sorted = false;

private:
    // The field that holds a text role of column 0, or null; const with node.
    template <class Node>
    static auto textField(Node& node, int role) -> decltype(&node.text_) {
        switch (role) {
            case Qt::DisplayRole:
            case Qt::EditRole:
                return &node.text_;
            case KeyRole:
                return &node.key_;
            case ImageRole:
                return &node.image_;
            case TagRole:
                return &node.tag_;
            default:
                return nullptr;
        }
    }

    QCollatorSortKey sortKey_;
    QString text_;
    QString key_;
    QString image_;
    QVariant picture_;
    QString tag_;
};

const KeyedNode* keyedNode(const QTreeWidgetItem* node) {
    return node && node->type() == KeyedNode::kType ? static_cast<const KeyedNode*>(node) : nullptr;
}

// Every node a Level builds is a KeyedNode.
bool lessThan(const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
    return static_cast<const KeyedNode*>(a)->before(*static_cast<const KeyedNode*>(b));
}

}  // namespace

KeyedTree::KeyedTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Levels of many thousand nodes scroll smoothly only with rows of one height.
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node, int) { emit nodeClick(node); });
}

void KeyedTree::setImageList(const ImageList* images) {
    images_ = images;
}

QTreeWidgetItem* KeyedTree::parentNode(const QString& parentKey) const {
    if (parentKey.isEmpty()) return nullptr;
    QTreeWidgetItem* parent = index_.find(parentKey);
    if (!parent) throw FormsError(errors::kElementNotFound, "Element not found");
    return parent;
}

QTreeWidgetItem* KeyedTree::addNode(const QString& parentKey, const QString& key,
                                    const QString& text, const QString& image) {
    QTreeWidgetItem* parent = parentNode(parentKey);
    index_.checkFree(key);
    const QIcon icon = keyedIcon(images_, image);
    auto* node = new KeyedNode(key, text, image, icon);
    if (!parent) {
        addTopLevelItem(node);
    } else if (isSorted(parent)) {
        // The children are in order: the new one goes where it belongs.
        int low = 0, high = parent->childCount();
        while (low < high) {
            const int middle = (low + high) / 2;
            if (*node < *parent->child(middle))
                high = middle;
            else
                low = middle + 1;
        }
        parent->insertChild(low, node);
    } else {
        parent->addChild(node);
    }
    index_.insert(key, node);
    return node;
}

KeyedTree::Level KeyedTree::level(const QString& parentKey) {
    return Level(*this, parentNode(parentKey));
}

KeyedTree::Level::Level(KeyedTree& tree, QTreeWidgetItem* parent) : tree_(&tree), parent_(parent) {}

KeyedTree::Level::Level(Level&& other) noexcept
    : tree_(other.tree_),
      parent_(other.parent_),
      nodes_(std::move(other.nodes_)),
      keys_(std::move(other.keys_)),
      pending_(std::move(other.pending_)) {
    other.nodes_.clear();
    other.keys_.clear();
}

KeyedTree::Level::~Level() {
    qDeleteAll(nodes_);
}

QTreeWidgetItem* KeyedTree::Level::build(const QString& key, const QString& text,
                                         const QString& image) {
    Folded folded(key);
    tree_->index_.checkFree(folded);
    pending_.checkFree(folded);
    const QIcon icon = keyedIcon(tree_->images_, image);
    auto* node = new KeyedNode(key, text, image, icon);
    pending_.insert(folded, node);
    keys_.emplace_back(std::move(folded), node);
    return node;
}

QTreeWidgetItem* KeyedTree::Level::add(const QString& key, const QString& text,
                                       const QString& image) {
    QTreeWidgetItem* node = build(key, text, image);
    nodes_.append(node);
    return node;
}

QTreeWidgetItem* KeyedTree::Level::addBelow(QTreeWidgetItem* node, const QString& key,
                                            const QString& text, const QString& image) {
    QTreeWidgetItem* child = build(key, text, image);
    node->addChild(child);
    return child;
}

void KeyedTree::Level::commit() {
    tree_->index_.reserve(tree_->index_.size() + static_cast<qsizetype>(keys_.size()));
    for (const auto& [key, node] : keys_) tree_->index_.insert(key, node);
    keys_.clear();
    pending_.clear();
    QList<QTreeWidgetItem*> nodes = std::move(nodes_);
    nodes_.clear();
    if (!parent_) {
        tree_->addTopLevelItems(nodes);
    } else if (isSorted(parent_) && parent_->childCount() == 0) {
        // A server often gives a level in order already.
        if (!std::is_sorted(nodes.begin(), nodes.end(), lessThan))
            std::stable_sort(nodes.begin(), nodes.end(), lessThan);
        parent_->addChildren(nodes);
    } else {
        parent_->addChildren(nodes);
        if (isSorted(parent_)) parent_->sortChildren(0, Qt::AscendingOrder);
    }
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

void KeyedTree::selectNode(QTreeWidgetItem* node) {
    setCurrentItem(node);
    node->setSelected(true);
    scrollToItem(node);
}

void KeyedTree::setSorted(QTreeWidgetItem* node) {
    auto* keyed = const_cast<KeyedNode*>(keyedNode(node));
    if (!keyed) throw FormsError(errors::kElementNotFound, "Element not found");
    keyed->sorted = true;
    if (node->childCount() > 1) node->sortChildren(0, Qt::AscendingOrder);
}

bool KeyedTree::isSorted(const QTreeWidgetItem* node) {
    const KeyedNode* keyed = keyedNode(node);
    return keyed && keyed->sorted;
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

void KeyedTree::keyPressEvent(QKeyEvent* e) {
    if (isContextMenuKey(*e)) {
        e->accept();
        emit contextMenuKey();
        return;
    }
    QTreeWidgetItem* before = currentItem();
    const std::optional<int> typed = keyAsciiOf(*e);
    QTreeWidget::keyPressEvent(e);
    if (typed) emit keyPress(*typed);
    QTreeWidgetItem* after = currentItem();
    if (after && after != before) emit nodeClick(after);
}

void KeyedTree::contextMenuEvent(QContextMenuEvent* e) {
    // The key press that asked for it has opened the menu already.
    if (e->reason() == QContextMenuEvent::Keyboard) {
        e->accept();
        return;
    }
    QTreeWidget::contextMenuEvent(e);
}

void KeyedTree::focusInEvent(QFocusEvent* e) {
    QTreeWidget::focusInEvent(e);
    // The keys move from the selected node, else from the first.
    if (!currentItem()) {
        if (QTreeWidgetItem* selected = selectedNode())
            setCurrentItem(selected, 0, QItemSelectionModel::NoUpdate);
        else if (topLevelItemCount() > 0)
            setCurrentItem(topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
    }
    viewport()->update();
}

void KeyedTree::focusOutEvent(QFocusEvent* e) {
    QTreeWidget::focusOutEvent(e);
    viewport()->update();
}

void KeyedTree::paintEvent(QPaintEvent* e) {
    QTreeWidget::paintEvent(e);
    if (hasFocus()) paintFocusFrame(*viewport());
}

void KeyedTree::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    emit mouseDown(buttonCode(e->button()), shiftCode(e->modifiers()), toTwips(p.x()),
                   toTwips(p.y()));
    if (e->button() == Qt::RightButton) return;
    QTreeWidget::mousePressEvent(e);
}

}  // namespace platform::forms
