#include "core/jpeg/marker_capture.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/image/exif_orientation.h"
#include "core/metadata/xmp_rewrite.h"

namespace velmora {

namespace {

constexpr std::size_t kLargestPayload = 0xFFFF - 2;

// An APP2 segment of an ICC profile starts with this signature, the chunk's sequence number
// (from 1) and the number of chunks.
constexpr unsigned char kIccSignature[] = {'I', 'C', 'C', '_', 'P', 'R',
                                           'O', 'F', 'I', 'L', 'E', 0};
constexpr std::size_t kIccHeaderSize = sizeof kIccSignature + 2;
// Display and camera profiles are a few kilobytes, the largest press profiles a few megabytes;
// a file claiming more is not worth the memory.
constexpr std::size_t kLargestIccProfile = 8u << 20;
constexpr std::size_t kMostIccChunks = 255;
// A Photoshop block larger than one segment goes on in the next; captions and copyright take a
// few kilobytes, and the comments the same allowance.
constexpr std::size_t kMostWholeSegmentBytes = 256u << 10;
constexpr unsigned char kPhotoshopSignature[] = {'P', 'h', 'o', 't', 'o', 's', 'h',
                                                 'o', 'p', ' ', '3', '.', '0', 0};

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
  jpeg_set_marker_processor(cinfo, JPEG_APP0 + 1, readApp1Segment);
  jpeg_set_marker_processor(cinfo, JPEG_APP0 + 2, readIccSegment);
}

void MarkerCapture::keepMetadata(j_decompress_ptr cinfo) {
  metadataKept_ = true;
  markers_.xmp.reserve(kLargestPayload);
  jpeg_set_marker_processor(cinfo, JPEG_APP0 + 13, readPhotoshopSegment);
  jpeg_set_marker_processor(cinfo, JPEG_COM, readComment);
}

std::size_t MarkerCapture::bytesHeld() const {
  return markers_.exif.capacity() + markers_.iccProfile.capacity() + iccBytes_.capacity() +
         markers_.xmp.capacity() + wholeSegmentBytes_;
}

// The segment readers run inside libjpeg, and a failing source jumps from them back to the
// guard that entered the library: their frames hold no object with a destructor, and what they
// keep either fits the room reserved for it or is grown before the segment's bytes are read.
//
// An APP1 segment is read into the room of the first kind still wanted; when it turns out to be
// the other kind, the two blocks trade their (equally reserved) room.
boolean MarkerCapture::readApp1Segment(j_decompress_ptr cinfo) {
  MarkerCapture& keeper = *static_cast<MarkerCapture*>(cinfo->client_data);
  SourceMarkers& markers = keeper.markers_;
  const std::size_t payload = payloadSize(cinfo);
  const bool xmpWanted = keeper.metadataKept_ && !keeper.xmpFound_;
  if (keeper.exifFound_ && !xmpWanted) {
    skipBytes(cinfo, payload);
    return TRUE;
  }
  std::vector<unsigned char>& block = keeper.exifFound_ ? markers.xmp : markers.exif;
  block.resize(payload);
  for (std::size_t i = 0; i < payload; ++i) block[i] = static_cast<JOCTET>(nextByte(cinfo));
  if (!keeper.exifFound_ && isExifBlock(block.data(), block.size())) {
    keeper.exifFound_ = true;
  } else if (xmpWanted && isXmpBlock(block.data(), block.size())) {
    if (&block != &markers.xmp) block.swap(markers.xmp);
    keeper.xmpFound_ = true;
  } else {
    block.clear();
  }
  return TRUE;
}

boolean MarkerCapture::readPhotoshopSegment(j_decompress_ptr cinfo) {
  MarkerCapture& keeper = *static_cast<MarkerCapture*>(cinfo->client_data);
  keeper.keepWhole(cinfo, payloadSize(cinfo), keeper.markers_.iptc, true);
  return TRUE;
}

boolean MarkerCapture::readComment(j_decompress_ptr cinfo) {
  MarkerCapture& keeper = *static_cast<MarkerCapture*>(cinfo->client_data);
  keeper.keepWhole(cinfo, payloadSize(cinfo), keeper.markers_.comments, false);
  return TRUE;
}

// Keeps a segment whole while the allowance lasts; a Photoshop one only with its signature.
void MarkerCapture::keepWhole(j_decompress_ptr cinfo, std::size_t payload,
                              std::vector<std::vector<unsigned char>>& kept, bool photoshop) {
  bool keep = payload <= kMostWholeSegmentBytes - wholeSegmentBytes_;
  if (keep) {
    try {
      kept.emplace_back(payload);
    } catch (const std::bad_alloc&) {
      keep = false;
    }
  }
  if (!keep) {
    skipBytes(cinfo, payload);
    return;
  }
  std::vector<unsigned char>& block = kept.back();
  for (std::size_t i = 0; i < payload; ++i) block[i] = static_cast<unsigned char>(nextByte(cinfo));
  if (photoshop && (payload < sizeof kPhotoshopSignature ||
                    std::memcmp(block.data(), kPhotoshopSignature, sizeof kPhotoshopSignature))) {
    kept.pop_back();
    return;
  }
  wholeSegmentBytes_ += payload;
}

boolean MarkerCapture::readIccSegment(j_decompress_ptr cinfo) {
  MarkerCapture& keeper = *static_cast<MarkerCapture*>(cinfo->client_data);
  const std::size_t payload = payloadSize(cinfo);
  unsigned char header[kIccHeaderSize];
  const std::size_t headerSize = std::min(payload, kIccHeaderSize);
  for (std::size_t i = 0; i < headerSize; ++i)
    header[i] = static_cast<unsigned char>(nextByte(cinfo));
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
  keeper.iccChunks_.push_back(
      {header[sizeof kIccSignature], header[sizeof kIccSignature + 1], offset, size});
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
