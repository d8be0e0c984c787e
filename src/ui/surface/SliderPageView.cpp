#include "ui/surface/SliderPageView.h"

#include "ui/modes/PageModeSwitchesView.h"
#include "ui/surface/LinkButtonView.h"
#include "ui/surface/MidiSliderView.h"

#include <QVBoxLayout>

namespace vantor::surface {

namespace {
constexpr int kTopSpace = 20;
}

SliderPageView::SliderPageView(ContentView& content, TabTag tab, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("sliderPage.%1").arg(tab.value()));
    auto* column = new QVBoxLayout(this);
    column->setSpacing(4);
    column->addSpacing(kTopSpace);
    column->addWidget(new MidiSliderView(content, tab, this));
    column->addWidget(new LinkButtonView(content, *linkGroupOf(tab), this));
    column->addWidget(new modes::PageModeSwitchesView(content, this));
    column->addStretch();
}

} // namespace vantor::surface
