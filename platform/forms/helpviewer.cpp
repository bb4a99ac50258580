// The help window.
#include "platform/forms/helpviewer.h"

#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace platform::forms {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(640, 560);
    // A secondary window: Escape closes it, as it closes a dialog.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void HelpWindow::showFile(const QString& path) {
    file_ = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setWindowTitle(QFileInfo(path).fileName());
        browser_->setPlainText("The help file " + QFileInfo(path).fileName() +
                               " could not be opened.\n\nIt is looked for in " +
                               QFileInfo(path).absolutePath() + ".");
        return;
    }
    const QString html = QString::fromUtf8(file.readAll());
    // Links and pictures inside the file resolve relative to it.
    browser_->setSearchPaths({QFileInfo(path).absolutePath()});
    browser_->setHtml(html);
    setWindowTitle(browser_->documentTitle().isEmpty() ? QFileInfo(path).fileName()
                                                       : browser_->documentTitle());
}

}  // namespace platform::forms
