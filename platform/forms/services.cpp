// The Qt implementations of the form services.
#include "platform/forms/services.h"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <cstdio>

#include "platform/forms/helpviewer.h"

namespace platform::forms {

int Services::msgBox(const QString& text, int style, const QString& title) const {
    return messages->show(text, style, title.isEmpty() ? applicationTitle : title);
}

namespace {

class QtMessageBoxes : public MessageBoxes {
public:
    int show(const QString& text, int style, const QString& title) override {
        QMessageBox box;
        box.setWindowTitle(title);
        box.setText(text);
        switch (style & 0x70) {
            case msgbox::kCritical:
                box.setIcon(QMessageBox::Critical);
                break;
            case msgbox::kQuestion:
                box.setIcon(QMessageBox::Question);
                break;
            case msgbox::kExclamation:
                box.setIcon(QMessageBox::Warning);
                break;
            case msgbox::kInformation:
                box.setIcon(QMessageBox::Information);
                break;
            default:
                break;
        }
        switch (style & 0x0f) {
            case msgbox::kOkCancel:
                box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
                break;
            case msgbox::kYesNo:
                box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
                break;
            default:
                box.setStandardButtons(QMessageBox::Ok);
                break;
        }
        switch (box.exec()) {
            case QMessageBox::Cancel:
                return msgbox::kAnswerCancel;
            case QMessageBox::Yes:
                return msgbox::kAnswerYes;
            case QMessageBox::No:
                return msgbox::kAnswerNo;
            default:
                return msgbox::kAnswerOk;
        }
    }
};

// The hourglass covers the whole program while directory work runs, over
// every control that has a pointer of its own.
class QtMousePointer : public MousePointer {
public:
    void set(QWidget&, int shape) override {
        const bool busy = shape == pointer::kHourglass || shape == pointer::kArrowHourglass;
        const Qt::CursorShape cursor =
            shape == pointer::kHourglass ? Qt::WaitCursor : Qt::BusyCursor;
        if (busy && !overridden_)
            QApplication::setOverrideCursor(cursor);
        else if (busy)
            QApplication::changeOverrideCursor(cursor);
        else if (overridden_)
            QApplication::restoreOverrideCursor();
        overridden_ = busy;
    }

private:
    bool overridden_ = false;
};

class QtHelpViewer : public HelpViewer {
public:
    explicit QtHelpViewer(QString dir) : dir_(std::move(dir)) {}
    ~QtHelpViewer() override { delete window_; }

    void open(const QString& helpFile) override {
        if (!window_) window_ = new HelpWindow;
        window_->showFile(QDir(dir_).filePath(helpFile));
        window_->show();
        window_->raise();
        window_->activateWindow();
    }

private:
    QString dir_;
    QPointer<HelpWindow> window_;
};

class QtPopupMenus : public PopupMenus {
public:
    void popup(QMenu& menu, QWidget& relativeTo, const QPoint& pos, int) override {
        menu.popup(relativeTo.mapToGlobal(pos));
    }
};

class StandardErrorLog : public ErrorLog {
public:
    void write(const QString& line) override {
        endProgress();
        put((programName() + ": " + line + "\n").toLocal8Bit());
    }

    void progress(const QString& line) override {
        if (line.isEmpty()) return endProgress();
        if (!::isatty(STDERR_FILENO)) return;
        // Back to the line's start, the new text, the rest of the old erased.
        put("\r" + (programName() + ": " + line).toLocal8Bit() + "\x1b[K");
        progressShown_ = true;
    }

private:
    static QString programName() {
        return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    }
    static void put(const QByteArray& text) {
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
        std::fflush(stderr);
    }
    // A progress line is erased, so that what follows starts a line of its own.
    void endProgress() {
        if (!progressShown_) return;
        put("\r\x1b[K");
        progressShown_ = false;
    }

    bool progressShown_ = false;
};

}  // namespace

Services Services::qt(const QString& applicationTitle, const QString& helpDir) {
    Services s;
    s.applicationTitle = applicationTitle;
    s.messages = std::make_shared<QtMessageBoxes>();
    s.pointer = std::make_shared<QtMousePointer>();
    s.help = std::make_shared<QtHelpViewer>(helpDir);
    s.menus = std::make_shared<QtPopupMenus>();
    s.errors = std::make_shared<StandardErrorLog>();
    return s;
}

}  // namespace platform::forms
