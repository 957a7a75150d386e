#include "ui/browse_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace twinbook {

std::string FolderOfPath(const std::string& path) {
  if (path.size() < 2) {
    return "";
  }
  // The last "/" before the final character.
  const size_t slash = path.rfind('/', path.size() - 2);
  if (slash == std::string::npos) {
    return "";
  }
  if (slash == 0 && path.back() != '/') {
    return "/";
  }
  return path.substr(0, slash);
}

namespace {

QString WithTrailingSlash(const QString& folder) {
  return folder.endsWith('/') ? folder : folder + '/';
}

}  // namespace

BrowseDialog::BrowseDialog(const QString& caption, const QString& startFolder, Mode mode,
                           QLineEdit* target, QWidget* parent)
    : QDialog(parent), mode_(mode), target_(target) {
  setObjectName("Browse");
  setWindowTitle(caption);
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);

  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  model_->setRootPath("/");

  tree_ = new QTreeView(this);
  tree_->setObjectName("BrsDir");
  tree_->setModel(model_);
  // Only the names: sizes, kinds and dates say nothing about folders.
  for (int column = 1; column < model_->columnCount(); ++column) {
    tree_->hideColumn(column);
  }
  tree_->header()->hide();
  tree_->setMinimumSize(260, 280);

  files_ = new QListWidget(this);
  files_->setObjectName("brsFile");
  files_->setMinimumSize(200, 280);
  files_->setVisible(mode == Mode::File);

  auto* lists = new QHBoxLayout;
  lists->addWidget(tree_, 3);
  lists->addWidget(files_, 2);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OK");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("CancelBrowse");
  cancel->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);

  folderLabel_ = new QLabel(this);
  folderLabel_->setObjectName("lblFolder");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(folderLabel_);
  layout->addLayout(lists);
  layout->addLayout(buttons);

  // The tree fills in the background; once the folders above the chosen one
  // are in, the chosen one can be scrolled to.
  connect(model_, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
    if (folder_.startsWith(path)) {
      tree_->scrollTo(tree_->currentIndex());
    }
  });
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) {
              folder_ = model_->filePath(current);
              FillFileList();
            }
          });
  // A click on a file picks it, as do Enter and a double-click; the arrow
  // keys only move through the list, so the picker does not close on the
  // first key press.
  connect(files_, &QListWidget::itemClicked, this, &BrowseDialog::PickFile);
  connect(files_, &QListWidget::itemActivated, this, &BrowseDialog::PickFile);
  connect(ok, &QPushButton::clicked, this, &BrowseDialog::OkClicked);
  connect(cancel, &QPushButton::clicked, this, &BrowseDialog::close);

  const QFileInfo start(startFolder);
  SetFolder(start.isAbsolute() && start.isDir() ? start.absoluteFilePath() : QDir::homePath());
}

void BrowseDialog::SetFolder(const QString& folder) {
  folder_ = QDir::cleanPath(folder);
  // Open the tree down to the folder, so the user sees where the list is.
  for (QString ancestor = folder_; !ancestor.isEmpty();) {
    tree_->expand(model_->index(ancestor));
    const QString parent = QFileInfo(ancestor).path();
    ancestor = parent == ancestor ? QString() : parent;
  }
  const QModelIndex index = model_->index(folder_);
  if (index.isValid()) {
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
  }
  FillFileList();
}

void BrowseDialog::FillFileList() {
  folderLabel_->setText(folder_);
  files_->clear();
  if (mode_ == Mode::File) {
    files_->addItems(QDir(folder_).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
  }
}

void BrowseDialog::PickFile(const QListWidgetItem* item) {
  target_->setText(WithTrailingSlash(folder_) + item->text());
  close();
}

void BrowseDialog::OkClicked() {
  if (mode_ == Mode::Folder) {
    target_->setText(folder_);
  } else if (const QListWidgetItem* item = files_->currentItem();
             item != nullptr && item->isSelected()) {
    PickFile(item);
    return;
  } else {
    target_->setText(WithTrailingSlash(folder_));
  }
  close();
}

}  // namespace twinbook
