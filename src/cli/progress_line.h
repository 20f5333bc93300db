#pragma once
// The one-line progress display a run shows on a terminal: done/total, a bar, the rate and the
// time left, redrawn in place and removed at the end.

#include <chrono>
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

#include "core/run/batch_runner.h"

namespace velmora::cli {

struct ProgressTotal {
  std::size_t files = 0;  // files to make, known so far
  bool final = false;     // no more will be found
};

// What the line shows after `done` files of `total` in `elapsed` seconds; `width` is the
// bar's.
std::string progressText(std::size_t done, const ProgressTotal& total, double elapsed,
                         std::size_t width);

class ProgressLine : public ProgressSink {
 public:
  // `columns`: the terminal's width; the bar shrinks so that the line never wraps.
  ProgressLine(std::ostream& terminal, std::size_t columns, std::function<ProgressTotal()> total);

  // Redraws now and then, and always when the line was taken off.
  void advance() override;
  // Takes the line off the screen, so other output can be written where it was.
  void clear();

 private:
  void draw();

  std::ostream& terminal_;
  const std::size_t columns_;
  std::function<ProgressTotal()> total_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastDrawn_{};
  std::size_t done_ = 0;
  bool shown_ = false;
};

}  // namespace velmora::cli
