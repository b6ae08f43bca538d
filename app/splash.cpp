#include "splash.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "main_window.h"

namespace zyvora_app {

namespace {

constexpr int kSide = 254;

}  // namespace

QPixmap splash_picture() {
    QPixmap picture(kSide, kSide);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, kSide);
    sky.setColorAt(0.0, QColor(0x0d, 0x2b, 0x4f));
    sky.setColorAt(1.0, QColor(0x1f, 0x6f, 0x8b));
    p.fillRect(picture.rect(), sky);

    // A mast on a hill sending rings of radio waves.
    const QPointF tip(127, 100);
    for (int ring = 1; ring <= 4; ++ring) {
        const qreal r = 13.0 * ring;
        QColor wave(0xff, 0xd5, 0x4f);
        wave.setAlphaF(1.0 - 0.2 * ring);
        p.setPen(QPen(wave, 3, Qt::SolidLine, Qt::RoundCap));
        const QRectF box(tip.x() - r, tip.y() - r, 2 * r, 2 * r);
        p.drawArc(box, 30 * 16, 120 * 16);
        p.drawArc(box, 210 * 16, 120 * 16);
    }
    QPainterPath hill;
    hill.moveTo(0, 190);
    hill.cubicTo(70, 150, 180, 150, kSide, 185);
    hill.lineTo(kSide, kSide);
    hill.lineTo(0, kSide);
    hill.closeSubpath();
    p.fillPath(hill, QColor(0x12, 0x3d, 0x2c));
    // A lattice mast: two legs narrowing to the tip, braced in zigzag.
    p.setPen(QPen(QColor(0xe8, 0xe8, 0xe8), 2, Qt::SolidLine, Qt::RoundCap));
    const qreal base = 180, half = 14;
    p.drawLine(QPointF(tip.x() - half, base), tip);
    p.drawLine(QPointF(tip.x() + half, base), tip);
    p.setPen(QPen(QColor(0xc8, 0xc8, 0xc8), 1));
    for (int k = 0; k < 6; ++k) {
        const auto at = [&](qreal t, qreal side) {
            return QPointF(tip.x() + side * half * t, tip.y() + (base - tip.y()) * t);
        };
        const qreal t0 = 1.0 - k / 6.0, t1 = 1.0 - (k + 1) / 6.0;
        p.drawLine(at(t0, -1), at(t0, 1));
        p.drawLine(at(t0, k % 2 ? 1 : -1), at(t1, k % 2 ? -1 : 1));
    }
    p.setBrush(QColor(0xff, 0x5a, 0x36));
    p.setPen(Qt::NoPen);
    p.drawEllipse(tip, 5, 5);

    p.setPen(Qt::white);
    QFont title = p.font();
    title.setPixelSize(22);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRectF(0, 10, kSide, 30), Qt::AlignHCenter, QStringLiteral("Zyvora Plus 2.0"));
    QFont small = p.font();
    small.setPixelSize(13);
    small.setBold(false);
    p.setFont(small);
    p.drawText(QRectF(0, 214, kSide, 20), Qt::AlignHCenter, QStringLiteral("Configurator"));
    p.end();
    return picture;
}

TSplashScreen::TSplashScreen()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("TSplashScreen"));
    setFixedSize(kSide, kSide);
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(splash_picture());
    image->setGeometry(0, 0, kSide, kSide);
    centre_on_screen(this);
}

}  // namespace zyvora_app
