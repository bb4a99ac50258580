// The keyed report list.
#include "platform/forms/keyedlist.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

#include "platform/forms/imagelist.h"
#include "platform/forms/mouse.h"
#include "platform/forms/twips.h"
#include "platform/forms/viewcues.h"

namespace platform::forms {

namespace {

// Rows as high as their text would clip check boxes and let them touch: a
// row with a box gets room above and below it.
class CheckRows final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (index.data(Qt::CheckStateRole).isValid()) {
            const QWidget* view = option.widget;
            const QStyle* style = view ? view->style() : QApplication::style();
            const int box = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, view);
            size.setHeight(std::max(size.height(), box + kPadding));
        }
        return size;
    }

private:
    static constexpr int kPadding = 8;
};

}  // namespace

KeyedList::KeyedList(const QStringList& headers, QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(static_cast<int>(headers.size()));
    setHeaderLabels(headers);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(false);
    connect(this, &QTreeWidget::itemDoubleClicked, this, &KeyedList::dblClick);
    setItemDelegate(new CheckRows(this));
}

void KeyedList::checkColumn(int column) const {
    if (column < 1 || column > columnCount())
        throw FormsError(errors::kElementNotFound, "Element not found");
}

QString KeyedList::columnHeader(int column) const {
    checkColumn(column);
    return headerItem()->text(column - 1);
}

void KeyedList::setColumnHeader(int column, const QString& text) {
    checkColumn(column);
    headerItem()->setText(column - 1, text);
}

double KeyedList::columnWidthTwips(int column) const {
    checkColumn(column);
    return toTwips(columnWidth(column - 1));
}

void KeyedList::setColumnWidthTwips(int column, double twips) {
    checkColumn(column);
    if (twips < 0) throw FormsError(errors::kInvalidPropertyValue, "Invalid property value");
    setColumnWidth(column - 1, toPixels(twips));
}

QTreeWidgetItem* KeyedList::addItem(const QString& key, const QString& text,
                                    const QString& smallIcon) {
    QTreeWidgetItem* row = newKeyedItem(index_, images_, key, text, smallIcon);
    if (checkboxes_) {
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, Qt::Unchecked);
    }
    addTopLevelItem(row);
    index_.insert(key, row);
    return row;
}

void KeyedList::clearItems() {
    index_.clear();
    clear();
}

QTreeWidgetItem* KeyedList::selectedItem() const {
    const auto selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QString KeyedList::keyOf(const QTreeWidgetItem* item) {
    return item->data(0, KeyRole).toString();
}
QString KeyedList::smallIconOf(const QTreeWidgetItem* item) {
    return item->data(0, ImageRole).toString();
}
bool KeyedList::isChecked(const QTreeWidgetItem* item) {
    return item->checkState(0) == Qt::Checked;
}
void KeyedList::setChecked(QTreeWidgetItem* item, bool checked) {
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void KeyedList::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    emit mouseDown(buttonCode(e->button()), shiftCode(e->modifiers()), toTwips(p.x()),
                   toTwips(p.y()));
    if (e->button() == Qt::RightButton) return;
    QTreeWidget::mousePressEvent(e);
    if (e->button() == Qt::LeftButton)
        if (QTreeWidgetItem* item = itemAtPoint(p)) emit itemClick(item);
}

void KeyedList::mouseReleaseEvent(QMouseEvent* e) {
    QTreeWidget::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && viewport()->rect().contains(e->position().toPoint()))
        emit click();
}

void KeyedList::mouseDoubleClickEvent(QMouseEvent* e) {
    // The right button's second press is a press like its first.
    if (e->button() == Qt::RightButton) {
        mousePressEvent(e);
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(e);
}

void KeyedList::keyPressEvent(QKeyEvent* e) {
    QTreeWidgetItem* before = currentItem();
    const std::optional<int> typed = keyAsciiOf(*e);
    QTreeWidget::keyPressEvent(e);
    if (typed) emit keyPress(*typed);
    QTreeWidgetItem* after = currentItem();
    if (after && after != before) emit itemClick(after);
}

bool KeyedList::viewportEvent(QEvent* e) {
    if (showCutOffToolTip(*this, e)) return true;
    return QTreeWidget::viewportEvent(e);
}

}  // namespace platform::forms
