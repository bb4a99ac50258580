// The general page and the network browser page.
#include "session/proppages.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTreeWidget>

#include <vector>

#include "kdclient.h"
#include "platform/automation/error.h"
#include "session/client.h"
#include "session/errors.h"
#include "session/namepath.h"
#include "session/netnames.h"

namespace session {
namespace {

constexpr int kNodeRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kLoadedRole = Qt::UserRole + 2;

// The page dialogs: 250 by 110 dialog units.
const QSize kPageSize(250, 110);

QString text(int number) {
    return QString::fromStdString(messageText(number));
}

// The general page's check boxes, at their places in the dialog.
struct CheckRow {
    int id;
    const char* label;
    const char* property;
    int x, y;
};
constexpr CheckRow kChecks[] = {
    {202, "AutoClose", "AutoClose", 30, 20},
    {204, "RunScripts", "RunScripts", 30, 40},
    {206, "DisplayResults", "DisplayResults", 30, 60},
    {203, "Bindery connection", "Bindery", 30, 80},
    {205, "ConnectionTab", "ConnectionTab", 140, 20},
    {207, "ScriptTab", "ScriptTab", 140, 40},
    {208, "VariablesTab", "VariablesTab", 140, 60},
};
constexpr int kCheckWidth = 100, kCheckHeight = 10;

// The container classes the browser descends into.
bool isBrowsedClass(const std::string& cls) {
    return cls == "KXP Server" || cls == "Organizational Unit" || cls == "Organization" ||
           cls == "Country" || cls == "Locality";
}

// Waits with the hourglass and without redrawing the tree while a level loads.
class LoadingLevel {
public:
    explicit LoadingLevel(QTreeWidget* tree) : tree_(tree) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        tree_->setUpdatesEnabled(false);
    }
    ~LoadingLevel() {
        tree_->setUpdatesEnabled(true);
        QApplication::restoreOverrideCursor();
    }
    LoadingLevel(const LoadingLevel&) = delete;
    LoadingLevel& operator=(const LoadingLevel&) = delete;

private:
    QTreeWidget* tree_;
};

// The tree an item lies in and the texts of the items from below the tree
// down to the item; nullptr when the item lies in no tree.
const QTreeWidgetItem* treeAbove(const QTreeWidgetItem* item, std::vector<std::string>& below) {
    below.clear();
    for (; item; item = item->parent()) {
        if (CTreeContextPPg::nodeOf(item) == CTreeContextPPg::Node::Tree) return item;
        below.insert(below.begin(), item->text(0).toStdString());
    }
    return nullptr;
}

std::string dotted(const std::vector<std::string>& topDown) {
    std::string out;
    for (auto it = topDown.rbegin(); it != topDown.rend(); ++it)
        out += (out.empty() ? "" : ".") + *it;
    return out;
}

}  // namespace

CQuillonPropPage::CQuillonPropPage() : PropertyPage(text(msg::GeneralPageCaption), kPageSize) {
    for (const CheckRow& row : kChecks) {
        auto* box = new QCheckBox(row.label);
        place(box, row.x, row.y, kCheckWidth, kCheckHeight);
        bindCheck(box, row.property);
        boxes_[row.id] = box;
    }
}

QCheckBox* CQuillonPropPage::checkBox(int controlId) const {
    const auto it = boxes_.find(controlId);
    return it == boxes_.end() ? nullptr : it->second;
}

CTreeContextPPg::CTreeContextPPg() : PropertyPage(text(msg::BrowserPageName), kPageSize) {
    auto* label = new QLabel("Double-click on the node to expand");
    place(label, 7, 7, 236, 8);
    tree_ = new QTreeWidget;
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);  // buttons, lines and lines at the root
    tree_->setIconSize(QSize(16, 16));
    place(tree_, 7, 18, 236, 85);
    connect(tree_, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { expand(item); });
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { select(item); });

    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTreeWidgetItem* root =
        addItem(nullptr, "Kalder Services", Node::Root, image::NetworkRoot, true);
    root->setExpanded(true);
    QApplication::restoreOverrideCursor();
}

CTreeContextPPg::Node CTreeContextPPg::nodeOf(const QTreeWidgetItem* item) {
    return static_cast<Node>(item->data(0, kNodeRole).toInt());
}

int CTreeContextPPg::imageOf(const QTreeWidgetItem* item) {
    return item->data(0, kImageRole).toInt();
}

QTreeWidgetItem* CTreeContextPPg::addItem(QTreeWidgetItem* parent, const QString& label, Node node,
                                          int image, bool expandable) {
    auto* item = new QTreeWidgetItem(QStringList(label));
    item->setData(0, kNodeRole, static_cast<int>(node));
    item->setData(0, kImageRole, image);
    item->setIcon(0, images_.icon(image));
    item->setChildIndicatorPolicy(expandable ? QTreeWidgetItem::ShowIndicator
                                             : QTreeWidgetItem::DontShowIndicator);
    if (parent)
        parent->addChild(item);
    else
        tree_->addTopLevelItem(item);
    return item;
}

void CTreeContextPPg::expand(QTreeWidgetItem* item) {
    // Each level is read once; expanding it again shows what was read.
    if (item->data(0, kLoadedRole).toBool()) return;
    item->setData(0, kLoadedRole, true);
    LoadingLevel loading(tree_);
    try {
        switch (nodeOf(item)) {
            case Node::Root:
                addItem(item, "Kalder Servers", Node::ServersCategory, image::Category, true);
                addItem(item, "Marrel Directory Services", Node::TreesCategory, image::Category,
                        true);
                break;
            case Node::ServersCategory:
                loadServers(item);
                break;
            case Node::TreesCategory:
                loadTrees(item);
                break;
            case Node::Server:
                item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
                break;
            case Node::Tree:
            case Node::Container:
                loadContainers(item);
                break;
        }
    } catch (const platform::automation::AutomationError& e) {
        reportFailure(QString("%1 cannot be read: error %2: %3")
                          .arg(item->text(0))
                          .arg(e.code())
                          .arg(QString::fromStdString(e.description())));
    }
}

void CTreeContextPPg::loadServers(QTreeWidgetItem* category) {
    const auto servers = serverNames();
    for (const auto& server : servers->items())
        addItem(category, QString::fromStdString(server->shortName()), Node::Server, image::Server,
                true);
}

void CTreeContextPPg::loadTrees(QTreeWidgetItem* category) {
    const auto trees = treeNames();
    for (const auto& tree : trees->items())
        addItem(category, QString::fromStdString(tree->shortName()), Node::Tree, image::Tree, true);
}

void CTreeContextPPg::loadContainers(QTreeWidgetItem* item) {
    std::vector<std::string> below;
    const QTreeWidgetItem* treeItem = treeAbove(item, below);
    DirContext context;
    check(context.create());
    int added = 0;
    // A client error ends the level where it occurs; what was found stays.
    if (context.prepareForReads() == KD_SUCCESS &&
        context.setTreeName(treeItem->text(0).toStdString()) == KD_SUCCESS &&
        context.setNameContext(std::string(kRootContext)) == KD_SUCCESS) {
        const std::string container = below.empty() ? std::string(kRootContext) : dotted(below);
        std::int32_t cursor = -1;
        char name[KD_MAX_DN] = {};
        char cls[KD_MAX_CLASS_NAME] = {};
        while (kddirs_list_subordinates(context.handle(), container.c_str(), &cursor, name, cls) ==
               KD_SUCCESS) {
            const std::string className = fromBuffer(cls, sizeof cls);
            if (!isBrowsedClass(className)) continue;
            addItem(item, QString::fromStdString(fromBuffer(name, sizeof name)), Node::Container,
                    images_.indexOfClass(className), true);
            ++added;
        }
    }
    if (added == 0) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

void CTreeContextPPg::select(QTreeWidgetItem* item) {
    selectedName_.clear();
    if (!item) return;
    std::vector<std::string> below;
    if (const QTreeWidgetItem* treeItem = treeAbove(item, below)) {
        selectedName_ =
            NamePath::fromTreeAndContext(treeItem->text(0).toStdString(), dotted(below)).fullName();
    } else if (nodeOf(item) == Node::Server) {
        selectedName_ = item->text(0).toStdString();
    }
}

}  // namespace session
