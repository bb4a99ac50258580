// Building both trees from the tree root, reading a level when a container
// is first expanded, and expanding the remote-action tree down to a stored
// context or to the search anchor.
#include "app/browser/treeExp.h"

#include <QBrush>
#include <QTreeWidgetItem>

#include "app/lookup/KDDirCtrl.h"
#include "app/shell/RegistrySettings.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/forms/errors.h"
#include "platform/forms/keyedtree.h"

namespace tvn {

using platform::forms::FormsError;
using platform::forms::KeyedTree;
namespace pointer = platform::forms::pointer;

namespace {

const QString kPrefix = QStringLiteral("KTR:\\\\");
const QString kPlaceholderText = QStringLiteral("_dummy_");
const QString kPlaceholderPrefix = QStringLiteral("dummy.");

// The hourglass, for as long as a level is added.
class Hourglass {
public:
    explicit Hourglass(frmMain& form) : form_(form) { form_.setMousePointer(pointer::kHourglass); }
    ~Hourglass() { form_.setMousePointer(pointer::kDefault); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

private:
    frmMain& form_;
};

QTreeWidgetItem* nodeFor(const KeyedTree& tree, const QString& key) {
    QTreeWidgetItem* node = tree.node(key);
    if (!node) throw FormsError(platform::forms::errors::kElementNotFound, "Element not found");
    return node;
}

// The nodes of one level, built but not yet in the tree: one per entry, with
// the placeholder below each entry that has subordinates.
KeyedTree::Level buildLevel(KeyedTree& tree, const std::vector<KDDirEntry>& entries,
                            const QString& parentKey) {
    KeyedTree::Level level = tree.level(parentKey);
    for (const KDDirEntry& entry : entries) {
        const QString path = entry.EntryPath();
        const QString name = entry.EntryName();
        const QString image = entry.LayoutName();
        const bool below = entry.hasSubEntries();
        try {
            QTreeWidgetItem* node = level.add(path, name, image);
            KeyedTree::setTag(node, path);
            if (below) level.addBelow(node, kPlaceholderPrefix + path, kPlaceholderText, {});
        } catch (const FormsError&) {
            // An entry of a class the tree has no picture for is left out;
            // the rest of the level is shown.
        }
    }
    return level;
}

void fillLevel(frmMain& form, KeyedTree& tree, const std::vector<KDDirEntry>& entries,
               const QString& parentKey) {
    Hourglass busy(form);
    buildLevel(tree, entries, parentKey).commit();
}

using FillLevel = void (*)(frmMain&, const std::vector<KDDirEntry>&, const QString&);

// The root node of a tree and its level, the root selected and sorted.
void browseStart(frmMain& form, KeyedTree& tree, KDDirCtrl& control, FillLevel fill) {
    const QString context = control.ContextPath();
    control.setContextPath(control.RootPath(control.TreeOf(context)));
    tree.clearNodes();
    const KDDirEntry top = control.CurrentEntry();
    const QString rootKey = top.EntryPath();
    QTreeWidgetItem* root = tree.addNode({}, rootKey, top.EntryName(), top.LayoutName());
    KeyedTree::setTag(root, rootKey);
    tree.setSorted(root);
    fill(form, control.EntriesBelow(), rootKey);
    tree.selectNode(tree.topLevelItem(0));
    const QString notice = control.limitNotice();
    form.setStatusText(notice.isEmpty() ? "Context: " + KeyedTree::tagOf(tree.selectedNode())
                                        : notice);
    root->setExpanded(true);
}

// Reads the level below node unless it has been read. The level is built
// before the placeholder goes, so that a failure leaves the node as it was.
void readLevel(frmMain& form, KeyedTree& tree, KDDirCtrl* control, QTreeWidgetItem* node) {
    const QString key = KeyedTree::keyOf(node);
    const QString placeholder = kPlaceholderPrefix + key;
    if (node->childCount() == 0 || tree.node(placeholder) != node->child(0)) return;
    Hourglass busy(form);
    const std::vector<KDDirEntry> below =
        need(control)->OpenEntry(KeyedTree::tagOf(node)).SubEntries();
    KeyedTree::Level level = buildLevel(tree, below, key);
    tree.removeNode(placeholder);
    // Sorted before the level goes in, which then goes in sorted at once.
    tree.setSorted(node);
    level.commit();
    if (const QString notice = need(control)->limitNotice(); !notice.isEmpty())
        form.setStatusText(notice);
}

// The Expand of either tree. No failure may leave the handler: a level that
// cannot be read folds its node again (the next expansion tries once more)
// and the status bar says why.
void expandNode(frmMain& form, KeyedTree& tree, KDDirCtrl* control, QTreeWidgetItem* node) {
    try {
        readLevel(form, tree, control, node);
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        resumeNext([&] {
            node->setExpanded(false);
            reportUnreadable(form, KeyedTree::tagOf(node), failure);
        });
    }
}

}  // namespace

void reportUnreadable(frmMain& form, const QString& fullName, std::exception_ptr failure) {
    form.setStatusText("Could not read " + fullName + ": " +
                       QString::fromStdString(errorDescription(failure)));
}

bool isContainerClass(const QString& image) {
    return image == "Country" || image == "Organizational Unit" || image == "Organization" ||
           image == "Top";
}

void RCFillTreeLevel(frmMain& form, const std::vector<KDDirEntry>& Entries,
                     const QString& ParentNodeKey) {
    fillLevel(form, *form.TreeViewRC, Entries, ParentNodeKey);
}

void FillTreeLevel(frmMain& form, const std::vector<KDDirEntry>& Entries,
                   const QString& ParentNodeKey) {
    fillLevel(form, *form.TreeViewWS, Entries, ParentNodeKey);
}

void BrowseStartWS(frmMain& form) {
    browseStart(form, *form.TreeViewWS, *need(form.KDDirWS.get()), FillTreeLevel);
}

void BrowseStartRC(frmMain& form) {
    KDDirCtrl& control = *need(form.KDDirRCTree.get());
    KeyedTree& tree = *form.TreeViewRC;
    browseStart(form, tree, control, RCFillTreeLevel);
    const QString rootKey = KeyedTree::keyOf(tree.topLevelItem(0));
    form.currentContext =
        RegistrySettings::setting(form, "Settings", "Current Context", control.ContextPath());
    std::exception_ptr failure;
    try {
        treeExp(form, form.currentContext);
    } catch (...) {
        failure = std::current_exception();
        if (errorNumber(failure) == err::kConnectionLost) throw;
    }
    if (failure || form.currentContext.isEmpty()) {
        // The saved context was deleted or renamed since the last run: the
        // tree root stands in for it.
        tree.selectNode(nodeFor(tree, rootKey));
        form.currentContext = rootKey;
    }
    form.setStatusText("Context: " + KeyedTree::tagOf(need(tree.selectedNode())));
}

void frmMain::TreeViewRC_Expand(QTreeWidgetItem* Node) {
    expandNode(*this, *TreeViewRC, KDDirRCTree.get(), Node);
}

void frmMain::TreeViewWS_Expand(QTreeWidgetItem* Node) {
    expandNode(*this, *TreeViewWS, KDDirWS.get(), Node);
}

void readAgain(frmMain& form, QTreeWidgetItem* node) {
    KeyedTree& tree = *form.TreeViewRC;
    const QString key = KeyedTree::keyOf(node);
    const QString text = node->text(0);
    const QString image = KeyedTree::imageOf(node);
    const bool root = image == "Top";
    const QString parentKey = root ? QString() : KeyedTree::keyOf(need(node->parent()));
    node->setExpanded(false);
    tree.removeNode(key);
    if (root) {
        BrowseStartRC(form);
        return;
    }
    QTreeWidgetItem* again = tree.addNode(parentKey, key, text, image);
    KeyedTree::setTag(again, key);
    KeyedTree::setTag(tree.addNode(key, kPlaceholderPrefix + key, kPlaceholderText, {}), key);
    treeExp(form, key);
}

void treeExp(frmMain& form, const QString& Context) {
    if (Context.isEmpty()) return;
    KeyedTree& tree = *form.TreeViewRC;
    const QString path = Context.mid(kPrefix.size());
    if (!path.contains(u'\\')) {
        tree.selectNode(nodeFor(tree, Context));
        return;
    }
    // Every container from the tree root down to the context's own container
    // is opened (which reads its level); then the context is selected.
    const QStringList levels = path.split(u'\\');
    QString accumulated;
    for (qsizetype i = 0; i + 1 < levels.size(); ++i) {
        accumulated += (i == 0 ? QString() : QStringLiteral("\\")) + levels[i];
        QTreeWidgetItem* node = nodeFor(tree, kPrefix + accumulated);
        tree.selectNode(node);
        node->setExpanded(true);
    }
    tree.selectNode(nodeFor(tree, kPrefix + accumulated + "\\" + levels.back()));
}

void markAnchor(QTreeWidgetItem* node, bool marked) {
    QFont font = node->font(0);
    font.setBold(marked);
    node->setFont(0, font);
    // The system's window colour is the list's own background.
    node->setBackground(0, marked ? QBrush(QColor(0xFF, 0xE0, 0xC0)) : QBrush());
}

void showSearchAnchor(frmMain& form) {
    const QString& anchor = form.searchAnchor;
    const qsizetype last = anchor.lastIndexOf(u'\\');
    // An anchor on a tree root has no container above it to open.
    const QString container = last < kPrefix.size() ? anchor : anchor.left(last);
    treeExp(form, container);
    // treeExp stops at the container; its level must be read for the
    // anchor's node to be there.
    nodeFor(*form.TreeViewRC, container)->setExpanded(true);
    markAnchor(nodeFor(*form.TreeViewRC, anchor), true);
}

}  // namespace tvn
