#include "ui/widgets/SliderValueTip.h"

#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>

namespace vantor::widgets {

namespace {

// Where the style draws the handle for the slider's current position. The
// position is already the new one when a move is reported, while the value
// and the painting follow only after.
QPoint handleCentre(const QSlider& slider) {
    QStyleOptionSlider option;
    option.initFrom(&slider);
    option.orientation = slider.orientation();
    option.minimum = slider.minimum();
    option.maximum = slider.maximum();
    option.sliderPosition = slider.sliderPosition();
    option.sliderValue = slider.value();
    option.singleStep = slider.singleStep();
    option.pageStep = slider.pageStep();
    option.upsideDown = slider.orientation() == Qt::Horizontal
                            ? slider.invertedAppearance() != (option.direction == Qt::RightToLeft)
                            : !slider.invertedAppearance();
    return slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider).center();
}

} // namespace

void showValueWhileMoved(QSlider* slider) {
    // Emitted for the user's moves only, never for setValue().
    QObject::connect(slider, &QAbstractSlider::actionTriggered, slider, [slider](int) {
        QToolTip::showText(slider->mapToGlobal(handleCentre(*slider)), QString::number(slider->sliderPosition()),
                           slider);
    });
}

} // namespace vantor::widgets
