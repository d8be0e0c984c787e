#pragma once

#include <QIcon>
#include <QSize>
#include <QString>
#include <QWidget>

class QSvgRenderer;

namespace vantor::widgets {

// Our pictures are SVG files drawn by us and bundled as Qt resources by the
// views that draw them (":/artwork/<name>.svg").

// An icon drawn from one of those pictures.
QIcon artworkIcon(const QString& resource);

// One picture, resizable and fitted into at most `maximum` with its aspect
// kept; the picture sits at the lower left of whatever room it is given,
// aligned within whatever room it is given.
class ArtworkView : public QWidget {
    Q_OBJECT

public:
    ArtworkView(const QString& resource, QSize maximum, Qt::Alignment alignment, QWidget* parent = nullptr);
    ~ArtworkView() override;

    QSize sizeHint() const override;
    bool isValid() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSvgRenderer* renderer_;
    QSize maximum_;
    Qt::Alignment alignment_;
};

} // namespace vantor::widgets
