#pragma once
// A length limit counted in bytes of the GBK code page, as Qt's GBK encoder writes them: one
// byte for an ASCII character, two for a Chinese one. Typing past the limit is refused; pasted
// text is cut to what still fits, as a single-line edit of that code page does. A character
// GBK cannot write (an emoji) never fits.

#include <QString>
#include <QValidator>
#include <optional>

namespace velmora {

// Nothing when some character of `text` has no GBK form.
std::optional<int> gbkByteCount(QStringView text);

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
