// What the keyed controls share: the item roles under which they keep key,
// image and tag, and the index that finds an item by key. Keys compare without
// regard to case, as the directory's full names do; an empty key means "no
// key" and may repeat.
#pragma once

#include <QHash>
#include <QIcon>
#include <QString>
#include <Qt>

#include "platform/forms/errors.h"

class QTreeWidgetItem;

namespace platform::forms {

class ImageList;

enum ItemRole : int {
    KeyRole = Qt::UserRole + 1,
    ImageRole,
    TagRole,
};

// A text folded for comparisons without regard to case. Most keys are
// ASCII (directory full names): those are folded here without Unicode's
// tables, and one without capitals is shared, not copied.
inline QString foldedText(const QString& text) {
    bool capitals = false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x80) return text.toCaseFolded();
        capitals = capitals || (u >= 'A' && u <= 'Z');
    }
    if (!capitals) return text;
    QString out(text.size(), Qt::Uninitialized);
    QChar* to = out.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        *to++ = QChar(u >= 'A' && u <= 'Z' ? static_cast<char16_t>(u + ('a' - 'A')) : u);
    }
    return out;
}

template <typename Item>
class KeyIndex {
public:
    static QString fold(const QString& key) { return foldedText(key); }

    // A key folded once for several steps (many keys are added at a time).
    struct Folded {
        explicit Folded(const QString& key) : text(fold(key)) {}
        QString text;
    };

    // Refuses a key that is already taken; the empty key is not indexed.
    void checkFree(const QString& key) const { checkFree(Folded(key)); }
    void checkFree(const Folded& key) const {
        if (!key.text.isEmpty() && items_.contains(key.text))
            throw FormsError(errors::kKeyNotUnique, "Key is not unique in collection");
    }
    void insert(const QString& key, Item item) { insert(Folded(key), item); }
    void insert(const Folded& key, Item item) {
        if (!key.text.isEmpty()) items_.insert(key.text, item);
    }
    Item find(const QString& key) const { return key.isEmpty() ? Item{} : items_.value(fold(key)); }
    void remove(const QString& key) { items_.remove(fold(key)); }
    void remove(const Folded& key) { items_.remove(key.text); }
    void clear() { items_.clear(); }
    qsizetype size() const { return items_.size(); }
    void reserve(qsizetype size) { items_.reserve(size); }

private:
    QHash<QString, Item> items_;
};

// The picture of a new row or node; a picture the image list lacks is
// refused (errors::kElementNotFound). Without an image list there is none.
QIcon keyedIcon(const ImageList* images, const QString& image);
// Gives a row or node that is not placed yet its key, text and picture.
void setKeyedData(QTreeWidgetItem* item, const QString& key, const QString& text,
                  const QString& image, const QIcon& icon);

// A new row with its key, text and picture, not yet placed anywhere. A taken
// key (errors::kKeyNotUnique) and an unknown picture are refused before
// anything is built.
QTreeWidgetItem* newKeyedItem(const KeyIndex<QTreeWidgetItem*>& index, const ImageList* images,
                              const QString& key, const QString& text, const QString& image);

}  // namespace platform::forms
