#pragma once

#include <QWidget>

namespace vantor::surface {

class ContentView;

// The header above the tabs: the status line (the destination's name, or
// "Not Connected"), the "dice" button and the voice and drum switches. The
// status line shows what the lookup found when the surface was built and
// never changes afterwards.
class StatusHeaderView : public QWidget {
    Q_OBJECT

public:
    explicit StatusHeaderView(ContentView& content, QWidget* parent = nullptr);
};

} // namespace vantor::surface
