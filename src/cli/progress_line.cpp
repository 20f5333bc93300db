#include "cli/progress_line.h"

#include <cstdio>

namespace velmora::cli {

namespace {

// Redrawn at most this often: a terminal is slower than a run of small files.
constexpr std::chrono::milliseconds kRedrawEvery{100};
constexpr std::size_t kWidestBar = 30;

std::string clockText(double seconds) {
  const long whole = static_cast<long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace

std::string progressText(std::size_t done, const ProgressTotal& total, double elapsed,
                         std::size_t width) {
  const std::size_t files = total.files > done ? total.files : done;
  const std::size_t filled = files == 0 ? 0 : width * done / files;
  const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
  char rateText[32];
  std::snprintf(rateText, sizeof rateText, "%.1f/s", rate);
  std::string text = std::to_string(done) + "/" + std::to_string(files) + (total.final ? "" : "+") +
                     " [" + std::string(filled, '#') + std::string(width - filled, '.') + "] " +
                     rateText + " ";
  if (!total.final) return text + "counting";
  if (rate <= 0) return text + "--:-- left";
  return text + clockText(static_cast<double>(files - done) / rate) + " left";
}

ProgressLine::ProgressLine(std::ostream& terminal, std::size_t columns,
                           std::function<ProgressTotal()> total)
    : terminal_(terminal), columns_(columns), total_(std::move(total)) {}

void ProgressLine::advance() {
  ++done_;
  if (!shown_ || std::chrono::steady_clock::now() - lastDrawn_ >= kRedrawEvery) draw();
}

void ProgressLine::draw() {
  lastDrawn_ = std::chrono::steady_clock::now();
  const double elapsed = std::chrono::duration<double>(lastDrawn_ - start_).count();
  const ProgressTotal total = total_();
  // The last column stays free: a line that fills it wraps on some terminals.
  const std::size_t withoutBar = progressText(done_, total, elapsed, 0).size() + 1;
  const std::size_t room = columns_ > withoutBar ? columns_ - withoutBar : 0;
  std::string text = progressText(done_, total, elapsed, room < kWidestBar ? room : kWidestBar);
  // Even without a bar the line may be wider than a narrow terminal; a wrapped line's first
  // part would stay behind at every redraw.
  if (text.size() >= columns_) text.resize(columns_ > 0 ? columns_ - 1 : 0);
  terminal_ << "\r\033[K" << text << std::flush;
  shown_ = true;
}

void ProgressLine::clear() {
  if (!shown_) return;
  terminal_ << "\r\033[K" << std::flush;
  shown_ = false;
}

}  // namespace velmora::cli
