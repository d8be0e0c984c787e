#include "ui/shell/MainWindow.h"

#include "ui/shell/AboutWindow.h"
#include "ui/shell/StartupView.h"
#include "ui/surface/ContentViewWidget.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QScreen>

namespace vantor::app {

namespace {

// Behind everything lies white at 10 % over the window colour.
QColor backdrop(const QColor& window) {
    constexpr double kWhite = 0.10;
    return QColor::fromRgbF(static_cast<float>(window.redF() + (1.0 - window.redF()) * kWhite),
                            static_cast<float>(window.greenF() + (1.0 - window.greenF()) * kWhite),
                            static_cast<float>(window.blueF() + (1.0 - window.blueF()) * kWhite));
}

} // namespace

MainWindow::MainWindow(WindowSeams seams, QWidget* parent) : QMainWindow(parent), seams_(seams) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("vantor*2"));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, backdrop(colours.color(QPalette::Window)));
    setPalette(colours);
    buildMenu();
    // The splash asks for the surface's sizes: the window opens at the size it
    // keeps, so the desktop places it once, for that size, and has no other
    // size to hand back to it later.
    const auto sizes = surface::ContentViewWidget::sizesBeforeBuilt(seams_.mainQueue, seams_.random);
    setCentralWidget(new StartupView(sizes.hint, sizes.minimum, [this] { scheduleSurface(); }, this));
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenu() {
    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    QAction* about = help->addAction(QStringLiteral("About Vantor*2"));
    about->setObjectName(QStringLiteral("aboutAction"));
    about->setMenuRole(QAction::NoRole);
    // Opened from the queue, after the menu has closed.
    connect(about, &QAction::triggered, this,
            [this] { seams_.mainQueue.post(lifetime_.guard([this] { openAboutWindow(); })); });
}

void MainWindow::scheduleSurface() {
    seams_.mainQueue.postAfter(kSplashTime, lifetime_.guard([this] { showSurface(); }));
}

void MainWindow::showSurface() {
    if (!isFirstLaunch_) return;
    isFirstLaunch_ = false;
    contentView_ = new surface::ContentViewWidget(seams_.midiService, seams_.mainQueue, seams_.console,
                                                  seams_.random, seams_.makeCameraManager, this);
    // Gone at once rather than at the next turn of the event loop.
    delete takeCentralWidget();
    setCentralWidget(contentView_);
}

void MainWindow::openAboutWindow() {
    if (!aboutWindow_) {
        aboutWindow_ = new AboutWindow(this);
        QRect frame(QPoint(), aboutWindow_->size());
        if (const QScreen* screen = this->screen()) frame.moveCenter(screen->availableGeometry().center());
        aboutWindow_->move(frame.topLeft());
    }
    aboutWindow_->show();
    aboutWindow_->raise();
    aboutWindow_->activateWindow();
}

} // namespace vantor::app
