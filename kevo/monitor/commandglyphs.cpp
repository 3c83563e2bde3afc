#include "commandglyphs.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <algorithm>

namespace {

QPixmap drawGlyph(int index) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x30, 0x30, 0x30);
    // Ink outline on white: pages and sheets.
    auto onPaper = [&p, &ink] {
        p.setPen(QPen(ink, 1));
        p.setBrush(Qt::white);
    };
    auto chip = [&p, &ink](QColor body) {
        p.setPen(QPen(ink, 1));
        for (int i = 0; i < 4; ++i) {
            p.drawLine(QPointF(4 + 2.5 * i, 1), QPointF(4 + 2.5 * i, 3));
            p.drawLine(QPointF(4 + 2.5 * i, 13), QPointF(4 + 2.5 * i, 15));
        }
        p.setBrush(body);
        p.drawRoundedRect(QRectF(2.5, 3.5, 11, 9), 1.5, 1.5);
    };
    switch (index) {
        case 0: {  // new: a blank page with a folded corner and a spark
            QPainterPath page;
            page.moveTo(2.5, 1.5);
            page.lineTo(9.5, 1.5);
            page.lineTo(12.5, 4.5);
            page.lineTo(12.5, 14.5);
            page.lineTo(2.5, 14.5);
            page.closeSubpath();
            onPaper();
            p.drawPath(page);
            p.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 4.5));
            p.drawLine(QPointF(9.5, 4.5), QPointF(12.5, 4.5));
            p.setPen(QPen(QColor(0x70, 0x90, 0xC0), 1));
            for (int i = 0; i < 3; ++i) p.drawLine(QPointF(4.5, 7.5 + 2 * i), QPointF(10.5, 7.5 + 2 * i));
            p.setPen(QPen(QColor(0xE0, 0xA0, 0x00), 1.4));
            p.drawLine(QPointF(13, 0.5), QPointF(13, 5.5));
            p.drawLine(QPointF(10.5, 3), QPointF(15.5, 3));
            break;
        }
        case 3: {  // search: a magnifier over a page
            onPaper();
            p.drawRect(QRectF(1.5, 1.5, 9, 12));
            p.setPen(QPen(QColor(0x20, 0x50, 0xA0), 2));
            p.setBrush(QColor(0xD0, 0xE8, 0xFF));
            p.drawEllipse(QRectF(6, 6, 6, 6));
            p.drawLine(QPointF(11.5, 11.5), QPointF(15, 15));
            break;
        }
        case 4: {  // print: a printer with a sheet
            onPaper();
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.setBrush(QColor(0xA0, 0xA8, 0xB0));
            p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 10.5, 7, 4));
            p.setPen(QColor(0x20, 0xA0, 0x20));
            p.drawPoint(QPointF(12.5, 8.5));
            break;
        }
        case 8: {  // settings: three sliders
            p.setPen(QPen(ink, 1.2));
            for (int i = 0; i < 3; ++i) p.drawLine(QPointF(2, 3.5 + 4.5 * i), QPointF(14, 3.5 + 4.5 * i));
            p.setBrush(QColor(0x30, 0x70, 0xC0));
            const qreal knobs[3] = {10, 5, 8};
            for (int i = 0; i < 3; ++i) p.drawRect(QRectF(knobs[i] - 1.5, 1.5 + 4.5 * i, 3, 4));
            break;
        }
        case 9: {  // start: a green triangle
            p.setPen(QPen(QColor(0x10, 0x60, 0x10), 1));
            p.setBrush(QColor(0x30, 0xB0, 0x30));
            QPainterPath t;
            t.moveTo(4, 2);
            t.lineTo(14, 8);
            t.lineTo(4, 14);
            t.closeSubpath();
            p.drawPath(t);
            break;
        }
        case 10: {  // stop: a red square
            p.setPen(QPen(QColor(0x80, 0x10, 0x10), 1));
            p.setBrush(QColor(0xD0, 0x30, 0x30));
            p.drawRoundedRect(QRectF(3.5, 3.5, 9, 9), 1, 1);
            break;
        }
        case 11: {  // address scan: a chip with a magnifier
            chip(QColor(0x50, 0x50, 0x58));
            p.setPen(QPen(QColor(0xF0, 0xD0, 0x40), 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRectF(5, 5, 5, 5));
            p.drawLine(QPointF(9.5, 9.5), QPointF(12, 12));
            break;
        }
        case 12: {  // bus tool: arrows both ways
            p.setPen(QPen(QColor(0x20, 0x60, 0xC0), 1.6));
            p.drawLine(QPointF(2, 5), QPointF(13, 5));
            p.drawLine(QPointF(10, 2.5), QPointF(13, 5));
            p.drawLine(QPointF(10, 7.5), QPointF(13, 5));
            p.setPen(QPen(QColor(0x20, 0x90, 0x30), 1.6));
            p.drawLine(QPointF(3, 11), QPointF(14, 11));
            p.drawLine(QPointF(6, 8.5), QPointF(3, 11));
            p.drawLine(QPointF(6, 13.5), QPointF(3, 11));
            break;
        }
        case 13: {  // memory monitor: a chip with a grid
            chip(QColor(0x30, 0x50, 0x90));
            p.setPen(QPen(QColor(0xE0, 0xE8, 0xF0), 0.8));
            p.drawLine(QPointF(4, 8), QPointF(12, 8));
            p.drawLine(QPointF(8, 5), QPointF(8, 11));
            break;
        }
        default:
            break;
    }
    return pm;
}

QPixmap standardGlyph(QStyle* style, QStyle::StandardPixmap sp) {
    return style->standardIcon(sp).pixmap(16, 16);
}

}  // namespace

QPixmap highlightedGlyph(const QPixmap& pm) {
    QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            QColor c = QColor::fromRgba(line[x]);
            if (c.alpha() == 0) continue;
            float h, s, l, a;
            c.getHslF(&h, &s, &l, &a);
            c.setHslF(h, std::min(1.0f, s * 1.35f), std::min(0.92f, l * 1.06f), a);
            line[x] = c.rgba();
        }
    }
    return QPixmap::fromImage(img);
}

QPixmap disabledGlyph(const QPixmap& pm) {
    QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = line[x];
            const int g = 96 + qGray(c) * 5 / 8;
            line[x] = qRgba(g, g, g, qAlpha(c) * 2 / 5);
        }
    }
    return QPixmap::fromImage(img);
}

QPixmap commandGlyph(int index, QStyle* style) {
    switch (index) {
        case 1:
            return standardGlyph(style, QStyle::SP_DialogOpenButton);
        case 2:
            return standardGlyph(style, QStyle::SP_DialogSaveButton);
        case 5:
            return standardGlyph(style, QStyle::SP_FileDialogNewFolder);
        case 6:
            return standardGlyph(style, QStyle::SP_DirOpenIcon);
        case 7:
            return standardGlyph(style, QStyle::SP_DriveFDIcon);
        default:
            return drawGlyph(index);
    }
}
