#include "core/jpeg/scan_filter_source.h"

#include <cstring>

namespace velmora {

namespace {

constexpr std::size_t kChunk = 16 * 1024;
constexpr std::size_t kLargestSegment = 0xFFFF;
constexpr int kEndOfInput = -1;

}  // namespace

void ScanFilterSource::installIn(j_decompress_ptr cinfo, int lastCoefficient,
                                 std::unique_ptr<ScanFilterSource>& owner) {
  owner.reset(new ScanFilterSource(cinfo, lastCoefficient));
  cinfo->src = &owner->link_.pub;
}

// The callbacks below run inside libjpeg, and a fatal error of the inner source jumps from
// there back to the guard that entered the library: these frames hold no object with a
// destructor (the buffers are members), and must stay that way.
ScanFilterSource::ScanFilterSource(j_decompress_ptr cinfo, int lastCoefficient)
    : cinfo_(cinfo), inner_(cinfo->src), lastCoefficient_(lastCoefficient) {
  link_.self = this;
  jpeg_source_mgr& pub = link_.pub;
  pub.init_source = [](j_decompress_ptr) {};
  pub.fill_input_buffer = [](j_decompress_ptr c) -> boolean { return of(c).fill(); };
  pub.skip_input_data = [](j_decompress_ptr c, long count) { of(c).skip(count); };
  pub.resync_to_restart = jpeg_resync_to_restart;
  pub.term_source = [](j_decompress_ptr c) { of(c).terminateInner(); };
  pub.next_input_byte = nullptr;
  pub.bytes_in_buffer = 0;
  // A refill stops adding entropy-coded data at a chunk, and adds at most one marker segment
  // beyond it: with this room the buffers never grow inside libjpeg, where an allocation
  // failure could not be thrown.
  out_.reserve(kChunk + 2 + kLargestSegment);
  segment_.reserve(kLargestSegment);
  // The header reading stopped just after the first scan's header; in a progressive file the
  // first scan is a DC scan, whose data follows.
  mode_ = Mode::PassEntropy;
}

ScanFilterSource& ScanFilterSource::of(j_decompress_ptr cinfo) {
  return *reinterpret_cast<Link*>(cinfo->src)->self;
}

bool ScanFilterSource::refillInner() {
  cinfo_->src = inner_;
  const boolean filled = inner_->fill_input_buffer(cinfo_);
  cinfo_->src = &link_.pub;
  return filled && inner_->bytes_in_buffer > 0;
}

void ScanFilterSource::terminateInner() {
  cinfo_->src = inner_;
  inner_->term_source(cinfo_);
  cinfo_->src = &link_.pub;
}

int ScanFilterSource::takeByte() {
  if (inner_->bytes_in_buffer == 0 && !refillInner()) return kEndOfInput;
  --inner_->bytes_in_buffer;
  return *inner_->next_input_byte++;
}

void ScanFilterSource::emit(int byte) { out_.push_back(static_cast<JOCTET>(byte)); }

// Entropy-coded data up to the next marker, kept or dropped; byte stuffing (FF 00) and
// restart markers belong to the data.
void ScanFilterSource::scanEntropy() {
  if (inner_->bytes_in_buffer == 0 && !refillInner()) {
    mode_ = Mode::Ended;
    return;
  }
  const JOCTET* start = inner_->next_input_byte;
  const auto* mark = static_cast<const JOCTET*>(std::memchr(start, 0xFF, inner_->bytes_in_buffer));
  const std::size_t plain =
      mark != nullptr ? static_cast<std::size_t>(mark - start) : inner_->bytes_in_buffer;
  if (mode_ == Mode::PassEntropy) out_.insert(out_.end(), start, start + plain);
  inner_->next_input_byte += plain;
  inner_->bytes_in_buffer -= plain;
  if (mark == nullptr) return;
  takeByte();
  int code = takeByte();
  while (code == 0xFF) code = takeByte();
  if (code == kEndOfInput) {
    mode_ = Mode::Ended;
  } else if (code == 0x00 || (code >= JPEG_RST0 && code <= JPEG_RST0 + 7)) {
    if (mode_ == Mode::PassEntropy) {
      emit(0xFF);
      emit(code);
    }
  } else {
    takeMarker(code);
  }
}

// Between segments: anything up to the next marker is dropped.
void ScanFilterSource::scanForMarker() {
  int byte = takeByte();
  while (byte != kEndOfInput && byte != 0xFF) byte = takeByte();
  while (byte == 0xFF) byte = takeByte();
  if (byte == kEndOfInput) {
    mode_ = Mode::Ended;
  } else {
    takeMarker(byte);
  }
}

// Reads a marker's segment (after its code) and keeps it unless it opens a dropped scan.
void ScanFilterSource::takeMarker(int code) {
  const bool standalone = code == JPEG_EOI || code == 0xD8 || code == 0x01 ||
                          (code >= JPEG_RST0 && code <= JPEG_RST0 + 7);
  if (standalone) {
    emit(0xFF);
    emit(code);
    mode_ = code == JPEG_EOI ? Mode::Ended : Mode::Markers;
    return;
  }
  const int high = takeByte();
  const int low = takeByte();
  if (low == kEndOfInput) {
    mode_ = Mode::Ended;
    return;
  }
  const int length = (high << 8) | low;
  segment_.clear();
  for (int i = 2; i < length; ++i) {
    const int byte = takeByte();
    if (byte == kEndOfInput) break;
    segment_.push_back(static_cast<JOCTET>(byte));
  }
  const bool scan = code == 0xDA;
  const bool dropped = scan && dropsScan();
  if (!dropped) {
    emit(0xFF);
    emit(code);
    emit(high);
    emit(low);
    out_.insert(out_.end(), segment_.begin(), segment_.end());
  }
  mode_ = !scan ? Mode::Markers : dropped ? Mode::DropEntropy : Mode::PassEntropy;
}

// A scan header holds the component count, two bytes per component, then the first and last
// coefficient of the band and the bit positions (high nibble: the bits already sent, zero for
// a first pass).
bool ScanFilterSource::dropsScan() const {
  if (segment_.empty()) return false;
  const std::size_t bandAt = 1 + 2 * static_cast<std::size_t>(segment_[0]);
  if (bandAt >= segment_.size()) return false;
  const int first = segment_[bandAt];
  if (first == 0) return false;
  if (first > lastCoefficient_) return true;
  return bandAt + 2 < segment_.size() && (segment_[bandAt + 2] >> 4) != 0;
}

boolean ScanFilterSource::fill() {
  out_.clear();
  while (out_.size() < kChunk && mode_ != Mode::Ended) {
    if (mode_ == Mode::Markers) {
      scanForMarker();
    } else {
      scanEntropy();
    }
  }
  // At the end libjpeg is given an end-of-image marker, as its own sources do.
  if (out_.empty()) {
    emit(0xFF);
    emit(JPEG_EOI);
  }
  link_.pub.next_input_byte = out_.data();
  link_.pub.bytes_in_buffer = out_.size();
  return TRUE;
}

void ScanFilterSource::skip(long count) {
  jpeg_source_mgr& pub = link_.pub;
  while (count > static_cast<long>(pub.bytes_in_buffer)) {
    count -= static_cast<long>(pub.bytes_in_buffer);
    fill();
  }
  if (count > 0) {
    pub.next_input_byte += count;
    pub.bytes_in_buffer -= static_cast<std::size_t>(count);
  }
}

}  // namespace velmora
