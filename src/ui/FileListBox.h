#pragma once
// The list of one folder's JPEG files: bare names, sorted, single selection.

#include <QListWidget>
#include <string>
#include <vector>

namespace velmora {

class TFileListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit TFileListBox(QWidget* parent = nullptr);

  // The folder listed last: absolute, without a trailing separator except for the root; the
  // file system's bytes.
  const QByteArray& Directory() const { return directory_; }

  // Lists the folder when it can be entered and gives true; otherwise leaves the list, its
  // folder and its names as they were and gives false. A folder that is already the list's
  // folder is listed again only when `relist` is set.
  bool setDirectory(const QByteArray& path, bool relist);

  // Empties the list; its folder stays.
  void Clear();

  // The names in list order, as the file system spells them.
  std::vector<std::string> names() const;

  // The selected file's full path, or the empty text when nothing is selected.
  QString FileName() const;
  std::string fileNameBytes() const;

 signals:
  // The user changed the selection, or the list has just been read (and has no selection).
  void Change();

 private:
  QByteArray directory_;
  bool reading_ = false;
};

}  // namespace velmora
