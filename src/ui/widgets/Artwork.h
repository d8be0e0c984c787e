#pragma once

#include <QIcon>
#include <QSize>
#include <QString>
#include <QWidget>

class QSvgRenderer;

namespace vantor::app {

// The program's pictures, drawn by us and bundled as Qt resources.
namespace artwork {
inline const QString kLogo = QStringLiteral(":/artwork/2.svg");
inline const QString kAscii1 = QStringLiteral(":/artwork/ascii1.svg");
inline const QString kGestureIcon = QStringLiteral(":/artwork/gesture.svg");
inline const QString kUtilityIcon = QStringLiteral(":/artwork/utility.svg");
} // namespace artwork

// An icon drawn from one of the pictures above.
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

} // namespace vantor::app
