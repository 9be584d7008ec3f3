// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/main_window.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "core/app/controls.h"
#include "core/app/incoming.h"
#include "core/app/librarian.h"
#include "core/app/main_window_model.h"
#include "core/app/window_session.h"
#include "gui/app_icon.h"

namespace tolvex {

namespace {

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

// A drop-down that asks for its items anew each time it opens, so a port that
// appeared after start-up can be chosen.
class PortComboBox : public QComboBox {
public:
    PortComboBox(QWidget* parent, std::function<void()> beforePopup)
        : QComboBox(parent), beforePopup_(std::move(beforePopup))
    {
    }
    void showPopup() override
    {
        beforePopup_();
        QComboBox::showPopup();
    }

private:
    std::function<void()> beforePopup_;
};

}  // namespace

MainWindow::MainWindow(Session& session, QtShell& shell, const CommandTable& commands, QWidget* parent)
    : QMainWindow(parent), session_(session), shell_(shell), commands_(commands)
{
    setWindowTitle(q(WindowTitle(session_)));
    setWindowIcon(tolvexIcon());
    setObjectName("Form1");
    setAcceptDrops(true);

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(6, 4, 6, 4);
    column->addWidget(buildTopBar());
    // The user sets how the width is shared between the list and the log.
    auto* row = new QSplitter(Qt::Horizontal, central);
    row->setObjectName("MainSplitter");
    row->setChildrenCollapsible(false);
    row->addWidget(buildLibrarian());
    row->addWidget(buildLogSide());
    row->setStretchFactor(0, 5);
    row->setStretchFactor(1, 6);
    column->addWidget(row, 1);
    setCentralWidget(central);
    buildPages();
    buildMenus();
    buildStatusBar();

    frameTimer_ = new QTimer(this);
    frameTimer_->setSingleShot(true);
    connect(frameTimer_, &QTimer::timeout, this, [this] {
        for (QWidget* w : {static_cast<QWidget*>(log_), static_cast<QWidget*>(objects_)}) w->setUpdatesEnabled(true);
        lastFrame_.start();
    });
    lastFrame_.start();
    session_.log.onChange = [this] { followLog(); };
    session_.addListener([this](const std::string& name) { onSessionChanged(name); });
    session_.messages.setListener([this, view = objects_](MessageList::Change c, std::size_t first, std::size_t count) {
        view->listChanged(c, first, count);
        limitFrameRate();
    });
    connect(objects_, &MessageListView::clicked, this, [this](int) { run(ListBox1Click); });
    syncAll();

    // No fixed minimum: the layout's own keeps every caption whole, and the
    // window grows past 1127 by 530 where the fonts need it. On a small screen
    // (a laptop at 125 %: 1093 by 614) it starts smaller, leaving room for
    // the frame, so no control starts off screen.
    const QSize room = screen() ? screen()->availableGeometry().size() - QSize(16, 48) : QSize(1127, 530);
    resize(QSize(1127, 530).boundedTo(room).expandedTo(minimumSizeHint()));
}

QWidget* MainWindow::control(const std::string& name) const
{
    const auto it = controls_.find(name);
    if (it != controls_.end()) return it->second;
    QWidget* w = findChild<QWidget*>(QString::fromStdString(name));
    controls_.emplace(name, w);
    return w;
}

void MainWindow::limitFrameRate()
{
    // The first change after a quiet spell shows at once; changes that follow
    // within a frame wait for its end and are painted together.
    constexpr int kFrameMs = 16;
    if (frameTimer_->isActive()) return;
    const qint64 since = lastFrame_.elapsed();
    if (since >= kFrameMs) {
        lastFrame_.start();
        return;
    }
    for (QWidget* w : {static_cast<QWidget*>(log_), static_cast<QWidget*>(objects_)}) w->setUpdatesEnabled(false);
    frameTimer_->start(static_cast<int>(kFrameMs - since));
}

QPushButton* MainWindow::button(QWidget* parent, const char* control)
{
    const Command* c = commands_.find(control);
    if (c == nullptr) throw TolvexError(std::string("No command for the control ") + control);
    auto* b = new QPushButton(q(c->caption), parent);
    b->setObjectName(q(c->control));
    b->setToolTip(q(c->hint));
    // The two Clear buttons keep what they remove for one Undo.
    if (c->control == "ButtonClearSel")
        connect(b, &QPushButton::clicked, this, [this] { run(ClearSelectedWithUndo); });
    else if (c->control == "Button_clear")
        connect(b, &QPushButton::clicked, this, [this] { run(ClearAllWithUndo); });
    else if (c->run)
        connect(b, &QPushButton::clicked, this, [this, c] { run(c->run); });
    else
        b->setEnabled(false);  // no function yet, or none on purpose: its hint says why
    return b;
}

QLineEdit* MainWindow::edit(QWidget* parent, const char* name, const char* hint)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setToolTip(q(*hint ? std::string(hint) : commands_.hintOf(name)));
    const std::string key = name;
    connect(e, &QLineEdit::textEdited, this, [this, key](const QString& t) {
        syncing_ = true;
        session_.controls.text.set(key, t.toStdString());
        syncing_ = false;
    });
    return e;
}

QCheckBox* MainWindow::check(QWidget* parent, const char* name, const char* caption, const char* hint)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    c->setToolTip(q(*hint ? std::string(hint) : commands_.hintOf(name)));
    const std::string key = name;
    connect(c, &QCheckBox::toggled, this, [this, key](bool on) {
        if (!syncing_) session_.controls.checked.set(key, on);
    });
    return c;
}

QLabel* MainWindow::label(QWidget* parent, const char* name, const char* designText)
{
    auto* l = new QLabel(designText, parent);
    l->setObjectName(name);
    return l;
}

void MainWindow::run(const std::function<void(Session&)>& command)
{
    // Every command and handler comes through here: no exception ends the program.
    enterReportsFolder(session_);
    try {
        command(session_);
    } catch (const TolvexError& e) {
        shell_.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
    } catch (const std::bad_alloc&) {
        shell_.messageBox("Error", "Could not allocate memory", MsgIcon::Error, MsgButtons::Ok);
    } catch (const std::exception& e) {
        shell_.messageBox("Error", e.what(), MsgIcon::Error, MsgButtons::Ok);
    }
}

QWidget* MainWindow::buildTopBar()
{
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    // A port list with its label, both hinted; the list is read anew as it opens.
    const auto portList = [&](const char* caption, const char* name, void (*refresh)(Session&)) {
        auto* label = new QLabel(caption, bar);
        label->setToolTip(q(commands_.hintOf(name)));
        auto* list = new PortComboBox(bar, [this, refresh] { run(refresh); });
        list->setObjectName(name);
        list->setMinimumWidth(220);
        // Nothing chosen yet (the start never picks a Tolvex port): the list says what it wants.
        list->setPlaceholderText(QString("Choose a %1 port").arg(caption));
        list->setToolTip(label->toolTip());
        return std::pair{label, list};
    };
    const auto [inLabel, inList] = portList("MIDI In", ctl::cmbInput, RefreshInputSelector);
    const auto [outLabel, outList] = portList("MIDI Out", ctl::cmbOutput, RefreshOutputSelector);
    cmbInput_ = inList;
    cmbOutput_ = outList;
    connect(cmbInput_, &QComboBox::activated, this, [this](int i) {
        session_.midi.cmbInput.itemIndex = i;
        run(cmbInputChange);
    });
    connect(cmbOutput_, &QComboBox::activated, this, [this](int i) {
        session_.midi.cmbOutput.itemIndex = i;
        run(cmbOutputChange);
    });

    busyPanel_ = new QLabel(bar);
    busyPanel_->setObjectName("BusyPanel");
    busyPanel_->setFixedSize(41, 25);
    busyPanel_->setFrameShape(QFrame::Panel);
    busyPanel_->setFrameShadow(QFrame::Sunken);
    busyPanel_->setAutoFillBackground(true);
    busyPanel_->setToolTip("MIDI lamp: red while MIDI data is arriving on the input port");

    cancel_ = button(bar, ctl::Cancel);

    auto* xt = check(bar, ctl::XTCheckBox1, "Enable Legacy (Unsupported)");
    connect(xt, &QCheckBox::toggled, this, [this](bool on) {
        if (!syncing_) XTCheckBox1Click(session_, on);
    });

    row->addWidget(inLabel);
    row->addWidget(cmbInput_);
    row->addSpacing(12);
    row->addWidget(outLabel);
    row->addWidget(cmbOutput_);
    row->addSpacing(12);
    row->addWidget(busyPanel_);
    row->addWidget(cancel_);
    row->addStretch(1);
    row->addWidget(xt);
    return bar;
}

// What the start found amiss with the ports, and the memory figure.
void MainWindow::buildStatusBar()
{
    auto* notice = new QLabel(statusBar());
    notice->setObjectName(ctl::StatusBar);
    // A long notice never widens the window: it is cut, and whole in its tooltip and the log.
    notice->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(notice, 1);
    statusBar()->addPermanentWidget(label(statusBar(), ctl::MemLabel, "MemLabel"));
}

QWidget* MainWindow::buildLibrarian()
{
    auto* side = new QWidget(this);
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);

    auto* buttons = new QHBoxLayout;
    for (const char* control : {"ViewSelected", "Button_send", "ButtonClearSel", "Button_clear"})
        buttons->addWidget(button(side, control));
    column->addLayout(buttons);
    // How "Send Selected" sends the dumps of an instrument that confirms them.
    column->addWidget(check(side, ctl::WaitAck, kWaitAckCaption));

    auto* prog = new QHBoxLayout;
    auto* progBox = new QVBoxLayout;
    progBox->addWidget(new QLabel("Prog", side));
    auto* progEdit = edit(side, ctl::ProgChange);
    progEdit->setMaximumWidth(50);
    progBox->addWidget(progEdit);
    auto* chanBox = new QVBoxLayout;
    chanBox->addWidget(new QLabel("Chan", side));
    auto* chanEdit = edit(side, ctl::Channel);
    chanEdit->setMaximumWidth(50);
    chanBox->addWidget(chanEdit);
    prog->addLayout(progBox);
    prog->addLayout(chanBox);
    prog->addWidget(button(side, "SendProgChange"), 0, Qt::AlignBottom);
    prog->addStretch(1);
    auto* counts = new QVBoxLayout;
    counts->addWidget(label(side, ctl::MidEventCountLabel, "NumMidiEvents"));
    counts->addWidget(label(side, ctl::Label_nbytes, "bytes"));
    prog->addLayout(counts);
    column->addLayout(prog);

    column->addWidget(new QLabel("Objects Window", side));
    objects_ = new MessageListView(session_.messages, side);
    objects_->setObjectName("ListBox1");
    objects_->setToolTip(q(commands_.hintOf("ListBox1")));
    // Not a control of the table: it only narrows what the list shows.
    auto* objectsFilter = new QLineEdit(side);
    objectsFilter->setAccessibleName("Objects Window filter");
    objectsFilter->setPlaceholderText("Filter by name or source file");
    objectsFilter->setClearButtonEnabled(true);
    connect(objectsFilter, &QLineEdit::textChanged, objects_, &MessageListView::setFilter);
    column->addWidget(objectsFilter);
    column->addWidget(objects_, 1);

    pages_ = new QTabWidget(side);
    pages_->setObjectName("PageControl1");
    column->addWidget(pages_);
    return side;
}

QWidget* MainWindow::buildLogSide()
{
    auto* side = new QWidget(this);
    side->setMinimumWidth(320);
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);
    auto* head = new QHBoxLayout;
    head->addWidget(new QLabel("Debug Window", side));
    head->addStretch(1);
    head->addWidget(button(side, "ClearLogButton"));
    column->addLayout(head);

    log_ = new QListWidget(side);
    log_->setObjectName("lstLog");
    log_->setToolTip(q(commands_.hintOf("lstLog")));
    // Long lines are scrolled to, never cut short with "...": each line is as
    // wide as its text (with uniform sizes every line would take the first one's width).
    log_->setUniformItemSizes(false);
    log_->setTextElideMode(Qt::ElideNone);
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    log_->setSelectionMode(QAbstractItemView::SingleSelection);
    log_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    log_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(log_, &QListWidget::currentRowChanged, this, [this](int r) {
        if (!syncing_) session_.log.selected = r;
    });
    connect(log_, &QListWidget::customContextMenuRequested, this, [this] { run(lstLogContextPopup); });
    connect(log_, &QListWidget::itemDoubleClicked, this, [this] { run(lstLogDblClick); });
    column->addWidget(log_, 1);

    auto* recv = new QHBoxLayout;
    recv->addWidget(new QLabel("Last SysEx", side));
    auto* recvEdit = edit(side, ctl::SXrecvString);
    recvEdit->setReadOnly(true);
    recv->addWidget(recvEdit, 1);
    column->addLayout(recv);

    auto* send = new QHBoxLayout;
    auto* reqEdit = edit(side, ctl::SXreqString);
    send->addWidget(reqEdit, 1);
    send->addWidget(button(side, "ReqSysex"));
    column->addLayout(send);
    for (QLineEdit* e : {recvEdit, reqEdit}) {
        e->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(e, &QLineEdit::customContextMenuRequested, this,
                [this, reqEdit] { SXreqStringContextPopup(session_, reqEdit->selectedText().toStdString()); });
    }
    return side;
}

void MainWindow::buildPages()
{
    auto page = [this](const char* title) {
        auto* w = new QWidget(pages_);
        w->setObjectName(title);
        auto* grid = new QGridLayout(w);
        grid->setContentsMargins(4, 4, 4, 4);
        pages_->addTab(w, title);
        return std::make_pair(w, grid);
    };
    auto labelled = [this](QWidget* parent, const char* caption, const char* name) {
        auto* box = new QWidget(parent);
        auto* l = new QVBoxLayout(box);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(new QLabel(caption, box));
        auto* e = edit(box, name);
        e->setMaximumWidth(60);
        l->addWidget(e);
        return box;
    };
    // A page's buttons at the places the command table gives them, each as
    // wide as its caption (at least as wide as its neighbours in the column).
    auto buttons = [this](QWidget* w, QGridLayout* g, const char* title) {
        for (const Command* c : commands_.on(kMainWindow, title))
            if (c->row >= 0) g->addWidget(button(w, c->control.c_str()), c->row, c->column);
    };
    // The cells keep their natural size: what is left over goes to an empty
    // last column and row, so no button is stretched across the page and no
    // caption is squeezed.
    auto finish = [](QGridLayout* g) {
        g->setColumnStretch(g->columnCount(), 1);
        g->setRowStretch(g->rowCount(), 1);
    };

    // A page's boxes at the places the command table gives them: edit boxes
    // with their caption above, check boxes in one row of options of their
    // own, so that the button columns above stay as wide as their buttons and
    // the page fits a small screen.
    auto fields = [this, &labelled](QWidget* w, QGridLayout* g, const std::string& title) {
        std::vector<const Field*> checks;
        for (const Field& f : commands_.fields()) {
            if (f.place != title || f.row < 0) continue;
            if (f.check)
                checks.push_back(&f);
            else
                g->addWidget(labelled(w, f.caption.c_str(), f.control.c_str()), f.row, f.column, Qt::AlignTop);
        }
        if (checks.empty()) return;
        std::stable_sort(checks.begin(), checks.end(),
                         [](const Field* a, const Field* b) { return a->column < b->column; });
        auto* options = new QHBoxLayout;
        for (const Field* f : checks) options->addWidget(check(w, f->control.c_str(), f->caption.c_str()));
        options->addStretch(1);
        g->addLayout(options, checks.front()->row, 0, 1, g->columnCount());
    };

    for (const Page& p : commands_.pages()) {
        auto [w, g] = page(p.title.c_str());
        buttons(w, g, p.title.c_str());
        for (const PageExtra& x : p.extras) extra(x, w, g);
        fields(w, g, p.title);
        finish(g);
        if (p.legacy) legacyPages_[q(p.title)] = w;
    }
}

// What a page shows besides its buttons and boxes, as its family declares it.
void MainWindow::extra(const PageExtra& x, QWidget* w, QGridLayout* g)
{
    switch (x.kind) {
    case PageExtra::Label: g->addWidget(new QLabel(q(x.text), w), x.row, x.column, x.rowSpan, x.columnSpan); break;
    case PageExtra::StatusLabel:
        g->addWidget(label(w, x.control.c_str(), ""), x.row, x.column, x.rowSpan, x.columnSpan);
        break;
    case PageExtra::LabelledButton: {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(q(x.text), w));
        row->addWidget(button(w, x.control.c_str()));
        g->addLayout(row, x.row, x.column, x.rowSpan, x.columnSpan);
        break;
    }
    case PageExtra::Legend:
        g->addWidget(legend(w, x), x.row, x.column, x.rowSpan, x.columnSpan, Qt::AlignLeft | Qt::AlignTop);
        break;
    }
}

// A legend keeps its lines whole, as wide as its longest line, and shows its
// lines and no more (a text box's own size hint would make the page tall).
QPlainTextEdit* MainWindow::legend(QWidget* w, const PageExtra& x)
{
    auto* memo = new QPlainTextEdit(w);
    memo->setObjectName(q(x.control));
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setPlainText(q(x.text));
    const QStringList lines = q(x.text).split('\n');
    const QFontMetrics fm(memo->font());
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, fm.horizontalAdvance(line));
    const int margins = 2 * memo->frameWidth() + 2 * static_cast<int>(memo->document()->documentMargin());
    memo->setMinimumWidth(widest + margins + 12);
    memo->setFixedHeight(static_cast<int>(lines.size()) * fm.lineSpacing() + margins + 4);
    return memo;
}

void MainWindow::buildMenus()
{
    // Menu items from the command table, each named after its control.
    const std::pair<const char*, const char*> menus[] = {{"&File", "File"}, {"&Special", "Special"}};
    for (const auto& [caption, place] : menus) {
        QMenu* menu = menuBar()->addMenu(caption);
        for (const Command* c : commands_.on(kMainWindow, place)) {
            if (c->control == "Exit1") menu->addSeparator();
            QAction* a = menu->addAction(q(c->caption));
            a->setObjectName(q(c->control));
            a->setToolTip(q(c->hint));
            if (c->shortcut == "Open") a->setShortcut(QKeySequence::Open);
            if (c->shortcut == "Save") a->setShortcut(QKeySequence::Save);
            if (c->shortcut == "Quit") a->setShortcut(QKeySequence::Quit);
            if (c->run)
                connect(a, &QAction::triggered, this, [this, c] { run(c->run); });
            else
                a->setEnabled(false);  // its command comes with its device family
        }
    }
    session_.closeWindow = [this] { close(); };

    QMenu* editMenu = menuBar()->addMenu("&Edit");
    undo_ = editMenu->addAction("&Undo Clear");
    undo_->setObjectName("UndoClear");
    undo_->setShortcut(QKeySequence::Undo);
    undo_->setToolTip("Put back what Clear Selected or Clear All Buffers removed last");
    undo_->setEnabled(false);
    connect(undo_, &QAction::triggered, this, [this] { run(UndoClear); });
    QMenu* libraryMenu = menuBar()->addMenu("&Library");
    // A window of its own rather than a command of the table: no control name.
    QAction* library = libraryMenu->addAction("&Library...");
    library->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    library->setToolTip("Every patch kept once: find, send, copy to the Objects Window or make a bank");
    connect(library, &QAction::triggered, this, [this] { showLibrary(); });
    session_.receivedStored = [this](const Bytes& sx) { library_.received(sx); };
    buildHelpMenu();

    // Only while the Objects Window has the focus: Delete in the log must not remove messages.
    auto* del = new QShortcut(QKeySequence::Delete, objects_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, [this] { run(ClearSelectedWithUndo); });
    auto* all = new QShortcut(QKeySequence::SelectAll, objects_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(all, &QShortcut::activated, this, [this] { session_.messages.selectAll(true); });

    findChild<QLabel*>(ctl::MidEventCountLabel)->installEventFilter(this);
}

LibraryWindow* MainWindow::showLibrary()
{
    if (!libraryWindow_) libraryWindow_ = new LibraryWindow(session_, library_, this);
    libraryWindow_->reload();
    libraryWindow_->show();
    libraryWindow_->raise();
    libraryWindow_->activateWindow();
    return libraryWindow_;
}

void MainWindow::buildHelpMenu()
{
    QMenu* help = menuBar()->addMenu("&Help");
    QAction* readme = help->addAction("&README");
    readme->setObjectName("HelpReadme");
    connect(readme, &QAction::triggered, this, [this] {
        const std::string path = ReadmePath(session_.paths.progpath);
        if (path.empty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(q(path))))
            shell_.messageBox("Tolvex",
                              "The README is in /usr/share/doc/tolvex/ once Tolvex is installed, else in the "
                              "repository's folder.",
                              MsgIcon::Information, MsgButtons::Ok);
    });
    QAction* about = help->addAction("&About Tolvex");
    about->setObjectName("HelpAbout");
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, [this] {
        QMessageBox box(this);
        box.setObjectName("AboutBox");
        box.setWindowTitle("About Tolvex");
        box.setIconPixmap(tolvexIcon().pixmap(64, 64));
        box.setText(q(AboutText(session_)));
        box.exec();
    });
}

void MainWindow::closeWithoutAsking()
{
    noCloseQuestion_ = true;
    close();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && watched->objectName() == ctl::MidEventCountLabel) {
        MidEventCountLabelClick(session_);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

QStringList MainWindow::visiblePages() const
{
    QStringList out;
    for (int i = 0; i < pages_->count(); ++i)
        if (pages_->isTabVisible(i)) out << pages_->tabText(i);
    return out;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (session_.midi.SendRunning && !stopping) {
        // Closing frees the list and the devices under the running send.
        shell_.messageBox("Warning", "Wait for the send to finish or press Cancel", MsgIcon::Warning, MsgButtons::Ok);
        event->ignore();
        return;
    }
    if (!closed_ && !noCloseQuestion_ && !ConfirmClose(session_)) {
        event->ignore();
        return;
    }
    if (!closed_) {
        closed_ = true;
        FormClose(session_);
        if (onClosed) onClosed();
    }
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const int line = log_->sizeHintForRow(0) > 0 ? log_->sizeHintForRow(0) : log_->fontMetrics().height();
    FormResize(session_, log_->viewport()->height(), line);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    openDroppedFiles(event->mimeData()->urls());
}

void MainWindow::openDroppedFiles(const QList<QUrl>& urls)
{
    std::vector<std::string> paths;
    for (const QUrl& url : urls)
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    run([&paths](Session& s) {
        for (const std::string& path : paths) OpenSysexFile(s, path);
    });
}

void MainWindow::onSessionChanged(const std::string& name)
{
    if (name == ctl::MidiInBusy) {
        QPalette p = busyPanel_->palette();
        p.setColor(QPalette::Window,
                   session_.operation.MidiInBusy ? QColor(Qt::red) : palette().color(QPalette::Button));
        busyPanel_->setPalette(p);
    } else if (name == ctl::Cancel) {
        cancel_->setVisible(session_.operation.CancelVisible);
        cancel_->setEnabled(session_.operation.CancelVisible);
    } else if (name == ctl::cmbInput) {
        syncSelector(cmbInput_, session_.midi.cmbInput);
    } else if (name == ctl::cmbOutput) {
        syncSelector(cmbOutput_, session_.midi.cmbOutput);
    } else if (name == ctl::XTCheckBox1) {
        syncPages();
    } else if (name == kLastFileChanged) {
        setWindowTitle(q(WindowTitle(session_)));
        return;
    } else if (name == kUndoChanged) {
        if (undo_) undo_->setEnabled(CanUndoClear(session_));
        return;
    }
    QWidget* w = control(name);
    if (w == nullptr) return;
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (!syncing_ && e->text() != q(session_.controls.text.get(name)))
            e->setText(q(session_.controls.text.get(name)));
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        if (w != busyPanel_) l->setText(q(session_.controls.text.get(name)));
        if (name == ctl::StatusBar) l->setToolTip(l->text());
    } else if (auto* c = qobject_cast<QCheckBox*>(w)) {
        syncing_ = true;
        c->setChecked(session_.controls.checked.get(name));
        syncing_ = false;
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
        m->setPlainText(q(session_.controls.text.get(name)).replace("\r\n", "\n"));
    } else if (auto* b = qobject_cast<QPushButton*>(w)) {
        // A command may show its result as the button's caption (the Combi tempo on "?").
        if (session_.controls.text.all().count(name)) b->setText(q(session_.controls.text.get(name)));
        const std::string colour = session_.controls.textColor.get(name);
        b->setStyleSheet(colour.empty() ? QString() : q("color: " + colour));
    }
}

void MainWindow::syncAll()
{
    for (const auto& [name, value] : session_.controls.text.all()) onSessionChanged(name);
    for (const auto& [name, value] : session_.controls.checked.all()) onSessionChanged(name);
    for (const auto& [name, value] : session_.controls.textColor.all()) onSessionChanged(name);
    for (const char* name : {ctl::MidiInBusy, ctl::Cancel, ctl::cmbInput, ctl::cmbOutput}) onSessionChanged(name);
    syncPages();
    syncLog();
}

void MainWindow::syncSelector(QComboBox* box, const DeviceSelector& sel)
{
    const QSignalBlocker block(box);
    box->clear();
    for (const std::string& item : sel.items) box->addItem(q(item));
    box->setCurrentIndex(sel.itemIndex);
    box->setEnabled(sel.enabled);
}

void MainWindow::syncPages()
{
    const bool legacy = legacyPagesVisible(session_);
    for (const auto& [title, w] : legacyPages_)
        if (w) pages_->setTabVisible(pages_->indexOf(w), legacy);
}

void MainWindow::syncLog()
{
    const auto& lines = session_.log.lines();
    const int n = static_cast<int>(lines.size());
    syncing_ = true;
    while (log_->count() > n) delete log_->takeItem(0);
    for (int i = 0; i < n; ++i) {
        const QString text = q(lines[static_cast<std::size_t>(i)]);
        if (i < log_->count()) {
            if (log_->item(i)->text() != text) log_->item(i)->setText(text);
        } else {
            log_->addItem(text);
        }
    }
    if (session_.log.selected >= 0 && session_.log.selected < n) {
        log_->setCurrentRow(session_.log.selected);
        log_->scrollToItem(log_->item(session_.log.selected), QAbstractItemView::PositionAtBottom);
    }
    syncing_ = false;
}

void MainWindow::followLog()
{
    // Changes are gathered and shown once per pass of the event loop (the
    // screen is only painted there anyway): a command that logs 50,000 lines
    // updates the list widget once, not 50,000 times.
    if (logFollowPending_) return;
    logFollowPending_ = true;
    QTimer::singleShot(0, this, [this] {
        logFollowPending_ = false;
        showLogChanges();
    });
}

void MainWindow::showLogChanges()
{
    limitFrameRate();
    const LogList& log = session_.log;
    const auto& lines = log.lines();
    const auto n = static_cast<std::uint64_t>(lines.size());
    const std::uint64_t fresh = log.appended - shownAppended_;
    if (log.cleared != shownCleared_ || fresh > n || log.replaced != shownReplaced_) {
        syncLog();
    } else {
        // The items kept are the newest of those shown; the fresh lines follow them.
        syncing_ = true;
        const auto keep = static_cast<int>(n - fresh);
        while (log_->count() > keep) delete log_->takeItem(0);
        for (std::uint64_t i = n - fresh; i < n; ++i) log_->addItem(q(lines[static_cast<std::size_t>(i)]));
        if (log.selected >= 0 && log.selected < log_->count()) {
            log_->setCurrentRow(log.selected);
            log_->scrollToItem(log_->item(log.selected), QAbstractItemView::PositionAtBottom);
        }
        syncing_ = false;
    }
    shownAppended_ = log.appended;
    shownReplaced_ = log.replaced;
    shownCleared_ = log.cleared;
}

}  // namespace tolvex
