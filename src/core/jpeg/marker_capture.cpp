#include "core/jpeg/marker_capture.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/image/exif_orientation.h"

namespace velmora {

namespace {

constexpr std::size_t kLargestPayload = 0xFFFF - 2;

// An APP2 segment of an ICC profile starts with this signature, the chunk's sequence number
// (from 1) and the number of chunks.
constexpr unsigned char kIccSignature[] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
constexpr std::size_t kIccHeaderSize = sizeof kIccSignature + 2;
// Display and camera profiles are a few kilobytes, the largest press profiles a few megabytes;
// a file claiming more is not worth the memory.
constexpr std::size_t kLargestIccProfile = 8u << 20;
constexpr std::size_t kMostIccChunks = 255;

// Our sources never suspend: at the end of the input they hand over an end marker instead.
unsigned nextByte(j_decompress_ptr cinfo) {
  jpeg_source_mgr& source = *cinfo->src;
  if (source.bytes_in_buffer == 0) source.fill_input_buffer(cinfo);
  --source.bytes_in_buffer;
  return *source.next_input_byte++;
}

std::size_t payloadSize(j_decompress_ptr cinfo) {
  const unsigned high = nextByte(cinfo);
  const unsigned low = nextByte(cinfo);
  const unsigned length = (high << 8) | low;
  return length > 2 ? length - 2 : 0;
}

void skipBytes(j_decompress_ptr cinfo, std::size_t count) {
  if (count > 0) cinfo->src->skip_input_data(cinfo, static_cast<long>(count));
}

}  // namespace

MarkerCapture::MarkerCapture() {
  markers_.exif.reserve(kLargestPayload);
  iccChunks_.reserve(kMostIccChunks);
}

void MarkerCapture::readFrom(j_decompress_ptr cinfo) {
  cinfo->client_data = this;
  jpeg_set_marker_processor(cinfo, JPEG_APP0 + 1, readExifSegment);
  jpeg_set_marker_processor(cinfo, JPEG_APP0 + 2, readIccSegment);
}

std::size_t MarkerCapture::bytesHeld() const {
  return markers_.exif.capacity() + markers_.iccProfile.capacity() + iccBytes_.capacity();
}

// The segment readers run inside libjpeg, and a failing source jumps from them back to the
// guard that entered the library: their frames hold no object with a destructor, and what they
// keep either fits the room reserved for it or is grown before the segment's bytes are read.
boolean MarkerCapture::readExifSegment(j_decompress_ptr cinfo) {
  MarkerCapture& keeper = *static_cast<MarkerCapture*>(cinfo->client_data);
  const std::size_t payload = payloadSize(cinfo);
  std::vector<unsigned char>& block = keeper.markers_.exif;
  if (keeper.exifFound_) {
    skipBytes(cinfo, payload);
    return TRUE;
  }
  block.resize(payload);
  for (std::size_t i = 0; i < payload; ++i) block[i] = static_cast<JOCTET>(nextByte(cinfo));
  keeper.exifFound_ = isExifBlock(block.data(), block.size());
  if (!keeper.exifFound_) block.clear();
  return TRUE;
}

boolean MarkerCapture::readIccSegment(j_decompress_ptr cinfo) {
  MarkerCapture& keeper = *static_cast<MarkerCapture*>(cinfo->client_data);
  const std::size_t payload = payloadSize(cinfo);
  unsigned char header[kIccHeaderSize];
  const std::size_t headerSize = std::min(payload, kIccHeaderSize);
  for (std::size_t i = 0; i < headerSize; ++i) header[i] = static_cast<unsigned char>(nextByte(cinfo));
  if (headerSize < kIccHeaderSize ||
      std::memcmp(header, kIccSignature, sizeof kIccSignature) != 0) {
    skipBytes(cinfo, payload - headerSize);
    return TRUE;
  }
  const std::size_t size = payload - kIccHeaderSize;
  const std::size_t offset = keeper.iccBytes_.size();
  bool kept = !keeper.markers_.iccProfileDamaged && keeper.iccChunks_.size() < kMostIccChunks &&
              size <= kLargestIccProfile - offset;
  if (kept) {
    try {
      keeper.iccBytes_.resize(offset + size);
    } catch (const std::bad_alloc&) {
      kept = false;
    }
  }
  if (!kept) {
    keeper.markers_.iccProfileDamaged = true;
    skipBytes(cinfo, size);
    return TRUE;
  }
  keeper.iccChunks_.push_back({header[sizeof kIccSignature], header[sizeof kIccSignature + 1],
                               offset, size});
  for (std::size_t i = 0; i < size; ++i) {
    keeper.iccBytes_[offset + i] = static_cast<unsigned char>(nextByte(cinfo));
  }
  return TRUE;
}

void MarkerCapture::headerRead() {
  if (iccChunks_.empty() || markers_.iccProfileDamaged) return;
  if (!joinIccChunks()) {
    markers_.iccProfile.clear();
    markers_.iccProfileDamaged = true;
  }
  iccBytes_ = {};
}

// The chunks must number 1 to N, each once, all saying N.
bool MarkerCapture::joinIccChunks() {
  const unsigned count = iccChunks_.front().count;
  if (count != iccChunks_.size()) return false;
  std::sort(iccChunks_.begin(), iccChunks_.end(),
            [](const IccChunk& a, const IccChunk& b) { return a.sequence < b.sequence; });
  markers_.iccProfile.reserve(iccBytes_.size());
  for (std::size_t i = 0; i < iccChunks_.size(); ++i) {
    const IccChunk& chunk = iccChunks_[i];
    if (chunk.count != count || chunk.sequence != i + 1) return false;
    const auto from = iccBytes_.begin() + static_cast<std::ptrdiff_t>(chunk.offset);
    markers_.iccProfile.insert(markers_.iccProfile.end(), from,
                               from + static_cast<std::ptrdiff_t>(chunk.size));
  }
  return true;
}

}  // namespace velmora
