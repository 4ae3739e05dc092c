// Draws the wizard's 435 x 57 header picture (24 bits per pixel): white where the page title
// and subtitle stand, a blue band with a coder and its radio waves at the right.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");  // drawing needs no display
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarvelin_header_picture OUTPUT.png\n");
        return 64;
    }
    QImage image(435, 57, QImage::Format_RGB888);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 435, 0);
    sky.setColorAt(0.0, QColor(255, 255, 255));
    sky.setColorAt(0.55, QColor(255, 255, 255));
    sky.setColorAt(1.0, QColor(196, 218, 242));
    painter.fillRect(image.rect(), sky);

    // The coder: a rack unit with a display and two status lights.
    const QRectF unit(330, 24, 62, 22);
    painter.setPen(QPen(QColor(40, 62, 96), 1.2));
    painter.setBrush(QColor(72, 100, 140));
    painter.drawRoundedRect(unit, 3, 3);
    painter.setBrush(QColor(150, 230, 170));
    painter.setPen(Qt::NoPen);
    painter.drawRect(QRectF(336, 29, 28, 9));
    painter.setBrush(QColor(255, 200, 60));
    painter.drawEllipse(QPointF(373, 34), 2.5, 2.5);
    painter.setBrush(QColor(120, 220, 120));
    painter.drawEllipse(QPointF(382, 34), 2.5, 2.5);

    // The mast and its waves.
    painter.setPen(QPen(QColor(40, 62, 96), 2));
    painter.drawLine(QPointF(410, 46), QPointF(410, 16));
    painter.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 3; ++ring) {
        const double r = 5.0 * ring;
        const QRectF box(410 - r, 16 - r, 2 * r, 2 * r);
        painter.setPen(QPen(QColor(30, 90, 170, 230 - 50 * ring), 1.6));
        painter.drawArc(box, -40 * 16, 80 * 16);
        painter.drawArc(box, 140 * 16, 80 * 16);
    }
    painter.end();
    return image.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
