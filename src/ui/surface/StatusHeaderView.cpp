#include "ui/surface/StatusHeaderView.h"

#include "ui/modes/PageModeSwitchesView.h"
#include "surface/ContentView.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantor::surface {

namespace {

QString statusText(const midi::MidiManager& manager) {
    const auto& name = manager.connectedDeviceName();
    return name ? QString::fromStdString(*name) : QStringLiteral("Not Connected");
}

} // namespace

StatusHeaderView::StatusHeaderView(ContentView& content, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("statusHeader"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);

    auto& midi = content.midiManager();
    status_ = new QLabel(statusText(midi), this);
    status_->setObjectName(QStringLiteral("statusLine"));
    QFont headline = status_->font();
    headline.setBold(true);
    headline.setPointSizeF(headline.pointSizeF() * 1.3);
    status_->setFont(headline);
    status_->setAlignment(Qt::AlignCenter);
    status_->setMargin(6);
    column->addWidget(status_);
    connectionLost_ = midi.connectionLost.connect([this, &midi] { status_->setText(statusText(midi)); });

    auto* dice = new QPushButton(QStringLiteral("dice"), this);
    dice->setObjectName(QStringLiteral("diceButton"));
    dice->setAutoDefault(false);
    connect(dice, &QPushButton::clicked, this, [&content] { content.rollDice(); });
    column->addWidget(dice, 0, Qt::AlignHCenter);

    column->addWidget(new modes::HeaderModeSwitchesView(content, this));
}

} // namespace vantor::surface
