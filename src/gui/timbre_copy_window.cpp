// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/timbre_copy_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWindow>

#include "devices/kronos/kronos_timbre_copy.h"

namespace tolvex {

namespace {

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

constexpr int kTimbreTop = 24, kTimbrePitch = 22;  // timbre rows in GroupBox1
constexpr int kIFXTop = 40, kIFXPitch = 24;        // IFX rows in GroupBox2
const QColor kCream(255, 251, 240);

// The drawing area under the IFX rows: a thin blue line above the first row and below each.
class RowLines : public QWidget {
public:
    RowLines(QWidget* parent, int top, int pitch, int rows) : QWidget(parent), top_(top), pitch_(pitch), rows_(rows)
    {
        setObjectName("Image1");
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(QPen(Qt::blue, 1));
        for (int r = 0; r <= rows_; ++r) {
            const int y = top_ - 2 + r * pitch_;
            p.drawLine(0, y, width(), y);
        }
    }

private:
    int top_, pitch_, rows_;
};

QLabel* smallLabel(QWidget* parent, const QString& name, const char* text, QRect where)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    QFont f = l->font();
    f.setPointSize(8);
    l->setFont(f);
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, kCream);
    l->setPalette(p);
    l->setGeometry(where);
    return l;
}

void applyLook(QLabel* l, const CopyLabel& label)
{
    l->setText(q(label.text));
    QPalette p = l->palette();
    const QPalette base = QApplication::palette();
    QColor text = base.color(QPalette::WindowText), back = kCream;
    switch (label.look) {
    case CopyLabelLook::Design:
    case CopyLabelLook::Normal: break;
    case CopyLabelLook::Grey: text = Qt::gray; break;
    case CopyLabelLook::Mute:
        text = Qt::black;  // the window-frame colour
        back = Qt::yellow;
        break;
    }
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Window, back);
    l->setPalette(p);
    if (label.look != CopyLabelLook::Design) {
        QFont f("Cambria");  // a similar serif face where Cambria is missing
        f.setStyleHint(QFont::Serif);
        f.setPointSize(8);
        l->setFont(f);
    }
}

void applyLed(ThhALed* led, const CopyLed& state)
{
    led->state().SetTrueColor(state.colour == CopyLedColour::Yellow ? kLedYellow : kLedLime);
    led->state().ChangeValue(state.lit);
}

}  // namespace

TimbreCopyWindow::TimbreCopyWindow(Session& session, QtShell& shell, const CommandTable& commands, QWidget* parent)
    : QDialog(parent), session_(session), shell_(shell), commands_(commands)
{
    setObjectName(kKroTimbreCopyControl);
    setWindowTitle(kKroTimbreCopyWindow);
    setModal(false);
    // A window of its own beside the main window; the program ends with the main window.
    setAttribute(Qt::WA_QuitOnClose, false);

    // The controls keep their places on a canvas of 1104 by 497; on a smaller
    // screen (a laptop at 125 %: 1093 by 614) the window is smaller and scrolls.
    const QSize canvasSize(1104, 497);
    auto* canvas = new QWidget;
    canvas->setFixedSize(canvasSize);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(canvas);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    setMaximumSize(canvasSize);
    const QSize room = screen() ? screen()->availableGeometry().size() - QSize(16, 48) : canvasSize;
    resize(canvasSize.boundedTo(room));

    // A read-only field of `width` after its label, the label starting at x.
    const auto shownField = [this, canvas](const char* caption, const char* name, int x, int labelWidth, int width) {
        (new QLabel(caption, canvas))->setGeometry(x, 10, labelWidth, 20);
        auto* field = new QLineEdit(canvas);
        field->setObjectName(name);
        field->setToolTip(q(commands_.hintOf(name)));
        field->setReadOnly(true);
        field->setGeometry(x + labelWidth + 2, 8, width, 22);
        return field;
    };
    objName_ = shownField("Object", "CopyEditObjName", 8, 50, 420);
    srcCombi_ = shownField("Source Combi", "SrcCombi", 500, 90, 240);

    int y = 44;
    for (const Command* c : commands_.on(kKroTimbreCopyWindow, "")) {
        button(canvas, *c)->setGeometry(8, y, 172, 28);
        y += 36;
    }

    auto* group1 = new QGroupBox("Timbre Copy Mapping", canvas);
    group1->setObjectName("GroupBox1");
    group1->setToolTip(q(commands_.hintOf("GroupBox1")));
    group1->setGeometry(188, 36, 420, 455);
    buildRows(group1, TimbreCheckboxArray, TimbreComboArray, kTimbreRows, kTimbreTop, kTimbrePitch);

    auto* group2 = new QGroupBox("IFX Copy Mapping", canvas);
    group2->setObjectName("GroupBox2");
    group2->setToolTip(q(commands_.hintOf("GroupBox2")));
    group2->setGeometry(614, 36, 484, 455);
    auto* lines = new RowLines(group2, kIFXTop, kIFXPitch, kIFXRows);
    lines->setGeometry(4, 0, 476, kIFXTop + kIFXRows * kIFXPitch + 2);
    for (const auto& [text, x] : {std::pair{"From Timbre", 270}, {"IFX Name", 350}, {"Chain", 450}})
        (new QLabel(text, group2))->setGeometry(x, 18, 78, 16);
    buildRows(group2, IFXCheckboxArray, IFXComboArray, kIFXRows, kIFXTop, kIFXPitch);

    const int below1 = kTimbreTop + kTimbreRows * kTimbrePitch + 6;
    const int below2 = kIFXTop + kIFXRows * kIFXPitch + 6;
    for (const Command* c : commands_.on(kKroTimbreCopyWindow, "GroupBox1"))
        button(group1, *c)->setGeometry(8, below1, 130, 28);
    for (const Command* c : commands_.on(kKroTimbreCopyWindow, "GroupBox2"))
        button(group2, *c)->setGeometry(8, below2, 130, 28);

    session_.families.records<KroTimbreCopyView>().windowAttached = true;
    session_.addListener([this](const std::string& name) { onSessionChanged(name); });
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TimbreCopyWindow::focusMoved);
    for (const Field& f : commands_.fields())
        if (f.window == kKroTimbreCopyWindow)
            for (int r = 1; r <= f.count; ++r) onSessionChanged(f.control + "[" + std::to_string(r) + "]");
    syncView();
}

TimbreCopyWindow::~TimbreCopyWindow()
{
    session_.families.records<KroTimbreCopyView>().windowAttached = false;
}

QPushButton* TimbreCopyWindow::button(QWidget* parent, const Command& c)
{
    auto* b = new QPushButton(q(c.caption), parent);
    b->setObjectName(q(c.control));
    b->setToolTip(q(c.hint));
    connect(b, &QPushButton::clicked, this, [this, &c] { run(c.run); });
    return b;
}

void TimbreCopyWindow::buildRows(QGroupBox* box, const char* checks, const char* combos, int rows, int top, int pitch)
{
    const bool timbres = rows == kTimbreRows;
    const Field* comboField = nullptr;
    for (const Field& f : commands_.fields())
        if (f.control == combos) comboField = &f;
    const QString ledArray = timbres ? "TimbreLEDArray[%1]" : "IFXLEDArray[%1]";
    const QString labelArray = timbres ? "TimbreLabelArray[%1]" : "IFXLabelArray[%1]";
    for (int r = 1; r <= rows; ++r) {
        const int y = top + (r - 1) * pitch;
        auto* led = new ThhALed(box);
        led->setObjectName(ledArray.arg(r));
        led->state().ChangeBorder(false);
        led->state().ChangeBlink(false);
        led->move(8, y + 2);
        (timbres ? timbreLeds_ : ifxLeds_).push_back(led);
        auto* number = new QLabel(QString::asprintf("%2d", r), box);
        number->setObjectName(labelArray.arg(r));
        number->setGeometry(28, y, 18, 20);

        const std::string checkKey = arrayControl(checks, r);
        auto* check = new QCheckBox(
            timbres ? QString::asprintf("Timbre %2d ----->", r) : QString::asprintf("IFX Slot %2d --->", r), box);
        check->setObjectName(q(checkKey));
        check->setGeometry(46, y, 116, 20);
        connect(check, &QCheckBox::toggled, this, [this, checkKey](bool on) {
            if (!syncing_) session_.controls.checked.set(checkKey, on);
        });

        const std::string comboKey = arrayControl(combos, r);
        auto* combo = new QComboBox(box);
        combo->setObjectName(q(comboKey));
        if (comboField)
            for (const std::string& item : comboField->items) combo->addItem(q(item));
        combo->setGeometry(164, y, timbres ? 106 : 112, 20);
        connect(combo, &QComboBox::activated, this,
                [this, comboKey](int index) { session_.controls.chosen.set(comboKey, index + 1); });

        if (timbres) {
            timbreNames_.push_back(
                smallLabel(box, QString("TimbreNameArray[%1]").arg(r), "(Timbre-name)", QRect(274, y + 1, 140, 18)));
        } else {
            ifxSources_.push_back(
                smallLabel(box, QString("IFXTSRCNameArray[%1]").arg(r), "(Tnn >", QRect(282, y + 1, 60, 18)));
            ifxNames_.push_back(
                smallLabel(box, QString("IFXNameArray[%1]").arg(r), "(name)", QRect(346, y + 1, 100, 18)));
            auto* chain = new QLabel("---", box);
            chain->setObjectName(QString("IFXChainLabelArray[%1]").arg(r));
            chain->setGeometry(450, y, 30, 20);
            ifxChains_.push_back(chain);
        }
    }
}

void TimbreCopyWindow::run(const std::function<void(Session&)>& command)
{
    try {
        command(session_);
    } catch (const TolvexError& e) {
        shell_.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
    } catch (const std::exception& e) {
        shell_.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
    }
}

void TimbreCopyWindow::activated()
{
    // The warning box of a load takes the focus away and gives it back: that
    // return is not the user coming back, and must not load (and warn) again.
    if (loading_) return;
    loading_ = true;
    run(KroTimbreCopyFormActivate);
    loading_ = false;
}

void TimbreCopyWindow::focusMoved(QWindow* now)
{
    const bool fromBox = focusWasBox_;
    focusWasBox_ = false;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->windowHandle() == now && qobject_cast<QDialog*>(w)) focusWasBox_ = true;
    if (now != nullptr && now == windowHandle() && !fromBox) activated();
}

void TimbreCopyWindow::closeEvent(QCloseEvent* event)
{
    run(BtnCloseCopyDlgClick);
    event->accept();
}

void TimbreCopyWindow::onSessionChanged(const std::string& name)
{
    if (name == kKroTimbreCopyView) {
        syncView();
        return;
    }
    QWidget* w = control(q(name));
    if (w == nullptr) return;
    syncing_ = true;
    if (auto* c = qobject_cast<QCheckBox*>(w)) c->setChecked(session_.controls.checked.get(name));
    if (auto* c = qobject_cast<QComboBox*>(w)) c->setCurrentIndex(session_.controls.chosen.get(name) - 1);
    syncing_ = false;
}

void TimbreCopyWindow::syncView()
{
    const KroTimbreCopyView& v = session_.families.records<KroTimbreCopyView>();
    objName_->setText(q(v.CopyEditObjName));
    srcCombi_->setText(q(v.SrcCombi));
    for (std::size_t i = 0; i < timbreNames_.size(); ++i) {
        applyLook(timbreNames_[i], v.TimbreNameArray[i]);
        applyLed(timbreLeds_[i], v.TimbreLEDArray[i]);
    }
    for (std::size_t i = 0; i < ifxNames_.size(); ++i) {
        applyLook(ifxNames_[i], v.IFXNameArray[i]);
        ifxChains_[i]->setText(q(v.IFXChainLabelArray[i]));
        ifxSources_[i]->setText(q(v.IFXTSRCNameArray[i]));
        applyLed(ifxLeds_[i], v.IFXLEDArray[i]);
    }
    if (v.visible && !isVisible()) {
        show();
        raise();
        activateWindow();
    } else if (!v.visible && isVisible()) {
        hide();
    }
}

}  // namespace tolvex
