#pragma once
// The order in which the trees list sibling folders, as a file manager does: letter case is
// ignored and runs of digits compare by their value ("img2" before "img10").

#include <QString>

namespace velmora {

// Negative, zero or positive like strcmp. Names equal but for letter case or leading zeros
// still compare unequal, so the order is total.
int naturalCompare(const QString& a, const QString& b);

}  // namespace velmora
