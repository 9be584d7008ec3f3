// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tolvex {

namespace {

// One size of the icon, on the SVG's 128 by 128 grid.
QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);
    const QColor dark(0x24, 0x34, 0x48), light(0xe6, 0xeb, 0xf2);
    p.setPen(Qt::NoPen);
    p.setBrush(dark);
    p.drawRoundedRect(QRectF(4, 4, 120, 120), 18, 18);
    QPainterPath wave(QPointF(14, 44));
    wave.cubicTo(26, 20, 38, 20, 50, 44);
    wave.cubicTo(62, 68, 74, 68, 86, 44);
    wave.cubicTo(98, 20, 106, 20, 114, 40);
    p.setPen(QPen(QColor(0x7f, 0xd1, 0xff), 6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.setPen(QPen(dark, 2));
    p.setBrush(light);
    for (int x = 14; x < 98; x += 14) p.drawRect(QRectF(x, 64, 14, 50));
    p.drawRect(QRectF(98, 64, 16, 50));
    p.setPen(Qt::NoPen);
    p.setBrush(dark);
    for (int x : {24, 38, 66, 80, 94}) p.drawRect(QRectF(x, 64, 8, 30));
    return pixmap;
}

}  // namespace

QIcon tolvexIcon()
{
    // A theme's own copy (the installed SVG) wins where the desktop has one.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(drawIcon(size));
    return QIcon::fromTheme(kDesktopFileName, icon);
}

}  // namespace tolvex
