#pragma once

#include <QWidget>

#include <functional>

namespace vantor::app {

// The splash: "vantor*2" centred on white, the "ascii1" picture at the lower
// left, in an area of the size its owner gives (the control surface's). It
// tells its owner the first time it is shown, which is when the 1.5 s until
// the control surface start.
class StartupView : public QWidget {
    Q_OBJECT

public:
    StartupView(QSize hint, QSize minimum, std::function<void()> firstShown, QWidget* parent = nullptr);

    QSize sizeHint() const override { return hint_; }
    QSize minimumSizeHint() const override { return minimum_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QSize hint_;
    QSize minimum_;
    std::function<void()> firstShown_;
};

} // namespace vantor::app
