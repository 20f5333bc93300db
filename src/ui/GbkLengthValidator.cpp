#include "ui/GbkLengthValidator.h"

namespace velmora {
namespace {

int charBytes(char32_t codePoint) { return codePoint < 0x80 ? 1 : 2; }

// How many QChars of `text`, from its start, fit into `budget` bytes.
qsizetype prefixWithin(QStringView text, int budget) {
  qsizetype taken = 0;
  for (const char32_t codePoint : text.toUcs4()) {
    const int bytes = charBytes(codePoint);
    if (bytes > budget) break;
    budget -= bytes;
    taken += QChar::requiresSurrogates(codePoint) ? 2 : 1;
  }
  return taken;
}

}  // namespace

int gbkByteCount(QStringView text) {
  int bytes = 0;
  for (const char32_t codePoint : text.toUcs4()) bytes += charBytes(codePoint);
  return bytes;
}

QString limitInsertion(const QString& before, const QString& after, int& cursor, int maxBytes) {
  if (gbkByteCount(after) <= maxBytes) return after;
  cursor = qBound(0, cursor, int(after.size()));
  const QStringView tail = QStringView(after).mid(cursor);
  if (!before.endsWith(tail)) {
    const qsizetype kept = prefixWithin(after, maxBytes);
    cursor = int(kept);
    return after.left(kept);
  }
  qsizetype start = 0;
  const qsizetype headLimit = qMin<qsizetype>(cursor, before.size() - tail.size());
  while (start < headLimit && before[start] == after[start]) ++start;
  const QStringView head = QStringView(after).left(start);
  const QStringView inserted = QStringView(after).mid(start, cursor - start);
  const int room = maxBytes - gbkByteCount(head) - gbkByteCount(tail);
  const QStringView kept = inserted.left(prefixWithin(inserted, qMax(room, 0)));
  cursor = int(head.size() + kept.size());
  return head.toString() + kept.toString() + tail.toString();
}

GbkLengthValidator::GbkLengthValidator(int maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes) {}

QValidator::State GbkLengthValidator::validate(QString& input, int& pos) const {
  if (gbkByteCount(input) > maxBytes_) {
    const QString limited = limitInsertion(accepted_, input, pos, maxBytes_);
    if (limited == accepted_) return Invalid;
    input = limited;
  }
  accepted_ = input;
  return Acceptable;
}

}  // namespace velmora
