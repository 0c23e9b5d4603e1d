// A ring drawn over the background picture.
#include "gui/circle.h"

#include <QPainter>
#include <QPen>

Circle::Circle(Data data, QWidget* parent)
    : QWidget(parent)
    , data_(data)
{
    setBackgroundRole(QPalette::Base);
    setSizePolicy(QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed));
    setFixedSize(2 * data_.radius, 2 * data_.radius);
    place();
}

void Circle::setCenter(QPoint center)
{
    data_.center = center;
    place();
}

void Circle::place()
{
    move(data_.center.x() - data_.radius, data_.center.y() - data_.radius);
}

void Circle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(QBrush(data_.color, Qt::SolidPattern), data_.pen_width, Qt::SolidLine, Qt::SquareCap,
                        Qt::BevelJoin));
    painter.setBrush(Qt::NoBrush);
    // The stroke is centred on the ellipse, so shrink it by half the pen width: the
    // stroke's outer edge then touches the widget's border.
    const int r = data_.radius - data_.pen_width / 2;
    const int o = data_.radius - r;
    painter.drawEllipse(QRectF(o, o, 2 * r, 2 * r));
}
