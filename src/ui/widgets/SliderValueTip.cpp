#include "ui/widgets/SliderValueTip.h"

#include <QApplication>
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

// Qt moves a tip that is on screen to its new place, but on Wayland a popup
// stays where it was opened (Qt 6.4's plugin does not move it), and
// QToolTip::hideText() only starts a timer. Hidden, the tip is replaced by a
// new one opened at the place asked for.
void hideShownTip() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->inherits("QTipLabel") && window->isVisible()) window->hide();
    }
}

} // namespace

void showValueWhileMoved(QSlider* slider) {
    // Emitted for the user's moves only, never for setValue().
    QObject::connect(slider, &QAbstractSlider::actionTriggered, slider, [slider, shownAt = QPoint()](int) mutable {
        const QPoint handle = slider->mapToGlobal(handleCentre(*slider));
        // A step too small to move the handle changes the number in place.
        if (handle != shownAt) hideShownTip();
        shownAt = handle;
        QToolTip::showText(handle, QString::number(slider->sliderPosition()), slider);
    });
}

} // namespace vantor::widgets
