// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/splash.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include "core/text/version_info.h"

namespace tolvex {

namespace {

// The splash picture, drawn here so the program ships no image files: a plain
// panel with a row of key-like bars, the program name and its version.
QPixmap splashPicture(const QString& version)
{
    QPixmap picture(300, 150);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 150);
    fill.setColorAt(0, QColor(40, 52, 72));
    fill.setColorAt(1, QColor(18, 24, 36));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(picture.rect(), 12, 12);
    for (int k = 0; k < 14; ++k) {
        p.setBrush(k % 7 == 2 || k % 7 == 6 ? QColor(90, 110, 140) : QColor(225, 230, 238));
        p.drawRect(18 + k * 19, 96, 15, 38);
    }
    p.setPen(QColor(255, 255, 255));
    QFont name = p.font();
    name.setPointSize(30);
    name.setBold(true);
    p.setFont(name);
    p.drawText(QRect(0, 14, 300, 50), Qt::AlignCenter, "Tolvex");
    QFont small = p.font();
    small.setPointSize(10);
    small.setBold(false);
    p.setFont(small);
    p.drawText(QRect(0, 62, 300, 24), Qt::AlignCenter, version);
    return picture;
}

}  // namespace

TFormSplash::TFormSplash(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName("FormSplash");
    setFixedSize(366, 356);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, p.color(QPalette::Highlight));
    p.setColor(QPalette::WindowText, p.color(QPalette::HighlightedText));
    setPalette(p);

    auto* column = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setObjectName("SplashPicture");
    picture->setPixmap(splashPicture(QString::fromStdString(GetExeVersion(3)).trimmed()));
    picture->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel("Tolvex", this);
    QFont big = title->font();
    big.setPointSize(36);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    auto* tagline = new QLabel("MIDI SysEx librarian and converter", this);
    tagline->setAlignment(Qt::AlignCenter);
    verLabel_ = new QLabel(QString::fromStdString(GetExeVersion(3)), this);
    verLabel_->setObjectName("VerLabel");
    verLabel_->setAlignment(Qt::AlignCenter);
    column->addStretch(1);
    column->addWidget(picture);
    column->addWidget(title);
    column->addWidget(tagline);
    column->addStretch(1);
    column->addWidget(verLabel_);
}

}  // namespace tolvex
