// The login library's windows in a host with a QApplication: the login
// dialog (retry, cancel, tabs, changing the target) and the results window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <functional>

#include "../client/testnetwork.h"
#include "kdtypes.h"
#include "outside/client/session.h"
#include "records.h"

namespace {

using outside::client::Client;
using records::Records;
using records::Request;

// Acts once on the modal window named objectName as soon as it shows.
void whenModal(const char* objectName, std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, name = QString(objectName), act] {
        QWidget* window = QApplication::activeModalWidget();
        if (!window || window->objectName() != name) return;
        timer->stop();
        timer->deleteLater();
        act(window);
    });
    timer->start();
}

template <typename T>
T* child(QWidget* window, const char* name) {
    T* found = window->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void clickOk(QWidget* dialog) {
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

class LoginDialog : public ::testing::Test {
protected:
    testnetwork::TestNetwork net;
    Request request{.mode = 2,
                    .treeLogin = true,
                    .name = "CorpTree",
                    .loginName = "admin",
                    .password = "wrong",
                    .context = "Acme",
                    .tabs = 0x03};
};

TEST_F(LoginDialog, StaysOpenAfterAFailureAndLogsInOnRetry) {
    QString firstMessage;
    bool stillOpen = false;
    whenModal("loginDialog", [&](QWidget* dialog) {
        clickOk(dialog);
        firstMessage = child<QLabel>(dialog, "message")->text();
        stillOpen = dialog->isVisible();
        child<QLineEdit>(dialog, "password")->setText("secret");
        clickOk(dialog);
    });
    Records rec = records::build(request);
    ASSERT_EQ(records::call(rec), KD_SUCCESS);
    EXPECT_TRUE(firstMessage.contains("wrong password")) << firstMessage.toStdString();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(rec.tree(), "CorpTree");
    EXPECT_EQ(rec.loginName(), "admin.Acme");
}

TEST_F(LoginDialog, CancelAnswersCancelledAndLogsNothingIn) {
    whenModal("loginDialog", [](QWidget* dialog) {
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    Records rec = records::build(request);
    const Records before = rec;
    EXPECT_EQ(records::call(rec), KD_ERR_LOGIN_CANCELLED);
    EXPECT_EQ(rec.data, before.data);
    EXPECT_TRUE(Client::current().state().connections.empty());
}

TEST_F(LoginDialog, ShowsTheTabsTheRequestAsksFor) {
    const auto tabsShown = [&](uint8_t tabs) {
        int count = -1;
        whenModal("loginDialog", [&](QWidget* dialog) {
            count = dialog->findChild<QTabWidget*>()->count();
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        });
        request.tabs = tabs;
        Records rec = records::build(request);
        records::call(rec);
        return count;
    };
    EXPECT_EQ(tabsShown(0x01), 1);
    EXPECT_EQ(tabsShown(0x03), 2);
    EXPECT_EQ(tabsShown(0x0F), 4);
}

TEST_F(LoginDialog, TheConnectionTabCanTurnATreeLoginIntoABinderyServerLogin) {
    whenModal("loginDialog", [](QWidget* dialog) {
        child<QRadioButton>(dialog, "serverLogin")->setChecked(true);
        child<QLineEdit>(dialog, "server")->setText("OLD1");
        child<QCheckBox>(dialog, "bindery")->setChecked(true);
        child<QLineEdit>(dialog, "loginName")->setText("SUPERVISOR");
        child<QLineEdit>(dialog, "password")->setText("old");
        clickOk(dialog);
    });
    Records rec = records::build(request);
    ASSERT_EQ(records::call(rec), KD_SUCCESS);
    EXPECT_EQ(rec.server(), "OLD1");
    EXPECT_EQ(rec.tree(), "");  // so that the caller records a server login
    EXPECT_EQ(rec.loginName(), "SUPERVISOR");
    EXPECT_EQ(Client::current().state().connections.at(0).authState, 1u);
}

TEST_F(LoginDialog, ResultsWaitForTheUserUnlessAutoClosing) {
    request.mode = 5;
    request.password = "secret";
    Records login = records::build(request);
    ASSERT_EQ(records::call(login), KD_SUCCESS);

    Request results = request;
    results.mode = 1;
    results.results = true;
    QString shown;
    whenModal("loginResults", [&](QWidget* box) {
        shown = static_cast<QMessageBox*>(box)->text();
        static_cast<QMessageBox*>(box)->accept();
    });
    Records rec = records::build(results);
    ASSERT_EQ(records::call(rec), KD_SUCCESS);
    EXPECT_TRUE(shown.contains("Logged in to tree CorpTree as admin.Acme")) << shown.toStdString();

    // Auto-close: nothing clicks, the window goes by itself.
    results.autoClose = true;
    rec = records::build(results);
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(records::call(rec), KD_SUCCESS);
    EXPECT_LT(clock.elapsed(), 10000);
}

}  // namespace
