#include "ui/camera/CameraControlView.h"

#include "ui/camera/CameraPreview.h"
#include "surface/ContentView.h"
#include "surface/ParameterCatalogue.h"
#include "ui/widgets/QtText.h"
#include "ui/widgets/SliderValueTip.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <array>

namespace vantor::camera {

namespace {

// The camera area, the button and five rows only just fit the tab's page:
// a row's menu sits right on its slider, with a little air between rows.
constexpr int kRowSpacing = 6;

// What a screen reader calls each row's slider, in the order of the rows
// (the order of TrackedValue).
constexpr std::array<const char*, kTrackedValueCount> kRowValueNames{
    "thumb height", "index finger height", "middle finger height", "pinch", "tilt"};

QString rowName(std::size_t row, const char* part) { return QStringLiteral("cameraRow.%1.%2").arg(row).arg(part); }

constexpr int kSliderMaximum = CameraRows::kPositionMaximum;

} // namespace

CameraControlView::CameraControlView(CameraManager& cameraManager, surface::ContentView& content, Console& console,
                                     QWidget* parent)
    : QWidget(parent),
      cameraManager_(cameraManager),
      content_(content),
      rows_(cameraManager, content.midiManager(), console) {
    setObjectName(QStringLiteral("cameraControlView"));

    // Should the page be smaller than the column (a larger font, say), the
    // column scrolls rather than squeezing the camera area.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // It follows the focus through the rows; it is no Tab stop itself.
    scroll->setFocusPolicy(Qt::NoFocus);
    outer->addWidget(scroll);

    auto* column = new QWidget(scroll);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(layout->contentsMargins().left(), 0, layout->contentsMargins().right(), 0);
    layout->setSpacing(kRowSpacing);

    preview_ = new CameraPreview(cameraManager_.session(), column);
    preview_->setObjectName(QStringLiteral("cameraArea"));
    layout->addWidget(preview_, 0, Qt::AlignHCenter);

    toggle_ = new QPushButton(column);
    toggle_->setObjectName(QStringLiteral("cameraToggle"));
    connect(toggle_, &QPushButton::clicked, this, [this] { toggleCamera(); });
    layout->addWidget(toggle_, 0, Qt::AlignHCenter);

    for (std::size_t row = 0; row < kTrackedValueCount; ++row) buildRow(row, column);
    layout->addStretch();
    scroll->setWidget(column);

    showCameraEnabled(content_.isCameraEnabled());
    for (std::size_t row = 0; row < kTrackedValueCount; ++row) showPosition(row);
    preview_->setTrackingPoints(cameraManager_.handTrackingPoints());
    const auto showNotice = [this](CameraNotice notice) { preview_->setNotice(widgets::qtText(noticeText(notice))); };
    showNotice(cameraManager_.notice());
    noticeChanged_ = cameraManager_.noticeChanged().connect(showNotice);

    rowChanged_ = rows_.rowChanged().connect([this](std::size_t row) { showPosition(row); });
    pointsChanged_ = cameraManager_.handTrackingPointsChanged().connect(
        [this](const std::vector<TrackingPoint>& points) { preview_->setTrackingPoints(points); });
    cameraEnabledChanged_ = content_.cameraEnabledChanged.connect([this](bool enabled) { showCameraEnabled(enabled); });
}

void CameraControlView::buildRow(std::size_t row, QWidget* parent) {
    auto* pickerLine = new QHBoxLayout;
    pickerLine->setSpacing(8);
    auto* label = new QLabel(QStringLiteral("variables"), parent);
    auto* picker = new QComboBox(parent);
    picker->setObjectName(rowName(row, "picker"));
    picker->setFixedWidth(kPickerWidth);
    // On Linux a screen reader names a combo box by its current item, so
    // the description says which row's value the menu is for.
    picker->setAccessibleName(QStringLiteral("variables"));
    const QString valueName = QString::fromLatin1(kRowValueNames[row]);
    picker->setAccessibleDescription(QStringLiteral("variables for %1").arg(valueName));
    for (int index = 0; index < surface::SliderIndex::kCount; ++index) {
        const auto slider = *surface::SliderIndex::of(index);
        picker->addItem(widgets::qtText(surface::kSliderLabels[slider.index()]), surface::nrpnOfSlider(slider).value());
    }
    label->setBuddy(picker);
    pickerLine->addStretch();
    pickerLine->addWidget(label);
    pickerLine->addWidget(picker);
    pickerLine->addStretch();

    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(rowName(row, "slider"));
    slider->setRange(0, kSliderMaximum);
    // The same page step as the surface's sliders.
    slider->setPageStep((kSliderMaximum + 1) / 16);
    slider->setAccessibleName(valueName);
    widgets::showValueWhileMoved(slider);
    // The slider tells a listener what the menu above it chose.
    const auto choose = [this, row, picker, slider](int index) {
        if (index < 0) return;
        rows_.assign(row, picker->itemData(index).toInt());
        slider->setAccessibleDescription(QStringLiteral("Drives ") + picker->itemText(index));
    };
    picker->setCurrentIndex(picker->findData(rows_.assignments()[row]));
    choose(picker->currentIndex());
    connect(picker, &QComboBox::currentIndexChanged, this, choose);
    connect(slider, &QSlider::valueChanged, this, [this, row](int position) { rows_.drag(row, position); });

    auto* pair = new QVBoxLayout;
    pair->setSpacing(0);
    pair->addLayout(pickerLine);
    pair->addWidget(slider);
    static_cast<QVBoxLayout*>(parent->layout())->addLayout(pair);
    sliders_.push_back(slider);
}

void CameraControlView::toggleCamera() {
    const bool enabled = !content_.isCameraEnabled();
    // The area shows or hides on the change and starts or stops the session
    // itself; the calls here repeat that harmlessly.
    content_.setCameraEnabled(enabled);
    if (enabled) {
        cameraManager_.session().startRunning();
    } else {
        cameraManager_.session().stopRunning();
    }
}

void CameraControlView::showCameraEnabled(bool enabled) {
    toggle_->setText(enabled ? QStringLiteral("Disable Camera") : QStringLiteral("Enable Camera"));
    preview_->setVisible(enabled);
}

void CameraControlView::showPosition(std::size_t row) {
    // The rows hold this value already; showing it must not drag it back.
    const QSignalBlocker blocker(sliders_[row]);
    sliders_[row]->setValue(rows_.position(row));
}

} // namespace vantor::camera
