#include "ui/FileListBox.h"

#include <QFile>
#include <QStyle>

#include "core/files/folder_listing.h"
#include "core/files/path_text.h"
#include "shell/shell_namespace.h"

namespace velmora {
namespace {

constexpr int kItemHeight = 16;
constexpr int kNameBytesRole = Qt::UserRole;

}  // namespace

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setIconSize(QSize(16, 16));
  connect(this, &QListWidget::itemSelectionChanged, this, [this] {
    if (!reading_) emit Change();
  });
}

void TFileListBox::Clear() {
  reading_ = true;
  clear();
  reading_ = false;
}

bool TFileListBox::setDirectory(const QByteArray& path, bool relist) {
  // A node outside the file system offers its display name as its path: never a folder here,
  // whatever the current directory holds.
  if (!path.startsWith('/')) return false;
  const QByteArray folder = cleanFolderPath(path);
  if (folder == directory_ && !relist) return true;
  const auto found = listJpegFiles(folder.toStdString());
  if (!found) return false;

  directory_ = folder;
  reading_ = true;
  clear();
  const QIcon glyph = style()->standardIcon(QStyle::SP_FileIcon);
  for (const std::string& name : *found) {
    auto* item = new QListWidgetItem(glyph, QFile::decodeName(QByteArray::fromStdString(name)));
    item->setData(kNameBytesRole, QByteArray::fromStdString(name));
    item->setSizeHint(QSize(0, kItemHeight));
    addItem(item);
  }
  setCurrentRow(-1);
  reading_ = false;
  emit Change();
  return true;
}

std::vector<std::string> TFileListBox::names() const {
  std::vector<std::string> result;
  result.reserve(static_cast<std::size_t>(count()));
  for (int row = 0; row < count(); ++row)
    result.push_back(item(row)->data(kNameBytesRole).toByteArray().toStdString());
  return result;
}

std::string TFileListBox::fileNameBytes() const {
  const QList<QListWidgetItem*> chosen = selectedItems();
  if (chosen.isEmpty()) return {};
  return joinPath(directory_.toStdString(),
                  chosen.front()->data(kNameBytesRole).toByteArray().toStdString());
}

QString TFileListBox::FileName() const {
  return QFile::decodeName(QByteArray::fromStdString(fileNameBytes()));
}

}  // namespace velmora
