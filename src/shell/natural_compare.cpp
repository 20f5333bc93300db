#include "shell/natural_compare.h"

namespace velmora {

namespace {

// A run of digits starting at `at`, compared by value: fewer significant digits is smaller.
int compareDigitRuns(const QString& a, int& i, const QString& b, int& j) {
  auto skipZeros = [](const QString& s, int& k) {
    while (k < s.size() && s[k] == QLatin1Char('0')) ++k;
  };
  auto runEnd = [](const QString& s, int k) {
    while (k < s.size() && s[k].isDigit()) ++k;
    return k;
  };
  skipZeros(a, i);
  skipZeros(b, j);
  const int endA = runEnd(a, i);
  const int endB = runEnd(b, j);
  if (endA - i != endB - j) return (endA - i) - (endB - j);
  for (; i < endA; ++i, ++j) {
    if (a[i] != b[j]) return a[i].unicode() - b[j].unicode();
  }
  return 0;
}

}  // namespace

int naturalCompare(const QString& a, const QString& b) {
  int i = 0;
  int j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      const int byValue = compareDigitRuns(a, i, b, j);
      if (byValue != 0) return byValue;
      continue;
    }
    const QString ca = QString(a[i]).toCaseFolded();
    const QString cb = QString(b[j]).toCaseFolded();
    if (ca != cb) return QString::compare(ca, cb);
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return (i < a.size()) ? 1 : -1;
  return QString::compare(a, b);
}

}  // namespace velmora
