#include "ui/surface/ContentViewWidget.h"

#include "ui/widgets/Artwork.h"
#include "ui/camera/CameraControlView.h"
#include "camera/CameraManager.h"
#include "surface/ContentView.h"
#include "ui/widgets/QtText.h"
#include "ui/surface/SliderPageView.h"
#include "ui/surface/SlidersTabView.h"
#include "ui/surface/StatusHeaderView.h"

#include <QShortcut>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vantor::surface {

namespace {

constexpr QSize kTabViewSize(800, 500);
constexpr int kSpaceAboveTabs = 15;
constexpr QSize kLogoSize(200, 200);
// The logo's centre sits this far left of and above the window's centre,
// over the upper-left part of the column.
constexpr QPoint kLogoShift(-310, -310);

// Our pictures, bundled by this folder's build as Qt resources.
const QString kLogo = QStringLiteral(":/artwork/2.svg");
const QString kGestureIcon = QStringLiteral(":/artwork/gesture.svg");
const QString kUtilityIcon = QStringLiteral(":/artwork/utility.svg");

// A screen reader cannot tell two tabs of the same title apart by their
// place alone; those carry the first and last slider they hold in their
// accessible name: "Mod: mod A rate to mod C depth".
QString accessibleTabName(TabTag tab) {
    const std::string_view title = kTabsConfig[static_cast<std::size_t>(tab.value())].title;
    const auto same = std::ranges::count(kTabsConfig, title, &TabConfig::title);
    if (same < 2) return {};
    const SliderRange range = sliderRange(tab);
    return QStringLiteral("%1: %2 to %3")
        .arg(widgets::qtText(title), widgets::qtText(kSliderLabels[static_cast<std::size_t>(range.start)]),
             widgets::qtText(kSliderLabels[static_cast<std::size_t>(range.end - 1)]));
}

// The column: the header, and the tab view under it, centred; the space
// left over goes above and below.
void layOutColumn(QWidget* surface, QWidget* header, QWidget* tabs) {
    auto* column = new QVBoxLayout(surface);
    column->addStretch();
    column->addWidget(header);
    column->addSpacing(kSpaceAboveTabs);
    column->addWidget(tabs, 0, Qt::AlignHCenter);
    column->addStretch();
}

// A MIDI service with nothing behind it: no client, no port, no destination.
class NoMidiService final : public midi::MidiService {
public:
    midi::ClientRef createClient(std::string_view) override { return 0; }
    midi::PortRef createOutputPort(midi::ClientRef, std::string_view) override { return 0; }
    std::size_t destinationCount() override { return 0; }
    std::optional<midi::EndpointRef> destinationAt(std::size_t) override { return std::nullopt; }
    midi::DestinationNames destinationNames(midi::EndpointRef) override { return {}; }
    midi::SendResult send(midi::PortRef, midi::EndpointRef, std::span<const std::uint8_t>) override {
        return midi::SendResult::NoDestination;
    }
};

class SilentConsole final : public Console {
public:
    void printLine(std::string_view) override {}
};

} // namespace

ContentViewWidget::Sizes ContentViewWidget::sizesBeforeBuilt(MainQueue& mainQueue, RandomSource& random) {
    NoMidiService noMidi;
    SilentConsole silent;
    ContentView content(noMidi, mainQueue, silent, random);
    // Inside a parent, as in the window: a window of its own has wider margins.
    QWidget parent;
    auto* surface = new QWidget(&parent);
    auto* tabs = new QWidget(surface);
    tabs->setFixedSize(kTabViewSize);
    layOutColumn(surface, new StatusHeaderView(content, surface), tabs);
    return {surface->sizeHint(), surface->minimumSizeHint()};
}

ContentViewWidget::ContentViewWidget(midi::MidiService& midiService, MainQueue& mainQueue, Console& console,
                                     RandomSource& random, camera::CameraManagerFactory makeCameraManager,
                                     QWidget* parent)
    : QWidget(parent),
      content_(std::make_unique<ContentView>(midiService, mainQueue, console, random)),
      console_(console),
      makeCameraManager_(std::move(makeCameraManager)) {
    setObjectName(QStringLiteral("contentView"));

    header_ = new StatusHeaderView(*content_, this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabView"));
    tabs_->setFixedSize(kTabViewSize);
    tabs_->setIconSize(QSize(16, 16));
    for (int number = 0; number < static_cast<int>(kTabsConfig.size()); ++number) {
        const TabTag tab(number);
        addPage(new SliderPageView(*content_, tab, tabs_), tab,
                widgets::qtText(kTabsConfig[static_cast<std::size_t>(number)].title), QIcon());
        tabs_->tabBar()->setAccessibleTabName(tabs_->indexOf(page(tab)), accessibleTabName(tab));
    }
    gesturePage_ = new QWidget(tabs_);
    gesturePage_->setObjectName(QStringLiteral("gesturePage"));
    new QVBoxLayout(gesturePage_);
    addPage(gesturePage_, kGestureTabTag, QStringLiteral("gesture"), widgets::artworkIcon(kGestureIcon));
    auto* utility = new SlidersTabView(*content_, tabs_);
    addPage(utility, kUtilityTabTag, QStringLiteral("utility"), widgets::artworkIcon(kUtilityIcon));
    layOutColumn(this, header_, tabs_);
    addPageShortcuts();

    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(tagOfIndex_.size())) {
            content_->setSelectedTab(tagOfIndex_[static_cast<std::size_t>(index)]);
        }
    });
    selectedTabChanged_ = content_->selectedTabChanged.connect([this](TabTag tag) { showSelectedTab(tag); });
    showSelectedTab(content_->selectedTab());

    logo_ = new widgets::ArtworkView(kLogo, kLogoSize, Qt::AlignCenter, this);
    logo_->setObjectName(QStringLiteral("logo"));
    logo_->resize(kLogoSize);
    // Over the tab view but under the header, whose switch labels it would
    // otherwise cover.
    logo_->raise();
    header_->raise();
}

ContentViewWidget::~ContentViewWidget() {
    // The views hold references to the core, and a tab view being torn down
    // still reports page changes: silence it and let the views go while the
    // core is alive (QWidget would delete them only after our members).
    disconnect(tabs_, nullptr, this, nullptr);
    selectedTabChanged_.disconnect();
    qDeleteAll(findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
}

void ContentViewWidget::addPage(QWidget* page, TabTag tag, const QString& label, const QIcon& icon) {
    tabs_->addTab(page, icon, label);
    tagOfIndex_.push_back(tag);
}

QWidget* ContentViewWidget::page(TabTag tag) const {
    const auto found = std::ranges::find(tagOfIndex_, tag);
    return found == tagOfIndex_.end() ? nullptr : tabs_->widget(static_cast<int>(found - tagOfIndex_.begin()));
}

void ContentViewWidget::addPageShortcuts() {
    // Window-wide, so that no focused control (a camera row's menu, say)
    // keeps them from the tab view.
    const auto add = [this](std::initializer_list<QKeyCombination> keys, int step) {
        auto* shortcut = new QShortcut(this);
        shortcut->setKeys(QList<QKeySequence>(keys.begin(), keys.end()));
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step] {
            const int count = tabs_->count();
            tabs_->setCurrentIndex((tabs_->currentIndex() + step + count) % count);
        });
    };
    add({Qt::CTRL | Qt::Key_Tab}, 1);
    // Shift turns Tab into Backtab on most keyboards.
    add({Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, Qt::CTRL | Qt::SHIFT | Qt::Key_Tab}, -1);
}

void ContentViewWidget::showSelectedTab(TabTag tag) {
    // The header is away while the gesture tab is shown.
    header_->setVisible(content_->isHeaderShown());
    const auto found = std::find(tagOfIndex_.begin(), tagOfIndex_.end(), tag);
    if (found == tagOfIndex_.end()) return;
    const QSignalBlocker blocker(tabs_);
    tabs_->setCurrentIndex(static_cast<int>(found - tagOfIndex_.begin()));
}

void ContentViewWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (cameraManager_ || !makeCameraManager_) return;
    cameraManager_ = makeCameraManager_();
    gesturePage_->layout()->addWidget(new camera::CameraControlView(*cameraManager_, *content_, console_, gesturePage_));
}

void ContentViewWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeLogo();
}

void ContentViewWidget::placeLogo() {
    if (!logo_) return;
    QRect area(QPoint(), kLogoSize);
    area.moveCenter(rect().center() + kLogoShift);
    // On a window smaller than the layout that place lies partly outside;
    // keep the logo on screen.
    area.moveTopLeft(QPoint(std::max(area.left(), 0), std::max(area.top(), 0)));
    logo_->setGeometry(area);
}

} // namespace vantor::surface
