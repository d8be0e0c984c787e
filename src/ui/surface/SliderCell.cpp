#include "ui/surface/SliderCell.h"

#include "ui/surface/SliderPosition.h"
#include "ui/widgets/SliderValueTip.h"

#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

namespace vantor::surface {

SliderCell makeSliderCell(const QString& label, const QString& sliderName, QWidget* parent) {
    auto* cell = new QWidget(parent);
    auto* layout = new QVBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addStretch();

    auto* caption = new QLabel(label, cell);
    QFont font = caption->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    caption->setFont(font);
    caption->setAlignment(Qt::AlignCenter);
    caption->setWordWrap(true);
    layout->addWidget(caption);

    auto* slider = new QSlider(Qt::Horizontal, cell);
    slider->setObjectName(sliderName);
    slider->setRange(0, kSliderMaximum);
    // Page steps of the default 10 would make a click beside the handle
    // crawl over 16384 positions; a sixteenth of the range is usable.
    slider->setPageStep((kSliderMaximum + 1) / 16);
    // Screen readers read a slider's position as its value: the number sent.
    slider->setAccessibleName(label);
    widgets::showValueWhileMoved(slider);
    caption->setBuddy(slider);
    layout->addWidget(slider);
    layout->addStretch();
    return {cell, slider};
}

} // namespace vantor::surface
