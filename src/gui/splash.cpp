#include "gui/splash.h"

#include <QVBoxLayout>

#include "core/version_info.h"

namespace tolvex {

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
    column->addWidget(title);
    column->addWidget(tagline);
    column->addStretch(1);
    column->addWidget(verLabel_);
}

}  // namespace tolvex
