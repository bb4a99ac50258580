// The main window on the registered directory control, reading the browser
// tests' directory (tests/data/browser/directory.ldif: the tree Corp), with
// the fake session control and recording services. Every call tvn makes of
// a directory control is recorded, so tests can see what was read.
#pragma once

#include <QTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "directoryfixture.h"
#include "platform/forms/keyedtree.h"

class BrowserTest : public DirectoryTest {
protected:
    void SetUp() override {
        DirectoryTest::SetUp();
        useDirectory(testsupport::dataDir() / "browser" / "directory.ldif");
    }
    // A copy of the test directory, in use from now on, that a test may
    // change or remove.
    std::filesystem::path useCopyOfDirectory() {
        const auto copy = testsupport::freshDir("directory") / "directory.ldif";
        std::filesystem::copy_file(testsupport::dataDir() / "browser" / "directory.ldif", copy);
        useDirectory(copy);
        return copy;
    }

    static QString key(const QString& path = {}) {
        return path.isEmpty() ? QString("KTR:\\\\Corp") : "KTR:\\\\Corp\\" + path;
    }
    platform::forms::KeyedTree& rc() { return *form->TreeViewRC; }
    platform::forms::KeyedTree& ws() { return *form->TreeViewWS; }
    QTreeWidgetItem* rcNode(const QString& path = {}) { return rc().node(key(path)); }

    static QStringList childTexts(const QTreeWidgetItem* node) {
        QStringList texts;
        for (int i = 0; i < node->childCount(); ++i) texts << node->child(i)->text(0);
        return texts;
    }
    // Reads of entries by the remote-action tree's control.
    size_t rcReads() const { return objects.callsOf(0, "OpenEntry"); }
    size_t rcCalls() const {
        return static_cast<size_t>(std::count_if(objects.calls.begin(), objects.calls.end(),
                                                 [](const auto& c) { return c.control == 0; }));
    }

    // The mouse on a node of a shown tree, as the administrator uses it.
    static QPoint centreOf(platform::forms::KeyedTree& tree, QTreeWidgetItem* node) {
        if (!node) throw std::invalid_argument("the node is not in the tree");
        tree.scrollToItem(node);
        return tree.visualItemRect(node).center();
    }
    static void click(platform::forms::KeyedTree& tree, QTreeWidgetItem* node) {
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, centreOf(tree, node));
    }
    static void rightPress(platform::forms::KeyedTree& tree, QPoint at) {
        QTest::mousePress(tree.viewport(), Qt::RightButton, {}, at);
    }
};
