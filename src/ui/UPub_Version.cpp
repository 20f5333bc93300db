#include "ui/UPub_Version.h"

#include <new>

namespace velmora {

QString StampVersion(const QString& text, const QString& version) {
  static const QString kPlaceholder = QStringLiteral("$V$");
  try {
    QString result;
    qsizetype from = 0;
    for (;;) {
      const qsizetype at = text.indexOf(kPlaceholder, from, Qt::CaseInsensitive);
      if (at < 0) break;
      result += QStringView(text).mid(from, at - from);
      result += version;
      from = at + kPlaceholder.size();
    }
    result += QStringView(text).mid(from);
    return result;
  } catch (const std::bad_alloc&) {
    return text;
  }
}

}  // namespace velmora
