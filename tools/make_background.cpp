// Build-time tool: draws the window's background picture, a device's front panel.
//
//   make_background OUT.jpg
// The picture is 665 x 517. Texts go on quiet areas: the title block at (37, 32),
// the version block at (400, 32), the instructions from (37, 300), the status line
// at (37, 483) and the install button at (207, 417, 250 x 40); the device's Settings
// button is centred at (370, 233).
#include <QCoreApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_background OUT.jpg\n");
        return 2;
    }
    QImage image(665, 517, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Backdrop: dark slate at the top, where the light title texts stand, turning
    // into a light band at the bottom for the black status line. The turn lies
    // between the last instruction (y 428 to about 448) and the status line (y 483).
    QLinearGradient backdrop(0, 0, 0, 517);
    backdrop.setColorAt(0.0, QColor(38, 44, 54));
    backdrop.setColorAt(0.87, QColor(62, 70, 84));
    backdrop.setColorAt(0.92, QColor(214, 218, 224));
    backdrop.setColorAt(1.0, QColor(236, 238, 241));
    p.fillRect(image.rect(), backdrop);

    // The device: a rounded case seen from the front, right of the instructions.
    QRectF body(300, 120, 200, 250);
    QLinearGradient metal(body.topLeft(), body.bottomRight());
    metal.setColorAt(0, QColor(196, 200, 206));
    metal.setColorAt(1, QColor(128, 134, 144));
    p.setPen(QPen(QColor(24, 26, 30), 3));
    p.setBrush(metal);
    p.drawRoundedRect(body, 18, 18);

    // Display window.
    p.setPen(QPen(QColor(20, 22, 26), 2));
    p.setBrush(QColor(30, 60, 70));
    p.drawRoundedRect(QRectF(325, 140, 150, 60), 6, 6);

    // Status LEDs.
    const QColor leds[] = {QColor(90, 220, 110), QColor(240, 190, 60), QColor(90, 150, 240)};
    for (int i = 0; i < 3; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(leds[i]);
        p.drawEllipse(QPointF(430 + 16 * i, 233), 4, 4);
    }

    // The Settings button, centred at (370, 233).
    QRadialGradient knob(QPointF(366, 229), 26);
    knob.setColorAt(0, QColor(250, 250, 250));
    knob.setColorAt(1, QColor(150, 154, 160));
    p.setPen(QPen(QColor(40, 40, 44), 2));
    p.setBrush(knob);
    p.drawEllipse(QPointF(370, 233), 22, 22);
    p.setPen(QPen(QColor(70, 74, 80), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(370, 233), 8, 8);

    // Connectors on the lower edge: power jack and USB Micro-B socket.
    p.setPen(QPen(QColor(20, 20, 24), 2));
    p.setBrush(QColor(50, 52, 58));
    p.drawEllipse(QPointF(340, 330), 12, 12);
    QPainterPath usb;
    usb.addRoundedRect(QRectF(430, 322, 30, 14), 4, 4);
    p.drawPath(usb);

    // Ventilation slots.
    p.setPen(QPen(QColor(90, 94, 100), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 6; ++i)
        p.drawLine(QPointF(330 + 24 * i, 290), QPointF(344 + 24 * i, 290));

    // A frame where the install button sits.
    p.setPen(QPen(QColor(110, 118, 130), 1));
    p.setBrush(QColor(72, 80, 94));
    p.drawRoundedRect(QRectF(203, 413, 258, 48), 8, 8);
    p.end();

    return image.save(QString::fromLocal8Bit(argv[1]), "JPG", 90) ? 0 : 1;
}
