#include "ui/GbkLengthValidator.h"

#include <QStringEncoder>

namespace velmora {
namespace {

std::optional<int> charBytes(char32_t codePoint) {
  // A fresh encoder for each character: an encoder's error flag survives resetState().
  QStringEncoder gbk("GBK");
  const QByteArray bytes = gbk.encode(QString::fromUcs4(&codePoint, 1));
  if (gbk.hasError() || bytes.isEmpty()) return std::nullopt;
  return int(bytes.size());
}

bool fits(QStringView text, int maxBytes) {
  const std::optional<int> bytes = gbkByteCount(text);
  return bytes && *bytes <= maxBytes;
}

// How many QChars of `text`, from its start, fit into `budget` bytes.
qsizetype prefixWithin(QStringView text, int budget) {
  qsizetype taken = 0;
  for (const char32_t codePoint : text.toUcs4()) {
    const std::optional<int> bytes = charBytes(codePoint);
    if (!bytes || *bytes > budget) break;
    budget -= *bytes;
    taken += QChar::requiresSurrogates(codePoint) ? 2 : 1;
  }
  return taken;
}

}  // namespace

std::optional<int> gbkByteCount(QStringView text) {
  int total = 0;
  for (const char32_t codePoint : text.toUcs4()) {
    const std::optional<int> bytes = charBytes(codePoint);
    if (!bytes) return std::nullopt;
    total += *bytes;
  }
  return total;
}

QString limitInsertion(const QString& before, const QString& after, int& cursor, int maxBytes) {
  if (fits(after, maxBytes)) return after;
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
  const int room =
      maxBytes - gbkByteCount(head).value_or(maxBytes) - gbkByteCount(tail).value_or(maxBytes);
  const QStringView kept = inserted.left(prefixWithin(inserted, qMax(room, 0)));
  cursor = int(head.size() + kept.size());
  return head.toString() + kept.toString() + tail.toString();
}

GbkLengthValidator::GbkLengthValidator(int maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes) {}

QValidator::State GbkLengthValidator::validate(QString& input, int& pos) const {
  if (!fits(input, maxBytes_)) {
    const QString limited = limitInsertion(accepted_, input, pos, maxBytes_);
    if (limited == accepted_) return Invalid;
    input = limited;
  }
  accepted_ = input;
  return Acceptable;
}

}  // namespace velmora
