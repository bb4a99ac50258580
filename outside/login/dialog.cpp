// The login dialog and the results window.
#include "outside/login/dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "kdlogin.h"

namespace outside::login {

namespace {
constexpr int kAutoCloseMs = 2000;

QLineEdit* lineEdit(const char* objectName, const std::string& text, QWidget* parent) {
    auto* edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setObjectName(objectName);
    return edit;
}
}  // namespace

LoginDialog::LoginDialog(Request& request, Attempt attempt, QWidget* parent)
    : QDialog(parent), request_(request), attempt_(std::move(attempt)) {
    setObjectName("loginDialog");
    setWindowTitle(tr("Network Login"));
    auto* tabs = new QTabWidget(this);

    auto* loginPage = new QWidget(tabs);
    auto* loginForm = new QFormLayout(loginPage);
    name_ = lineEdit("loginName", request.loginName, loginPage);
    password_ = lineEdit("password", request.password, loginPage);
    password_->setEchoMode(QLineEdit::Password);
    loginForm->addRow(tr("Name:"), name_);
    loginForm->addRow(tr("Password:"), password_);
    loginForm->addRow(tr("Log in to:"),
                      new QLabel(QString::fromStdString((request.treeLogin ? "tree " : "server ") +
                                                        request.target()),
                                 loginPage));
    tabs->addTab(loginPage, tr("Login"));

    // The connection tab edits where to log in; without it the fields still
    // exist (hidden) so the request keeps its values.
    auto* connectionPage = new QWidget(tabs);
    auto* connectionForm = new QFormLayout(connectionPage);
    treeLogin_ = new QRadioButton(tr("Tree"), connectionPage);
    treeLogin_->setObjectName("treeLogin");
    auto* serverLogin = new QRadioButton(tr("Server"), connectionPage);
    serverLogin->setObjectName("serverLogin");
    (request.treeLogin ? treeLogin_ : serverLogin)->setChecked(true);
    tree_ = lineEdit("tree", request.tree, connectionPage);
    context_ = lineEdit("context", request.context, connectionPage);
    server_ = lineEdit("server", request.server, connectionPage);
    bindery_ = new QCheckBox(tr("Bindery connection"), connectionPage);
    bindery_->setObjectName("bindery");
    bindery_->setChecked(request.bindery);
    connectionForm->addRow(treeLogin_, serverLogin);
    connectionForm->addRow(tr("Tree:"), tree_);
    connectionForm->addRow(tr("Context:"), context_);
    connectionForm->addRow(tr("Server:"), server_);
    connectionForm->addRow(bindery_);
    if (request.tabs & 0x02)
        tabs->addTab(connectionPage, tr("Connection"));
    else
        connectionPage->hide();

    auto* scriptPage = new QWidget(tabs);
    auto* scriptLayout = new QVBoxLayout(scriptPage);
    runScript_ = new QCheckBox(tr("Run login script"), scriptPage);
    runScript_->setObjectName("runScript");
    runScript_->setChecked(request.runScript);
    scriptLayout->addWidget(runScript_);
    scriptLayout->addWidget(new QLabel(tr("This network keeps no login scripts."), scriptPage));
    if (request.tabs & 0x04)
        tabs->addTab(scriptPage, tr("Script"));
    else
        scriptPage->hide();

    if (request.tabs & 0x08) {
        auto* variables = new QLabel(tr("No login script variables are set."), tabs);
        tabs->addTab(variables, tr("Variables"));
    }

    message_ = new QLabel(this);
    message_->setObjectName("message");
    message_->setStyleSheet("color: #b00000");
    message_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { tryLogin(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(message_);
    layout->addWidget(buttons);
}

void LoginDialog::tryLogin() {
    Request trial = request_;
    trial.loginName = name_->text().toStdString();
    trial.password = password_->text().toStdString();
    trial.treeLogin = treeLogin_->isChecked();
    trial.tree = trial.treeLogin ? tree_->text().trimmed().toStdString() : std::string();
    trial.server = trial.treeLogin ? std::string() : server_->text().trimmed().toStdString();
    trial.context = context_->text().trimmed().toStdString();
    trial.bindery = !trial.treeLogin && bindery_->isChecked();
    trial.runScript = runScript_->isChecked();
    const std::string failure = attempt_(trial);
    if (!failure.empty()) {
        message_->setText(QString::fromStdString(failure));
        password_->selectAll();
        password_->setFocus();
        return;
    }
    request_ = trial;
    accept();
}

void showResults(const Request& request, const std::string& text) {
    QMessageBox box(QMessageBox::Information, QObject::tr("Login Results"),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.setObjectName("loginResults");
    if (request.autoClose) QTimer::singleShot(kAutoCloseMs, &box, &QMessageBox::accept);
    box.exec();
}

}  // namespace outside::login
