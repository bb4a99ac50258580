// The program's help window: a Qt window that shows a help file (rich text) of
// the program, with links followed inside the window. Escape closes it.
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace platform::forms {

class HelpWindow : public QWidget {
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Shows the file, or a short note naming it when it cannot be read.
    void showFile(const QString& path);
    QString shownFile() const { return file_; }
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
    QString file_;
};

}  // namespace platform::forms
