// Pictures addressed by key, shared by the trees, lists and the name box. The
// program names its pictures after the directory classes; classImages() draws
// one clear icon for each of them so that no image files have to be shipped.
#pragma once

#include <QHash>
#include <QIcon>
#include <QString>
#include <QStringList>

namespace platform::forms {

class ImageList {
public:
    // Adding a key that is already present raises errors::kKeyNotUnique.
    void add(const QString& key, const QIcon& icon);
    bool contains(const QString& key) const { return icons_.contains(key); }
    // Raises errors::kElementNotFound for a key that is not in the list.
    QIcon icon(const QString& key) const;
    QStringList keys() const { return order_; }

    // "Top", "Alias", "Country", "Organization", "Organizational Unit", "User"
    // and "Workstation", each with its own picture.
    static ImageList classImages();

private:
    QHash<QString, QIcon> icons_;
    QStringList order_;
};

}  // namespace platform::forms
