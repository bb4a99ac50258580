// The keyed list over a model of row runs.
#include "platform/forms/keyedlistview.h"

#include <QAbstractTableModel>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <limits>
#include <vector>

#include "platform/forms/imagelist.h"
#include "platform/forms/keyed.h"
#include "platform/forms/mouse.h"
#include "platform/forms/twips.h"
#include "platform/forms/viewcues.h"

namespace platform::forms {

namespace {

// A row added on its own.
class OneRow final : public RowSource {
public:
    OneRow(QString key, QString text) : key_(std::move(key)), text_(std::move(text)) {}
    qsizetype size() const override { return 1; }
    QString keyAt(qsizetype) const override { return key_; }
    QString textAt(qsizetype) const override { return text_; }

private:
    QString key_;
    QString text_;
};

}  // namespace

// The rows as runs, each a source with one picture, placed one after the
// other. The key index covers the rows up to `indexed_` and is brought up to
// date only when a key is looked up, so a run nobody asks about by key never
// has its keys built.
class KeyedRowModel final : public QAbstractTableModel {
public:
    explicit KeyedRowModel(const QStringList& headers, QObject* parent)
        : QAbstractTableModel(parent), headers_(headers) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_);
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(headers_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.column() != 0) return {};
        const auto [run, at] = locate(index.row());
        switch (role) {
            case Qt::DisplayRole:
                return run->source->textAt(at);
            case Qt::DecorationRole:
                return run->picture;
            case KeyRole:
                return run->source->keyAt(at);
            case ImageRole:
                return run->image;
            default:
                return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < headers_.size())
            return headers_[section];
        return QAbstractTableModel::headerData(section, orientation, role);
    }

    // The last run may still grow (a run added after it ends its growth):
    // the view asks for its rows when its last row comes into sight.
    bool canFetchMore(const QModelIndex& parent) const override {
        return !parent.isValid() && !runs_.empty() && runs_.back().source->canReadMore();
    }
    void fetchMore(const QModelIndex& parent) override {
        if (!canFetchMore(parent)) return;
        const Run& run = runs_.back();
        run.source->readMore();
        const qsizetype total = run.first + run.source->size();
        if (total <= rows_) return;
        if (total > std::numeric_limits<int>::max())
            throw FormsError(errors::kInvalidPropertyValue, "Invalid property value");
        beginInsertRows({}, static_cast<int>(rows_), static_cast<int>(total - 1));
        rows_ = total;
        endInsertRows();
    }

    QString header(int section) const { return headers_[section]; }
    void setHeader(int section, const QString& text) {
        headers_[section] = text;
        emit headerDataChanged(Qt::Horizontal, section, section);
    }

    QString keyAt(int row) const {
        const auto [run, at] = locate(row);
        return run->source->keyAt(at);
    }
    QString textAt(int row) const {
        const auto [run, at] = locate(row);
        return run->source->textAt(at);
    }
    QString imageAt(int row) const { return locate(row).first->image; }

    void append(std::shared_ptr<const RowSource> source, const QString& image,
                const QIcon& picture) {
        const qsizetype n = source->size();
        if (n <= 0) return;
        if (rows_ + n > std::numeric_limits<int>::max())
            throw FormsError(errors::kInvalidPropertyValue, "Invalid property value");
        beginInsertRows({}, static_cast<int>(rows_), static_cast<int>(rows_ + n - 1));
        runs_.push_back(Run{rows_, std::move(source), image, picture});
        rows_ += n;
        endInsertRows();
    }
    void clear() {
        beginResetModel();
        runs_.clear();
        rows_ = 0;
        index_.clear();
        indexed_ = 0;
        endResetModel();
    }

    // The row of a key, or -1; the index stores rows counted from 1 so that
    // "not found" (0) stays apart from the first row.
    int find(const QString& key) const {
        catchUp();
        return static_cast<int>(index_.find(key)) - 1;
    }
    void checkFree(const QString& key) const {
        catchUp();
        index_.checkFree(key);
    }

private:
    struct Run {
        qsizetype first;
        std::shared_ptr<const RowSource> source;
        QString image;
        QIcon picture;
    };

    std::pair<const Run*, qsizetype> locate(int row) const {
        auto next = std::upper_bound(runs_.begin(), runs_.end(), qsizetype(row),
                                     [](qsizetype r, const Run& run) { return r < run.first; });
        const Run& run = *std::prev(next);
        return {&run, row - run.first};
    }

    void catchUp() const {
        for (; indexed_ < rows_; ++indexed_)
            index_.insert(keyAt(static_cast<int>(indexed_)), indexed_ + 1);
    }

    QStringList headers_;
    std::vector<Run> runs_;
    qsizetype rows_ = 0;
    mutable KeyIndex<qsizetype> index_;
    mutable qsizetype indexed_ = 0;
};

// A table rather than a tree: a tree view lays out every row it holds before
// it draws one (some 40 bytes and a model lookup a row, 400 MiB for ten
// million), where a table's rows of one fixed height cost it nothing until
// they are shown. It is dressed as a list: no grid, no row numbers, headers
// to the left, the Tab key moving on to the next control.
KeyedListView::KeyedListView(const QStringList& headers, QWidget* parent)
    : QTableView(parent), model_(new KeyedRowModel(headers, this)) {
    setModel(model_);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fitRowHeight();
    connect(this, &QAbstractItemView::doubleClicked, this, &KeyedListView::dblClick);
}

// Every row is as tall as a row of text beside a small picture is drawn by
// the style; set while the list is empty, so no row is resized afterwards
// but on a change of font or style.
void KeyedListView::fitRowHeight() {
    QStyleOptionViewItem item;
    item.initFrom(this);
    item.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
    item.text = QStringLiteral("Xg");
    const int small = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    item.decorationSize = iconSize().isValid() ? iconSize() : QSize(small, small);
    const QSize size = style()->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), this);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(std::max(size.height(), fontMetrics().height()));
}

void KeyedListView::changeEvent(QEvent* e) {
    QTableView::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) fitRowHeight();
}

// Home and End go to the first and the last row, as in any list; a table
// would go to the first and the last column of the row.
QModelIndex KeyedListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveHome || action == MoveEnd) {
        if (count() == 0) return {};
        return model_->index(action == MoveHome ? 0 : count() - 1, 0);
    }
    return QTableView::moveCursor(action, modifiers);
}

KeyedListView::~KeyedListView() = default;

void KeyedListView::checkColumn(int column) const {
    if (column < 1 || column > model_->columnCount())
        throw FormsError(errors::kElementNotFound, "Element not found");
}

QString KeyedListView::columnHeader(int column) const {
    checkColumn(column);
    return model_->header(column - 1);
}

void KeyedListView::setColumnHeader(int column, const QString& text) {
    checkColumn(column);
    model_->setHeader(column - 1, text);
}

double KeyedListView::columnWidthTwips(int column) const {
    checkColumn(column);
    return toTwips(columnWidth(column - 1));
}

void KeyedListView::setColumnWidthTwips(int column, double twips) {
    checkColumn(column);
    if (twips < 0) throw FormsError(errors::kInvalidPropertyValue, "Invalid property value");
    setColumnWidth(column - 1, toPixels(twips));
}

int KeyedListView::addItem(const QString& key, const QString& text, const QString& smallIcon) {
    model_->checkFree(key);
    const QIcon picture = keyedIcon(images_, smallIcon);
    model_->append(std::make_shared<OneRow>(key, text), smallIcon, picture);
    return count() - 1;
}

void KeyedListView::addRows(std::shared_ptr<const RowSource> rows, const QString& smallIcon) {
    const QIcon picture = keyedIcon(images_, smallIcon);
    model_->append(std::move(rows), smallIcon, picture);
}

void KeyedListView::clearItems() {
    model_->clear();
}

int KeyedListView::count() const {
    return model_->rowCount();
}

int KeyedListView::row(const QString& key) const {
    return key.isEmpty() ? -1 : model_->find(key);
}

QString KeyedListView::keyAt(int row) const {
    return model_->keyAt(row);
}
QString KeyedListView::textAt(int row) const {
    return model_->textAt(row);
}
QString KeyedListView::smallIconAt(int row) const {
    return model_->imageAt(row);
}

int KeyedListView::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void KeyedListView::setCurrentRow(int row) {
    if (row < 0) {
        selectionModel()->clearSelection();
        return;
    }
    setCurrentIndex(model_->index(row, 0));
    selectionModel()->select(model_->index(row, 0),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int KeyedListView::rowAtPoint(const QPoint& point) const {
    const QModelIndex at = indexAt(point);
    return at.isValid() ? at.row() : -1;
}

QRect KeyedListView::rowRect(int row) const {
    return visualRect(model_->index(row, 0));
}

void KeyedListView::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    emit mouseDown(buttonCode(e->button()), shiftCode(e->modifiers()), toTwips(p.x()),
                   toTwips(p.y()));
    if (e->button() == Qt::RightButton) return;
    QTableView::mousePressEvent(e);
    if (e->button() == Qt::LeftButton)
        if (const int row = rowAtPoint(p); row >= 0) emit itemClick(row);
}

void KeyedListView::mouseReleaseEvent(QMouseEvent* e) {
    QTableView::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && viewport()->rect().contains(e->position().toPoint()))
        emit click();
}

void KeyedListView::mouseDoubleClickEvent(QMouseEvent* e) {
    // The right button's second press is a press like its first.
    if (e->button() == Qt::RightButton) {
        mousePressEvent(e);
        return;
    }
    QTableView::mouseDoubleClickEvent(e);
}

void KeyedListView::keyPressEvent(QKeyEvent* e) {
    if (isContextMenuKey(*e)) {
        e->accept();
        emit contextMenuKey();
        return;
    }
    const QModelIndex before = currentIndex();
    const std::optional<int> typed = keyAsciiOf(*e);
    QTableView::keyPressEvent(e);
    if (typed) emit keyPress(*typed);
    const QModelIndex after = currentIndex();
    if (after.isValid() && after.row() != before.row()) emit itemClick(after.row());
}

void KeyedListView::contextMenuEvent(QContextMenuEvent* e) {
    // The key press that asked for it has opened the menu already.
    if (e->reason() == QContextMenuEvent::Keyboard) {
        e->accept();
        return;
    }
    QTableView::contextMenuEvent(e);
}

void KeyedListView::focusInEvent(QFocusEvent* e) {
    QTableView::focusInEvent(e);
    // A click selects what it hits itself; a list the keys come to would
    // otherwise have nothing for Enter or the arrows to act on.
    const Qt::FocusReason reason = e->reason();
    const bool byKeys = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                        reason == Qt::ShortcutFocusReason || reason == Qt::OtherFocusReason;
    if (!byKeys || count() == 0 || selectedRow() >= 0) return;
    const int row = currentIndex().isValid() ? currentIndex().row() : 0;
    setCurrentRow(row);
    emit itemClick(row);
}

bool KeyedListView::viewportEvent(QEvent* e) {
    if (showCutOffToolTip(*this, e)) return true;
    return QTableView::viewportEvent(e);
}

}  // namespace platform::forms
