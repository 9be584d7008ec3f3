#include "gui/main_window.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QMenuBar>
#include <QVBoxLayout>

namespace tolvex {

MainWindow::MainWindow(Session& session, QtShell& shell, QWidget* parent)
    : QMainWindow(parent), session_(session), shell_(shell)
{
    setWindowTitle("Tolvex");
    resize(1127, 530);

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);

    auto* objectsBox = new QGroupBox("Objects Window", central);
    auto* objectsLayout = new QVBoxLayout(objectsBox);
    objects_ = new QListView(objectsBox);
    objects_->setObjectName("ListBox1");
    objects_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    objects_->setUniformItemSizes(true);  // keeps lists of many thousand entries fast
    model_ = new MessageListModel(session_.messages, this);
    objects_->setModel(model_);
    objectsLayout->addWidget(objects_);

    auto* logBox = new QGroupBox("Debug Window", central);
    auto* logLayout = new QVBoxLayout(logBox);
    log_ = new QListWidget(logBox);
    log_->setObjectName("LogList");
    log_->setUniformItemSizes(true);
    logLayout->addWidget(log_);

    row->addWidget(objectsBox, 1);
    row->addWidget(logBox, 1);
    setCentralWidget(central);

    auto* fileMenu = menuBar()->addMenu("&File");
    fileMenu->addAction("E&xit", this, &QWidget::close);

    session_.log.onChange = [this] { syncLog(); };
    connect(model_, &MessageListModel::selectionChanged, this, &MainWindow::syncSelectionFromModel);
    connect(model_, &MessageListModel::currentChanged, this, [this](int r) {
        objects_->scrollTo(model_->index(r));
    });
    connect(objects_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::syncSelectionToModel);
    syncLog();
}

void MainWindow::syncLog()
{
    const auto& lines = session_.log.lines();
    const int n = static_cast<int>(lines.size());
    while (log_->count() > n) delete log_->takeItem(0);
    for (int i = 0; i < n; ++i) {
        const QString text = QString::fromStdString(lines[static_cast<std::size_t>(i)]);
        if (i < log_->count()) {
            if (log_->item(i)->text() != text) log_->item(i)->setText(text);
        } else {
            log_->addItem(text);
        }
    }
    if (session_.log.selected >= 0 && session_.log.selected < n) {
        log_->setCurrentRow(session_.log.selected);
        log_->scrollToItem(log_->item(session_.log.selected));
    }
}

void MainWindow::syncSelectionFromModel()
{
    if (syncing_) return;
    syncing_ = true;
    QItemSelection sel;
    for (std::size_t i : session_.messages.selectedIndexes()) {
        const QModelIndex idx = model_->index(static_cast<int>(i));
        sel.select(idx, idx);
    }
    objects_->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
    syncing_ = false;
}

void MainWindow::syncSelectionToModel()
{
    if (syncing_) return;
    syncing_ = true;
    auto& list = session_.messages;
    const QItemSelectionModel* sm = objects_->selectionModel();
    for (std::size_t i = 0; i < list.count(); ++i) {
        const bool sel = sm->isSelected(model_->index(static_cast<int>(i)));
        if (list.selectedAt(i) != sel) list.setSelected(i, sel);
    }
    syncing_ = false;
}

}  // namespace tolvex
