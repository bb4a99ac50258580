// The design-time container window.
#include "session/host/hostwindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/automation/create.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/error.h"
#include "platform/framework/control.h"
#include "platform/framework/propframe.h"
#include "platform/registry/classes.h"
#include "platform/registry/store.h"
#include "session/host/latebound.h"

namespace quillonhost {

namespace fw = platform::framework;

namespace {

constexpr int kMagnification = 4;

QString errorText(const pa::AutomationError& e) {
    return QString::fromStdString(errorLine(e.code(), e.description()));
}

}  // namespace

// The control's drawing at its own size, and magnified beside it.
class HostWindow::ControlView : public QWidget {
public:
    explicit ControlView(fw::ControlBase* control) : control_(control) {
        const QSize extent = control_->extentPixels();
        setFixedSize(extent.width() * (1 + kMagnification) + 48,
                     extent.height() * kMagnification + 16);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const QSize extent = control_->extentPixels();
        QImage drawing(extent, QImage::Format_RGB32);
        drawing.fill(palette().color(QPalette::Window));
        {
            QPainter p(&drawing);
            control_->draw(p, QRect(QPoint(0, 0), extent));
        }
        QPainter painter(this);
        painter.drawImage(QPoint(8, 8), drawing);
        const QRect magnified(extent.width() + 32, 8, extent.width() * kMagnification,
                              extent.height() * kMagnification);
        painter.drawImage(magnified, drawing);  // nearest pixels: no smoothing asked for
    }

private:
    fw::ControlBase* control_;
};

// The container's side of the control: design mode, the window's
// background, and a fresh property list whenever a property changes.
class HostWindow::Site : public fw::ControlSite {
public:
    explicit Site(HostWindow& window) : window_(window) {}
    bool ambientUserMode() const override { return false; }
    QColor ambientBackColor() const override { return window_.palette().color(QPalette::Window); }
    // A page applies several properties at once: one refresh for them all.
    void onPropertyChanged(int) override { window_.scheduleRefresh(); }
    void onInvalidate() override {
        if (window_.view_) window_.view_->update();
    }

private:
    HostWindow& window_;
};

HostWindow::HostWindow(const std::string& progId, QWidget* parent)
    : QMainWindow(parent), progId_(progId), site_(std::make_unique<Site>(*this)) {
    setWindowTitle(QString::fromStdString(progId) + " - quillon-host");
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    auto* heading = new QLabel;
    layout->addWidget(heading);
    auto* drawingRow = new QHBoxLayout;
    layout->addLayout(drawingRow);

    properties_ = new QTreeWidget;
    properties_->setColumnCount(3);
    properties_->setHeaderLabels({"Property", "Value", "Access"});
    properties_->setRootIsDecorated(false);
    properties_->header()->setStretchLastSection(false);
    properties_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    properties_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    properties_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    layout->addWidget(properties_, 1);

    auto* buttons = new QHBoxLayout;
    propertiesButton_ = new QPushButton("Properties...");
    auto* refresh = new QPushButton("Refresh");
    auto* about = new QPushButton("About...");
    auto* close = new QPushButton("Close");
    buttons->addWidget(propertiesButton_);
    buttons->addWidget(refresh);
    buttons->addWidget(about);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    status_ = new QLabel;
    status_->setWordWrap(true);
    status_->setStyleSheet("color: #a00000");
    layout->addWidget(status_);
    setCentralWidget(central);

    connect(propertiesButton_, &QPushButton::clicked, this, [this] { openProperties(); });
    connect(refresh, &QPushButton::clicked, this, [this] { refreshProperties(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(about, &QPushButton::clicked, this, [this] {
        try {
            object_->call("AboutBox");
        } catch (const pa::AutomationError& e) {
            showStatus(errorText(e));
        }
    });

    try {
        const auto registration = platform::registry::ClassStores::openDefault();
        if (const auto clsid = registration.clsidFromProgId(progId))
            if (const auto cls = registration.findClass(*clsid))
                className_ = QString::fromStdString(cls->name);
        object_ = pa::createObject(registration, progId);
    } catch (const pa::AutomationError& e) {
        showStatus(
            QString("%1 cannot be created: %2").arg(QString::fromStdString(progId), errorText(e)));
    } catch (const std::exception& e) {
        showStatus(QString::fromStdString(progId + " cannot be created: " + e.what()));
    }
    control_ = dynamic_cast<fw::ControlBase*>(object_.get());
    if (control_) {
        control_->setClientSite(site_.get());
        view_ = new ControlView(control_);
        drawingRow->addWidget(view_);
    }
    drawingRow->addStretch();
    heading->setText(QString("<b>%1</b> (%2), design mode")
                         .arg(className_.isEmpty() ? QString::fromStdString(progId) : className_,
                              QString::fromStdString(progId)));
    propertiesButton_->setEnabled(control_ && !control_->propertyPages().empty());
    about->setEnabled(object_ && object_->hasMember("AboutBox"));
    refreshProperties();
    resize(560, 480);
}

HostWindow::~HostWindow() {
    if (control_) control_->setClientSite(nullptr);
}

QString HostWindow::statusText() const {
    return status_->text();
}

void HostWindow::showStatus(const QString& text) {
    status_->setText(text);
}

void HostWindow::scheduleRefresh() {
    if (refreshPending_) return;
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] { refreshProperties(); });
}

void HostWindow::refreshProperties() {
    refreshPending_ = false;
    properties_->clear();
    if (!object_) return;
    const pa::DispatchMap& map = object_->dispatchMap();
    for (const pa::Member& m : map.members()) {
        if (m.kind != pa::MemberKind::PropertyGet || !m.params.empty() || m.hidden ||
            !m.inTypeLibrary)
            continue;
        QString value;
        try {
            value = QString::fromStdString(
                summarizeValue(object_->invoke(m.id, pa::CallKind::Get, {})));
        } catch (const pa::AutomationError& e) {
            value = errorText(e);
        }
        const bool settable = map.find(m.id, pa::MemberKind::PropertyPut) != nullptr;
        auto* row = new QTreeWidgetItem(
            {QString::fromStdString(m.name), value, settable ? "read/write" : "read only"});
        row->setToolTip(0, QString::fromStdString(m.helpString));
        properties_->addTopLevelItem(row);
    }
    if (view_) view_->update();
}

fw::PropertyFrame* HostWindow::openProperties() {
    if (!control_) return nullptr;
    std::vector<pa::Ref<fw::PropertyPageObject>> pages;
    try {
        pages = fw::PropertyFrame::createPages(control_->propertyPages());
    } catch (const pa::AutomationError& e) {
        showStatus("The property pages cannot be opened: " + errorText(e));
        return nullptr;
    }
    auto* frame =
        new fw::PropertyFrame(className_.isEmpty() ? QString::fromStdString(progId_) : className_,
                              {object_}, std::move(pages), this);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->open();
    return frame;
}

}  // namespace quillonhost
