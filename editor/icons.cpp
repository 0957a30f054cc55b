#include "editor/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace orvella {

namespace {

const QColor Ink(0x30, 0x38, 0x48);
const QColor Wave(0x1c, 0x9e, 0x7a);
const QColor Accent(0x2a, 0x6f, 0xd6);
const QColor Danger(0xc8, 0x32, 0x32);

// A short wave across the box, its amplitude shaped by envelope(0..1) -> 0..1.
template <typename Envelope>
void DrawWave(QPainter& p, const QRectF& box, Envelope envelope, bool flip = false) {
    QPainterPath path;
    const int steps = 48;
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        const double a = envelope(t) * std::sin(t * 6 * M_PI) * (flip ? -1 : 1);
        const QPointF point(box.left() + t * box.width(), box.center().y() - a * box.height() / 2);
        if (i == 0) {
            path.moveTo(point);
        } else {
            path.lineTo(point);
        }
    }
    p.setPen(QPen(Wave, 1.6));
    p.drawPath(path);
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
    p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const double len = std::hypot(d.x(), d.y());
    const QPointF u = d / len, n(-u.y(), u.x());
    QPolygonF head{to + u * 2.5, to - u * 5 + n * 4, to - u * 5 - n * 4};
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawPolygon(head);
    p.setBrush(Qt::NoBrush);
}

void Magnifier(QPainter& p, char sign) {
    p.setPen(QPen(Ink, 2.2));
    p.drawEllipse(QPointF(13, 13), 8, 8);
    p.setPen(QPen(Ink, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 19), QPointF(27, 27));
    p.setPen(QPen(Accent, 2.2));
    if (sign == '+' || sign == '-') p.drawLine(QPointF(9, 13), QPointF(17, 13));
    if (sign == '+') p.drawLine(QPointF(13, 9), QPointF(13, 17));
    if (sign == 'f') {
        p.drawRect(QRectF(9.5, 9.5, 7, 7));
    }
}

void Draw(QPainter& p, TGlyph glyph) {
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF waveBox(3, 8, 26, 16);
    switch (glyph) {
    case TGlyph::Open: {
        p.setPen(QPen(Ink, 1.5));
        p.setBrush(QColor(0xf2, 0xc4, 0x4c));
        p.drawPolygon(QPolygonF{{3, 8}, {12, 8}, {14, 11}, {28, 11}, {28, 26}, {3, 26}});
        p.setBrush(QColor(0xf8, 0xd8, 0x78));
        p.drawPolygon(QPolygonF{{6, 15}, {31, 15}, {28, 26}, {3, 26}});
        break;
    }
    case TGlyph::Save:
        p.setPen(QPen(Ink, 1.5));
        p.setBrush(Accent);
        p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 4, 14, 9));
        p.drawRect(QRectF(8, 18, 16, 10));
        break;
    case TGlyph::Cut:
        p.setPen(QPen(Ink, 2));
        p.drawLine(QPointF(9, 4), QPointF(21, 21));
        p.drawLine(QPointF(23, 4), QPointF(11, 21));
        p.setPen(QPen(Danger, 2));
        p.drawEllipse(QPointF(9, 24), 4, 4);
        p.drawEllipse(QPointF(23, 24), 4, 4);
        break;
    case TGlyph::Copy:
        p.setPen(QPen(Ink, 1.5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 4, 15, 19));
        p.drawRect(QRectF(12, 10, 15, 19));
        p.setPen(QPen(Accent, 1.2));
        for (int y = 15; y <= 25; y += 4)
            p.drawLine(QPointF(15, y), QPointF(24, y));
        break;
    case TGlyph::Paste:
        p.setPen(QPen(Ink, 1.5));
        p.setBrush(QColor(0xc8, 0x96, 0x5a));
        p.drawRoundedRect(QRectF(5, 5, 20, 24), 2, 2);
        p.setBrush(QColor(0xa0, 0xa0, 0xa0));
        p.drawRect(QRectF(10, 3, 10, 5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(13, 12, 15, 17));
        break;
    case TGlyph::Delete:
        p.setPen(QPen(Danger, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(24, 24));
        p.drawLine(QPointF(24, 8), QPointF(8, 24));
        break;
    case TGlyph::Undo:
    case TGlyph::Redo: {
        const bool undo = glyph == TGlyph::Undo;
        p.setPen(QPen(Accent, 2.4, Qt::SolidLine, Qt::RoundCap));
        QPainterPath path;
        path.moveTo(undo ? 26 : 6, 24);
        path.cubicTo(undo ? 26 : 6, 10, undo ? 14 : 18, 9, undo ? 9 : 23, 12);
        p.drawPath(path);
        Arrow(p, QPointF(undo ? 12 : 20, 11.5), QPointF(undo ? 7 : 25, 13.5), Accent);
        break;
    }
    case TGlyph::ZoomIn:
        Magnifier(p, '+');
        break;
    case TGlyph::ZoomOut:
        Magnifier(p, '-');
        break;
    case TGlyph::ZoomFull:
        Magnifier(p, 'f');
        break;
    case TGlyph::Play:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2a, 0xa8, 0x4a));
        p.drawPolygon(QPolygonF{{9, 5}, {27, 16}, {9, 27}});
        break;
    case TGlyph::Pause:
        p.setPen(Qt::NoPen);
        p.setBrush(Ink);
        p.drawRect(QRectF(8, 6, 6, 20));
        p.drawRect(QRectF(18, 6, 6, 20));
        break;
    case TGlyph::Stop:
        p.setPen(Qt::NoPen);
        p.setBrush(Danger);
        p.drawRect(QRectF(7, 7, 18, 18));
        break;
    case TGlyph::FadeIn:
        DrawWave(p, waveBox, [](double t) { return t; });
        break;
    case TGlyph::FadeOut:
        DrawWave(p, waveBox, [](double t) { return 1 - t; });
        break;
    case TGlyph::Silence:
        DrawWave(p, QRectF(3, 8, 9, 16), [](double) { return 0.9; });
        p.setPen(QPen(Accent, 2));
        p.drawLine(QPointF(12, 16), QPointF(20, 16));
        DrawWave(p, QRectF(20, 8, 9, 16), [](double) { return 0.9; });
        break;
    case TGlyph::Normalize:
        p.setPen(QPen(Accent, 1.5, Qt::DashLine));
        p.drawLine(QPointF(2, 5), QPointF(30, 5));
        p.drawLine(QPointF(2, 27), QPointF(30, 27));
        DrawWave(p, QRectF(3, 5, 26, 22), [](double) { return 1.0; });
        break;
    case TGlyph::Reverse:
        DrawWave(p, QRectF(3, 14, 26, 14), [](double t) { return 1 - t; });
        Arrow(p, QPointF(27, 7), QPointF(6, 7), Accent);
        break;
    case TGlyph::Invert:
        p.setPen(QPen(Ink, 1));
        p.drawLine(QPointF(2, 16), QPointF(30, 16));
        DrawWave(p, waveBox, [](double) { return 0.9; });
        p.setOpacity(0.45);
        DrawWave(
            p, waveBox, [](double) { return 0.9; }, true);
        p.setOpacity(1);
        break;
    case TGlyph::AmplifyUp:
        DrawWave(p, QRectF(2, 10, 20, 14), [](double t) { return 0.3 + 0.7 * t; });
        Arrow(p, QPointF(26, 27), QPointF(26, 6), Accent);
        break;
    case TGlyph::AmplifyDown:
        DrawWave(p, QRectF(2, 10, 20, 14), [](double t) { return 1 - 0.7 * t; });
        Arrow(p, QPointF(26, 5), QPointF(26, 26), Accent);
        break;
    case TGlyph::Help: {
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawEllipse(QPointF(16, 16), 13, 13);
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(20);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    }
}

} // namespace

QIcon OwnIcon(TGlyph glyph) {
    QIcon icon;
    for (const int size : {16, 24, 32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.scale(size / 32.0, size / 32.0);
        Draw(painter, glyph);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon ToolIcon(const char* themeName, TGlyph glyph) {
    const QString name = QLatin1String(themeName);
    if (!name.isEmpty() && QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
    return OwnIcon(glyph);
}

} // namespace orvella
