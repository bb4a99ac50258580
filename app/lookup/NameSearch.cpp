// The name search: the main button cmdRC acts on the current target (the
// tree's node, the history's entry or the result list's item) or searches the
// typed name below the current context (or the fixed anchor), and the
// directory control's answer lists several hits, acts on a single
// workstation at once or lists the workstations of a single user. A search
// that matched nothing empties the list and heads it "No match for " + name.
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include "app/actions/RemoteActions.h"
#include "app/actions/UNCtoDOTConversion.h"
#include "app/browser/AttributeView.h"
#include "app/browser/treeExp.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/lookup/checkLogin.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/Validation.h"
#include "app/shell/frmMain.h"
#include "platform/automation/variant.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/keyedtree.h"

namespace tvn {

using platform::forms::KeyedTree;
namespace pointer = platform::forms::pointer;
namespace pa = platform::automation;

namespace {

// The hits of a search as rows of the result list: the key is the hit's full
// name, the text its dotted name, both worked out only for the rows shown
// (a short prefix may match every entry of a large directory).
// A server's hits come page by page: the next page is read when the list is
// scrolled to its end, and the status bar tells when a later page met the
// server's limit or the server was lost on the way.
class SearchHitRows final : public platform::forms::RowSource {
public:
    SearchHitRows(pa::Variant results, frmMain& form) : results_(std::move(results)), form_(form) {}
    bool canReadMore() const override {
        bool more = false;
        resumeNext([&] { more = !results_.arrayComplete(); });
        return more;
    }
    void readMore() const override {
        try {
            results_.arrayReadMore();
        } catch (...) {
            form_.setStatusText(QString("The search's further hits could not be read: ") +
                                QString::fromStdString(errorDescription(std::current_exception())));
            return;
        }
        if (!canReadMore()) {
            QString notice;
            resumeNext([&] { notice = need(form_.KDDirUser.get())->limitNotice(); });
            if (!notice.isEmpty()) form_.setStatusText(notice);
        }
    }
    qsizetype size() const override { return static_cast<qsizetype>(results_.arraySize()); }
    QString keyAt(qsizetype row) const override {
        QString fullName;
        // A hit that does not read as text shows as an empty row.
        resumeNext([&] {
            fullName = QString::fromStdString(results_.arrayItem(std::size_t(row)).toString());
        });
        return fullName;
    }
    QString textAt(qsizetype row) const override {
        QString dotted = keyAt(row);
        UNCtoDOTConversion::ConvertUNCtoDOT(dotted);
        return dotted;
    }

private:
    pa::Variant results_;
    frmMain& form_;
};

}  // namespace

void frmMain::cmdRC_Click() {
    if (treeFlag) {
        QTreeWidgetItem* node = TreeViewRC->selectedNode();
        if (!node || isContainerClass(KeyedTree::imageOf(node))) return;
        chosenKey = KeyedTree::keyOf(node);
        chosenImage = KeyedTree::imageOf(node);
        RemoteActions::StartRemoteAction(*this, chosenKey);
        return;
    }
    if (historyFlag) {
        const int item = ImageCombo1->selectedIndex();
        if (item < 0) return;
        chosenKey = ImageCombo1->keyAt(item);
        chosenImage = ImageCombo1->imageAt(item);
        RemoteActions::StartRemoteAction(*this, chosenKey);
        return;
    }
    if (resultListFlag == true) {
        lstMultiple_DblClick();
        return;
    }

    QString typed = ImageCombo1->currentText();
    if (typed.isEmpty() || typed == " ") return;
    if (Validation::CheckBlank(typed) == static_cast<float>(typed.size())) return;

    setMousePointer(pointer::kHourglass);
    setStatusText("Searching ...");
    const QString classes =
        CheckAlias->isChecked() ? "User, Alias, Workstation" : "User, Workstation";
    const QString name = ImageCombo1->currentText();
    searchedName = name;
    if (anchorFixed) currentContext = searchAnchor;
    const int scope =
        optSubOrdTree[1]->isChecked() ? KDDirCtrl::kScopeContainer : KDDirCtrl::kScopeSubtree;
    try {
        need(KDDirUser.get())->StartSearch(name + "*", classes, scope, currentContext);
    } catch (...) {
        // No answer will come to reset the pointer, and the hits of an
        // earlier search must not look like this one's.
        setMousePointer(pointer::kDefault);
        lstMultiple->clearItems();
        reportFailure("The search for " + name + " could not be run: " +
                      QString::fromStdString(errorDescription(std::current_exception())));
    }
}

void frmMain::KDDirUser_SearchCompleted(const platform::automation::Variant& Results) {
    const bool isArray = Results.isArray();
    const std::size_t hitCount = isArray ? Results.arraySize() : 0;

    if (hitCount > 1) {
        setMousePointer(pointer::kDefault);
        lstMultiple->clearItems();
        // The results are the control's copy; the rows keep their own.
        resumeNext([&] {
            lstMultiple->addRows(std::make_shared<SearchHitRows>(Results.deref(), *this), "User");
        });
        resumeNext([&] { lstMultiple->setColumnHeader(1, "Multiple users found ..."); });
        // A list the server cut short is shown as what it is.
        QString notice;
        resumeNext([&] { notice = need(KDDirUser.get())->limitNotice(); });
        setStatusText(notice);
        return;
    }

    if (hitCount == 1) {
        const QString hit = QString::fromStdString(Results.arrayItem(0).toString());
        std::optional<KDDirEntry> entry;
        const int opened =
            errorNumberOf([&] { entry.emplace(need(KDDirWSAddress.get())->OpenEntry(hit)); });
        if (opened == err::kConnectionLost) {
            setMousePointer(pointer::kDefault);
            lstMultiple->clearItems();
            reportFailure("Could not read " + hit + ": the connection to the directory is lost");
            return;
        }
        if (opened == err::kNoSuchObject) {
            setStatusText("User/workstation object not found!");
            setMousePointer(pointer::kDefault);
            return;
        }
        // When the entry could not be opened, every step that needs it fails
        // on its own and is passed over.
        auto theEntry = [&]() -> const KDDirEntry& { return *need(entry ? &*entry : nullptr); };
        resumeNext([&] { chosenKey = theEntry().EntryPath(); });
        resumeNext([&] { chosenImage = theEntry().LayoutName(); });
        resumeNext([&] { treeExp(*this, theEntry().EntryPath()); });
        // The hit's own attributes, also when the tree could not show it.
        resumeNext([&] { getKTRinfo(*this, theEntry().EntryPath()); });
        if (chosenImage == "Workstation") {
            resumeNext([&] { RemoteActions::launchWorkstation(*this, theEntry().EntryPath()); });
            setMousePointer(pointer::kDefault);
        } else {
            // The hit itself, which the tree has selected when it could show it.
            resumeNext([&] { checkLogin(*this, theEntry().EntryPath()); });
        }
        setMousePointer(pointer::kDefault);
        return;
    }

    // Nothing matched. The list and the status bar say that the search is
    // over, and the list keeps no hit of an earlier search to be acted on.
    setMousePointer(pointer::kDefault);
    lstMultiple->clearItems();
    resumeNext([&] { lstMultiple->setColumnHeader(1, "No match for " + searchedName); });
    setStatusText("No match for " + searchedName);
}

}  // namespace tvn
