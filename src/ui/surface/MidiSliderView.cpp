#include "ui/surface/MidiSliderView.h"

#include "surface/ContentView.h"
#include "ui/surface/SliderCell.h"
#include "ui/surface/SliderPosition.h"

#include <QGridLayout>
#include <QSignalBlocker>
#include <QSlider>

namespace vantor::surface {

namespace {

constexpr int kColumns = 3;
constexpr int kRowSpacing = 20;
constexpr int kCellHeight = 70;

QString sliderObjectName(int index) { return QStringLiteral("slider.%1").arg(index, 2, 10, QLatin1Char('0')); }

} // namespace

MidiSliderView::MidiSliderView(ContentView& content, TabTag tab, QWidget* parent)
    : QWidget(parent),
      content_(content),
      tab_(tab),
      range_(sliderRange(tab)) {
    setObjectName(QStringLiteral("midiSliderView.%1").arg(tab.value()));
    auto* grid = new QGridLayout(this);
    grid->setVerticalSpacing(kRowSpacing);
    for (int column = 0; column < kColumns; ++column) grid->setColumnStretch(column, 1);

    const auto& labels = content_.sliderLabels();
    for (int index = range_.start; index < range_.end; ++index) {
        const int k = index - range_.start;
        const auto label = QString::fromStdString(labels[static_cast<std::size_t>(index)]);
        const SliderCell cell = makeSliderCell(label, sliderObjectName(index), this);
        cell.cell->setFixedHeight(kCellHeight);
        cell.cell->setMinimumWidth(10);
        grid->addWidget(cell.cell, k / kColumns, k % kColumns);
        sliders_.push_back(cell.slider);
        connect(cell.slider, &QSlider::valueChanged, this,
                [this, slider = *SliderIndex::of(index)](int value) { content_.editSlider(tab_, slider, value); });
    }
    showAllValues();

    valueChanged_ = content_.sliderValueChanged.connect([this](SliderIndex slider) { showValue(slider); });
    valuesReplaced_ = content_.sliderValuesReplaced.connect([this] { showAllValues(); });
}

void MidiSliderView::showValue(SliderIndex slider) {
    if (slider.value() < range_.start || slider.value() >= range_.end) return;
    QSlider* shown = sliders_[static_cast<std::size_t>(slider.value() - range_.start)];
    // The core wrote this value; showing it must not report it back as an edit.
    const QSignalBlocker blocker(shown);
    shown->setValue(sliderPosition(content_.sliderValues()[slider.index()]));
}

void MidiSliderView::showAllValues() {
    for (int index = range_.start; index < range_.end; ++index) showValue(*SliderIndex::of(index));
}

} // namespace vantor::surface
