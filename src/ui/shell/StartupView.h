#pragma once

#include <QWidget>

#include <functional>

namespace vantor::app {

// The splash: "vantor*2" centred on white, the "ascii1" picture at the lower
// left. It tells its owner the first time it is shown, which is when the
// 1.5 s until the control surface start.
class StartupView : public QWidget {
    Q_OBJECT

public:
    explicit StartupView(std::function<void()> firstShown, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<void()> firstShown_;
};

} // namespace vantor::app
