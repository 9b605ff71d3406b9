#include "Banner.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QWidget>

QPixmap bannerFor(const QWidget& widget) {
    QSvgRenderer svg(QStringLiteral(":/banner.svg"));
    const qreal ratio = widget.devicePixelRatioF();
    QPixmap picture(svg.defaultSize() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    svg.render(&painter, QRectF(QPointF(0, 0), svg.defaultSize()));
    return picture;
}
