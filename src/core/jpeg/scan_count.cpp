#include "core/jpeg/scan_count.h"

#include <cstring>
#include <vector>

namespace velmora {

namespace {

constexpr unsigned char kStartOfScan = 0xDA;
constexpr unsigned char kEndOfImage = 0xD9;

// Markers without a length: stuffing (00), restarts, TEM, SOI; FF is fill before a marker.
bool standsAlone(unsigned char code) {
  return code == 0x00 || code == 0x01 || code == 0xD8 || (code >= 0xD0 && code <= 0xD7);
}

}  // namespace

void ScanCounter::takeMarker(unsigned char code) {
  if (code == 0xFF) return;  // fill byte: the marker code is still to come
  if (code == kEndOfImage) {
    state_ = State::Ended;
  } else if (standsAlone(code)) {
    state_ = State::Entropy;
  } else {
    marker_ = code;
    state_ = State::LengthHigh;
  }
}

void ScanCounter::feed(const unsigned char* bytes, std::size_t count) {
  const unsigned char* end = bytes + count;
  while (bytes < end && state_ != State::Ended) {
    switch (state_) {
      case State::Entropy: {
        const auto* mark = static_cast<const unsigned char*>(
            std::memchr(bytes, 0xFF, static_cast<std::size_t>(end - bytes)));
        if (mark == nullptr) return;
        bytes = mark + 1;
        state_ = State::MarkerByte;
        break;
      }
      case State::MarkerByte:
        takeMarker(*bytes++);
        break;
      case State::LengthHigh:
        remaining_ = std::uint32_t{*bytes++} << 8;
        state_ = State::LengthLow;
        break;
      case State::LengthLow:
        remaining_ |= *bytes++;
        // The length counts its own two bytes.
        remaining_ = remaining_ >= 2 ? remaining_ - 2 : 0;
        if (marker_ == kStartOfScan) ++scans_;
        state_ = State::Segment;
        break;
      case State::Segment: {
        const std::size_t available = static_cast<std::size_t>(end - bytes);
        const std::size_t passed = remaining_ < available ? remaining_ : available;
        bytes += passed;
        remaining_ -= static_cast<std::uint32_t>(passed);
        if (remaining_ == 0) state_ = State::Entropy;
        break;
      }
      case State::Ended:
        break;
    }
  }
}

int scansInInput(const jpeg_source_mgr& source, const FileSource* file, int limit) {
  ScanCounter counter;
  counter.feed(source.next_input_byte, source.bytes_in_buffer);
  if (file == nullptr) return counter.scans();
  constexpr std::size_t kChunk = 64 * 1024;
  std::vector<unsigned char> chunk(kChunk);
  auto offset = static_cast<off_t>(file->bytesRead);
  while (!counter.ended() && counter.scans() <= limit) {
    const ssize_t got = file->file.readAt(chunk.data(), chunk.size(), offset);
    if (got <= 0) break;
    counter.feed(chunk.data(), static_cast<std::size_t>(got));
    offset += got;
  }
  return counter.scans();
}

}  // namespace velmora
