// The login library's windows: the login dialog (name, password and, on the
// tabs the request asks for, tree, context, server and script choice) and the
// results window. Only used when the host runs a QApplication.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "outside/login/request.h"

class QLabel;
class QLineEdit;
class QCheckBox;
class QRadioButton;

namespace outside::login {

class LoginDialog : public QDialog {
public:
    // attempt logs in with the request as the dialog has filled it in and
    // answers "" on success, else what went wrong; the dialog stays open
    // until an attempt succeeds or the user cancels.
    using Attempt = std::function<std::string(Request&)>;
    LoginDialog(Request& request, Attempt attempt, QWidget* parent = nullptr);

private:
    void tryLogin();

    Request& request_;
    Attempt attempt_;
    QLineEdit* name_;
    QLineEdit* password_;
    QLineEdit* tree_;
    QLineEdit* context_;
    QLineEdit* server_;
    QRadioButton* treeLogin_;
    QCheckBox* bindery_;
    QCheckBox* runScript_;
    QLabel* message_;
};

// Shows text in the results window; it closes by itself after a moment when
// the request asks for auto-close, else when the user dismisses it.
void showResults(const Request& request, const std::string& text);

}  // namespace outside::login
