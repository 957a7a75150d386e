#pragma once

#include <QDialog>
#include <QString>
#include <string>

class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTreeView;

namespace twinbook {

// The folder part of a path: everything before the last "/" that is not the
// path's last character. "/data/SyncLog.txt" gives "/data"; "/data/" gives ""
// (its only other "/" is the first character), as does a path with no "/" at
// all. A file in the root ("/x") gives "/": the root is a folder, and "" is
// kept for "no usable folder".
std::string FolderOfPath(const std::string& path);

// Browse: a small picker that fills one path field of the Options dialog. A
// folder tree (BrsDir), the chosen folder's path (lblFolder) and its files
// (brsFile), with OK
// and CancelBrowse. Picking a file (a click on it, Enter or a double-click,
// or OK with a file selected) puts the folder, a "/" and the file name into
// the field and closes the picker. OK with no file selected puts the folder
// followed by "/". CancelBrowse closes it and leaves the field as it was.
//
// In folder mode (for the contacts folder) there is no file list: OK puts
// the chosen folder itself into the field.
//
// The picker is modeless and deletes itself when closed.
class BrowseDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Mode { File, Folder };

  // `startFolder`: where the picker opens; a folder that does not exist (or
  // is not an absolute path) opens the home folder instead.
  BrowseDialog(const QString& caption, const QString& startFolder, Mode mode, QLineEdit* target,
               QWidget* parent);

  // The folder whose files are listed.
  const QString& folder() const { return folder_; }
  // Shows `folder` in the tree and lists its files.
  void SetFolder(const QString& folder);

 private:
  void FillFileList();
  void PickFile(const QListWidgetItem* item);
  void OkClicked();

  Mode mode_;
  QLineEdit* target_;
  QString folder_;
  QFileSystemModel* model_ = nullptr;
  QLabel* folderLabel_ = nullptr;
  QTreeView* tree_ = nullptr;
  QListWidget* files_ = nullptr;
};

}  // namespace twinbook
