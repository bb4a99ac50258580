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

template <typename Item>
class KeyIndex {
public:
    static QString fold(const QString& key) { return key.toCaseFolded(); }

    // Refuses a key that is already taken; the empty key is not indexed.
    void checkFree(const QString& key) const {
        if (!key.isEmpty() && items_.contains(fold(key)))
            throw FormsError(errors::kKeyNotUnique, "Key is not unique in collection");
    }
    void insert(const QString& key, Item item) {
        if (!key.isEmpty()) items_.insert(fold(key), item);
    }
    Item find(const QString& key) const { return key.isEmpty() ? Item{} : items_.value(fold(key)); }
    void remove(const QString& key) { items_.remove(fold(key)); }
    // Takes over every key of another index (keys it already has included).
    void insertAll(const KeyIndex& other) { items_.insert(other.items_); }
    void clear() { items_.clear(); }

private:
    QHash<QString, Item> items_;
};

// The picture of a new row or node, after refusing a taken key
// (errors::kKeyNotUnique) and a picture the image list lacks
// (errors::kElementNotFound). Without an image list there is no picture.
QIcon checkedKeyedIcon(const KeyIndex<QTreeWidgetItem*>& index, const ImageList* images,
                       const QString& key, const QString& image);
// Gives a row or node that is not placed yet its key, text and picture.
void setKeyedData(QTreeWidgetItem* item, const QString& key, const QString& text,
                  const QString& image, const QIcon& icon);

// A new row with its key, text and picture, not yet placed anywhere; the
// same refusals as checkedKeyedIcon, before anything is built.
QTreeWidgetItem* newKeyedItem(const KeyIndex<QTreeWidgetItem*>& index, const ImageList* images,
                              const QString& key, const QString& text, const QString& image);

}  // namespace platform::forms
