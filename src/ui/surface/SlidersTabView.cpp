#include "ui/surface/SlidersTabView.h"

#include "surface/ContentView.h"
#include "ui/surface/SliderCell.h"
#include "ui/surface/SliderPosition.h"
#include "ui/widgets/QtText.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace vantor::surface {

namespace {

constexpr int kSliderWidth = 200;
constexpr int kSliderSpacing = 15;
constexpr int kButtonSpacing = 20;

} // namespace

SlidersTabView::SlidersTabView(ContentView& content, QWidget* parent) : QWidget(parent), content_(content) {
    setObjectName(QStringLiteral("slidersTabView"));
    static_assert(std::tuple_size_v<decltype(sliders_)> == kUtilitySliderLabels.size());

    auto* column = new QVBoxLayout(this);

    auto* sliderRow = new QHBoxLayout;
    sliderRow->setSpacing(kSliderSpacing);
    sliderRow->addStretch();
    for (std::size_t position = 0; position < kUtilitySliderLabels.size(); ++position) {
        const SliderCell cell = makeSliderCell(widgets::qtText(kUtilitySliderLabels[position]),
                                               QStringLiteral("utilitySlider.%1").arg(position), this);
        cell.slider->setFixedWidth(kSliderWidth);
        sliderRow->addWidget(cell.cell);
        sliders_[position] = cell.slider;
        connect(cell.slider, &QSlider::valueChanged, this, [this, position](int value) {
            content_.editUtilitySlider(static_cast<int>(position), value);
        });
    }
    sliderRow->addStretch();
    column->addLayout(sliderRow, 1);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(kButtonSpacing);
    buttonRow->addStretch();
    for (std::size_t position = 0; position < kUtilityCommands.size(); ++position) {
        const auto& command = kUtilityCommands[position];
        auto* button = new QPushButton(widgets::qtText(command.label), this);
        button->setObjectName(QStringLiteral("utilityCommand.%1").arg(position));
        button->setAutoDefault(false);
        buttonRow->addWidget(button);
        connect(button, &QPushButton::clicked, this,
                [this, position] { content_.pressUtilityCommand(static_cast<int>(position)); });
    }
    buttonRow->addStretch();
    column->addLayout(buttonRow);

    for (int position = 0; position < static_cast<int>(sliders_.size()); ++position) showValue(position);
    valueChanged_ = content_.utilityValueChanged.connect([this](int position) { showValue(position); });
}

void SlidersTabView::showValue(int position) {
    if (position < 0 || position >= static_cast<int>(sliders_.size())) return;
    QSlider* slider = sliders_[static_cast<std::size_t>(position)];
    const QSignalBlocker blocker(slider);
    slider->setValue(sliderPosition(content_.utilityValues()[static_cast<std::size_t>(position)]));
}

} // namespace vantor::surface
