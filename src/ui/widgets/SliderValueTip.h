#pragma once

class QSlider;

namespace vantor::widgets {

// Lets a musician read where a parameter stands: while the user moves
// `slider` (a drag, a key, a click beside the handle) a tool tip at the
// handle shows the slider's position, and follows it. Every slider of the
// surface runs over exactly the integers it sends, so the position is the
// number that goes out. Values set by code (the dice, link copies, hand
// frames) show no tip. Qt hides the tip on the next click, on a change of
// focus, or after a while.
void showValueWhileMoved(QSlider* slider);

} // namespace vantor::widgets
