#include "app/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <initializer_list>

namespace vtc880 {

namespace {

const QColor chipTop(0x2f, 0x66, 0x99);
const QColor chipBottom(0x1b, 0x3d, 0x60);
const QColor chipEdge(0x12, 0x2c, 0x47);
const QColor pinColour(0xa9, 0xb4, 0xc0);
const QColor arrowColour(0x8c, 0xe6, 0xa8);

// One icon drawing on a grid of `size` pixels: pins on the four sides, the body, the arrow. The
// small size is drawn pixel by pixel: smoothing would blur it.
void drawIcon(QPainter& p, int size) {
    const bool small = size < 24;
    const int bodyFrom = small ? 3 : 7;
    const int bodySize = small ? 10 : 18;
    const int pinLength = small ? 2 : 4;
    const int pinWidth = small ? 1 : 2;
    static constexpr int smallPins[] = {5, 10};
    static constexpr int largePins[] = {10, 15, 20};
    const int* pinsAt = small ? smallPins : largePins;
    const int pins = small ? 2 : 3;

    p.setRenderHint(QPainter::Antialiasing, false);
    for (int pin = 0; pin < pins; ++pin) {
        const int at = pinsAt[pin];
        p.fillRect(bodyFrom - pinLength, at, pinLength, pinWidth, pinColour); // left
        p.fillRect(bodyFrom + bodySize, at, pinLength, pinWidth, pinColour);  // right
        p.fillRect(at, bodyFrom - pinLength, pinWidth, pinLength, pinColour); // top
        p.fillRect(at, bodyFrom + bodySize, pinWidth, pinLength, pinColour);  // bottom
    }

    p.setRenderHint(QPainter::Antialiasing, !small);
    QLinearGradient fill(0, bodyFrom, 0, bodyFrom + bodySize);
    fill.setColorAt(0, chipTop);
    fill.setColorAt(1, chipBottom);
    if (small) {
        p.fillRect(bodyFrom, bodyFrom, bodySize, bodySize, chipEdge);
        p.fillRect(bodyFrom + 1, bodyFrom + 1, bodySize - 2, bodySize - 2, fill);
        // The arrow, row by row: a shaft two pixels wide, then a head narrowing to the tip.
        p.fillRect(7, 5, 2, 3, arrowColour);
        p.fillRect(5, 8, 6, 1, arrowColour);
        p.fillRect(6, 9, 4, 1, arrowColour);
        p.fillRect(7, 10, 2, 1, arrowColour);
        return;
    }
    const QRectF body(bodyFrom + 0.5, bodyFrom + 0.5, bodySize - 1, bodySize - 1);
    p.setPen(QPen(chipEdge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(body, 2.5, 2.5);

    // The arrow: a shaft and a head, pointing down into the chip.
    const double c = bodyFrom + bodySize / 2.0;
    const double top = bodyFrom + 3;
    QPolygonF arrow;
    arrow << QPointF(c - 2, top) << QPointF(c + 2, top) << QPointF(c + 2, top + 6) << QPointF(c + 6, top + 6)
          << QPointF(c, top + 12) << QPointF(c - 6, top + 6) << QPointF(c - 2, top + 6);
    p.setPen(Qt::NoPen);
    p.setBrush(arrowColour);
    p.drawPolygon(arrow);
}

// A printed-circuit trace: straight runs with a pad at each end.
void drawTrace(QPainter& p, std::initializer_list<QPointF> points) {
    QPainterPath path;
    bool first = true;
    for (const QPointF& point : points) {
        if (first) {
            path.moveTo(point);
            first = false;
        } else {
            path.lineTo(point);
        }
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xbd, 0xcd, 0xde), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(QColor(0xa5, 0xba, 0xd0), 1.5));
    p.setBrush(QColor(0xf4, 0xf7, 0xfb));
    p.drawEllipse(*points.begin(), 3.5, 3.5);
    p.drawEllipse(*(points.end() - 1), 3.5, 3.5);
}

// A large chip, faint, that the traces run into.
void drawBoardChip(QPainter& p, const QRectF& body) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc9, 0xd7, 0xe5));
    for (double y = body.top() + 10; y < body.bottom() - 6; y += 12) {
        p.drawRect(QRectF(body.left() - 7, y, 7, 5));
        p.drawRect(QRectF(body.right(), y, 7, 5));
    }
    for (double x = body.left() + 10; x < body.right() - 6; x += 12) {
        p.drawRect(QRectF(x, body.top() - 7, 5, 7));
        p.drawRect(QRectF(x, body.bottom(), 5, 7));
    }
    QLinearGradient fill(body.topLeft(), body.bottomRight());
    fill.setColorAt(0, QColor(0xd6, 0xe1, 0xec));
    fill.setColorAt(1, QColor(0xc4, 0xd3, 0xe2));
    p.setPen(QPen(QColor(0xb2, 0xc4, 0xd7), 1.5));
    p.setBrush(fill);
    p.drawRoundedRect(body, 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xb8, 0xc9, 0xdb));
    p.drawEllipse(QPointF(body.left() + 12, body.top() + 12), 4, 4); // the pin-one mark
}

} // namespace

QImage backgroundPicture() {
    QImage image(backgroundWidth, backgroundHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);

    QLinearGradient sky(0, 0, 0, backgroundHeight);
    sky.setColorAt(0, QColor(0xf6, 0xf9, 0xfc));
    sky.setColorAt(1, QColor(0xd8, 0xe3, 0xee));
    p.fillRect(image.rect(), sky);

    // An accent along the top edge.
    QLinearGradient accent(0, 0, backgroundWidth, 0);
    accent.setColorAt(0, QColor(0x1b, 0x3d, 0x60));
    accent.setColorAt(0.6, QColor(0x2f, 0x66, 0x99));
    accent.setColorAt(1, QColor(0x3f, 0x9c, 0x8a));
    p.fillRect(QRect(0, 0, backgroundWidth, 6), accent);
    p.fillRect(QRect(0, 6, backgroundWidth, 1), QColor(0xb5, 0xc7, 0xda));

    // The board: traces from the left run into a chip at the lower right.
    const QRectF chip(452, 214, 92, 74);
    drawTrace(p, {{14, 222}, {120, 222}, {140, 232}, {444, 232}});
    drawTrace(p, {{40, 246}, {180, 246}, {194, 252}, {444, 252}});
    drawTrace(p, {{22, 284}, {150, 284}, {170, 272}, {444, 272}});
    drawTrace(p, {{498, 206}, {498, 196}, {530, 164}, {600, 164}});
    drawTrace(p, {{552, 250}, {600, 250}, {620, 230}, {660, 230}});
    drawBoardChip(p, chip);

    // Panels behind the connection choices and the status line, so they read as groups.
    p.setPen(QPen(QColor(0xb5, 0xc7, 0xda), 1));
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawRoundedRect(QRectF(28.5, 80.5, 144, 92), 6, 6);
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawRoundedRect(QRectF(226.5, 140.5, 297, 59), 6, 6);

    // The program's icon beside the title.
    p.drawImage(QPoint(364, 12), iconPicture(32));
    return image;
}

QImage iconPicture(int size) {
    if (size != 16 && size != 32) {
        return iconPicture(32).scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    drawIcon(p, size);
    return image;
}

QIcon programIcon() {
    QIcon icon;
    for (const int size : {16, 32}) {
        icon.addPixmap(QPixmap::fromImage(iconPicture(size)));
    }
    return icon;
}

} // namespace vtc880
