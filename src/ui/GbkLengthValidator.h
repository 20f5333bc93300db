#pragma once
// A length limit counted in bytes of the GBK code page: one byte for an ASCII character, two
// for any other (a Chinese character). Typing past the limit is refused; pasted text is cut
// to what still fits, as a single-line edit of that code page does.

#include <QString>
#include <QValidator>

namespace velmora {

int gbkByteCount(QStringView text);

// The text after an edit that turned `before` into `after` with the cursor at `cursor` (just
// behind what was inserted), keeping the inserted text only as far as `maxBytes` allows.
// `cursor` is moved to the end of what was kept.
QString limitInsertion(const QString& before, const QString& after, int& cursor, int maxBytes);

class GbkLengthValidator : public QValidator {
  Q_OBJECT

 public:
  GbkLengthValidator(int maxBytes, QObject* parent);

  State validate(QString& input, int& pos) const override;

 private:
  int maxBytes_;
  // The text the field last held: the validator sees only the edited text, and must tell
  // what was inserted into it.
  mutable QString accepted_;
};

}  // namespace velmora
