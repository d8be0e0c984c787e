#pragma once

#include "core/Signal.h"

#include <QWidget>

class QLabel;

namespace vantor::surface {

class ContentView;

// The header above the tabs: the status line (the destination's name, or
// "Not Connected"), the "dice" button and the voice and drum switches. The
// status line shows what the lookup found when the surface was built, and
// "Not Connected" from the moment that destination is found gone.
class StatusHeaderView : public QWidget {
    Q_OBJECT

public:
    explicit StatusHeaderView(ContentView& content, QWidget* parent = nullptr);

private:
    QLabel* status_ = nullptr;
    Signal<>::Connection connectionLost_;
};

} // namespace vantor::surface
