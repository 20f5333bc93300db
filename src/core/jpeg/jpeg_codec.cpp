#include "core/jpeg/jpeg_codec.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "core/jpeg/decoder_memory.h"
#include "core/errors.h"
#include "core/image/exif_orientation.h"

namespace velmora {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return. It jumps back to
// the guard that entered the library, and the guard throws EJPEG there, outside libjpeg's C
// frames. Warnings and trace messages are dropped: a damaged stream decodes as far as it can.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  bool readFailed = false;  // the stop came from the source file, not from the codec
};

[[noreturn]] void jumpToGuard(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void discardMessage(j_common_ptr, int) {}
void discardOutput(j_common_ptr) {}

void installErrorManager(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = jumpToGuard;
  err.pub.emit_message = discardMessage;
  err.pub.output_message = discardOutput;
}

// Runs one libjpeg call sequence; a fatal codec error comes out as EJPEG. The callable must not
// own objects with destructors, since the jump passes over them.
template <typename Call>
void guarded(ErrorManager& err, const Call& call) {
  if (setjmp(err.jump) != 0) {
    if (err.readFailed) throw EReadError();
    throw EJPEG(err.pub.msg_code);
  }
  call();
}

constexpr int kGreyLevels = 236;
constexpr int kArithmeticCodingCode = 1;
constexpr int kThumbnailQuality = 90;

// Four-component files written by Adobe software (the only common source of them) store CMYK
// inverted; others store it plainly.
unsigned char cmykToChannel(unsigned ink, unsigned black, bool inverted) {
  if (!inverted) {
    ink = 255 - ink;
    black = 255 - black;
  }
  return static_cast<unsigned char>((ink * black + 127) / 255);
}

// Feeds libjpeg from an open file a buffer at a time, so that memory never follows the file's
// size and a file that is not a JPEG fails after its first bytes. The end of the file behaves
// as libjpeg's own sources do: a warning and an inserted end marker.
struct FileSource {
  static constexpr std::size_t kBufferBytes = 128 * 1024;

  jpeg_source_mgr pub{};
  SourceFile file;
  std::vector<JOCTET> buffer = std::vector<JOCTET>(kBufferBytes);
  std::size_t bytesRead = 0;
  bool primed = false;

  explicit FileSource(SourceFile opened) : file(std::move(opened)) {
    pub.init_source = [](j_decompress_ptr) {};
    pub.fill_input_buffer = fill;
    pub.skip_input_data = skip;
    pub.resync_to_restart = jpeg_resync_to_restart;
    pub.term_source = [](j_decompress_ptr) {};
  }

  static FileSource& of(j_decompress_ptr cinfo) {
    return *reinterpret_cast<FileSource*>(cinfo->src);
  }

  // The next buffer's byte count, or -1 when the read failed.
  ssize_t refill() {
    primed = true;
    const ssize_t got = file.readSome(buffer.data(), buffer.size());
    pub.next_input_byte = buffer.data();
    pub.bytes_in_buffer = got > 0 ? static_cast<std::size_t>(got) : 0;
    if (got > 0) bytesRead += static_cast<std::size_t>(got);
    return got;
  }

  static boolean fill(j_decompress_ptr cinfo) {
    FileSource& s = of(cinfo);
    const ssize_t got = s.refill();
    if (got < 0) {
      reinterpret_cast<ErrorManager*>(cinfo->err)->readFailed = true;
      ERREXIT(cinfo, JERR_FILE_READ);
    }
    if (got == 0) {
      if (s.bytesRead == 0) ERREXIT(cinfo, JERR_INPUT_EMPTY);
      WARNMS(cinfo, JWRN_JPEG_EOF);
      s.buffer[0] = 0xFF;
      s.buffer[1] = JPEG_EOI;
      s.pub.bytes_in_buffer = 2;
    }
    return TRUE;
  }

  static void skip(j_decompress_ptr cinfo, long count) {
    FileSource& s = of(cinfo);
    while (count > static_cast<long>(s.pub.bytes_in_buffer)) {
      count -= static_cast<long>(s.pub.bytes_in_buffer);
      fill(cinfo);
    }
    if (count > 0) {
      s.pub.next_input_byte += count;
      s.pub.bytes_in_buffer -= static_cast<std::size_t>(count);
    }
  }
};

// Hands libjpeg the file without its AC scans: marker segments and the entropy-coded data of
// DC scans pass through, an AC scan's header and data are dropped unread (only searched for
// the next marker), so libjpeg never spends time decoding them. It reads from the source that
// was in place, whatever that is, swapping it back in for each refill.
class DcScanSource {
 public:
  static void installIn(j_decompress_ptr cinfo, std::unique_ptr<DcScanSource>& owner) {
    owner.reset(new DcScanSource(cinfo));
    cinfo->src = &owner->link_.pub;
  }

 private:
  enum class Mode { Markers, PassEntropy, DropEntropy, Ended };
  static constexpr std::size_t kChunk = 16 * 1024;
  static constexpr int kEndOfInput = -1;

  explicit DcScanSource(j_decompress_ptr cinfo) : cinfo_(cinfo), inner_(cinfo->src) {
    link_.self = this;
    jpeg_source_mgr& pub = link_.pub;
    pub.init_source = [](j_decompress_ptr) {};
    pub.fill_input_buffer = [](j_decompress_ptr c) -> boolean { return of(c).fill(); };
    pub.skip_input_data = [](j_decompress_ptr c, long count) { of(c).skip(count); };
    pub.resync_to_restart = jpeg_resync_to_restart;
    pub.term_source = [](j_decompress_ptr c) { of(c).terminateInner(); };
    pub.next_input_byte = nullptr;
    pub.bytes_in_buffer = 0;
    // The header reading stopped just after the first scan's header; in a progressive file the
    // first scan is a DC scan, whose data follows.
    mode_ = Mode::PassEntropy;
  }

  // libjpeg knows only the source manager; the link leads back to its owner.
  struct Link {
    jpeg_source_mgr pub;
    DcScanSource* self;
  };

  static DcScanSource& of(j_decompress_ptr cinfo) {
    return *reinterpret_cast<Link*>(cinfo->src)->self;
  }

  bool refillInner() {
    cinfo_->src = inner_;
    const boolean filled = inner_->fill_input_buffer(cinfo_);
    cinfo_->src = &link_.pub;
    return filled && inner_->bytes_in_buffer > 0;
  }

  void terminateInner() {
    cinfo_->src = inner_;
    inner_->term_source(cinfo_);
    cinfo_->src = &link_.pub;
  }

  int takeByte() {
    if (inner_->bytes_in_buffer == 0 && !refillInner()) return kEndOfInput;
    --inner_->bytes_in_buffer;
    return *inner_->next_input_byte++;
  }

  void emit(int byte) { out_.push_back(static_cast<JOCTET>(byte)); }

  // Entropy-coded data up to the next marker, kept or dropped; byte stuffing (FF 00) and
  // restart markers belong to the data.
  void scanEntropy() {
    if (inner_->bytes_in_buffer == 0 && !refillInner()) {
      mode_ = Mode::Ended;
      return;
    }
    const JOCTET* start = inner_->next_input_byte;
    const auto* mark =
        static_cast<const JOCTET*>(std::memchr(start, 0xFF, inner_->bytes_in_buffer));
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
  void scanForMarker() {
    int byte = takeByte();
    while (byte != kEndOfInput && byte != 0xFF) byte = takeByte();
    while (byte == 0xFF) byte = takeByte();
    if (byte == kEndOfInput) {
      mode_ = Mode::Ended;
    } else {
      takeMarker(byte);
    }
  }

  // Reads a marker's segment (after its code) and keeps it unless it opens an AC scan.
  void takeMarker(int code) {
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
    const bool acScan = scan && !segment_.empty() &&
                        static_cast<std::size_t>(1 + 2 * segment_[0]) < segment_.size() &&
                        segment_[1 + 2 * segment_[0]] != 0;
    if (!acScan) {
      emit(0xFF);
      emit(code);
      emit(high);
      emit(low);
      out_.insert(out_.end(), segment_.begin(), segment_.end());
    }
    mode_ = !scan ? Mode::Markers : acScan ? Mode::DropEntropy : Mode::PassEntropy;
  }

  boolean fill() {
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

  void skip(long count) {
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

  Link link_{};
  j_decompress_ptr cinfo_;
  jpeg_source_mgr* inner_;
  Mode mode_;
  std::vector<JOCTET> out_;
  std::vector<JOCTET> segment_;
};

// The settings of every decode for averaging.
void configureForAveraging(jpeg_decompress_struct& c, int eighths) {
  c.scale_num = static_cast<unsigned>(eighths);
  c.scale_denom = 8;
  c.dct_method = JDCT_ISLOW;
  c.quantize_colors = FALSE;
  if (c.jpeg_color_space == JCS_GRAYSCALE) {
    c.out_color_space = JCS_GRAYSCALE;
  } else if (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK) {
    c.out_color_space = JCS_CMYK;
  } else {
    c.out_color_space = JCS_RGB;
  }
}

// True when every component has all bits of its DC coefficients.
bool dcScansComplete(const jpeg_decompress_struct& c) {
  if (c.coef_bits == nullptr) return false;
  for (int i = 0; i < c.num_components; ++i) {
    if (c.coef_bits[i][0] != 0) return false;
  }
  return true;
}

}  // namespace

struct JpegDecoder::State {
  ErrorManager err{};
  jpeg_decompress_struct cinfo{};
  int orientation = 1;
  bool greyscale = false;
  bool fourComponents = false;
  bool dcOnly = false;
  std::unique_ptr<DcScanSource> dcSource;  // stands in front of the file's own source
  std::vector<JSAMPLE> row;                // the library's own output row: not RGB, or not wanted
  std::optional<FileSource> file;
  std::optional<DecoderMemoryBudget::Share> memory;

  ~State() { jpeg_destroy_decompress(&cinfo); }

  void readInto(JSAMPLE* target) {
    JSAMPROW rows[1] = {target};
    guarded(err, [&] { jpeg_read_scanlines(&cinfo, rows, 1); });
  }
};

namespace {

void createDecompressor(ErrorManager& err, jpeg_decompress_struct& cinfo) {
  installErrorManager(err);
  cinfo.err = &err.pub;
  guarded(err, [&] {
    jpeg_create_decompress(&cinfo);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
  });
}

}  // namespace

JpegDecoder::JpegDecoder(SourceFile file) : state_(std::make_unique<State>()) {
  State& s = *state_;
  createDecompressor(s.err, s.cinfo);
  s.file.emplace(std::move(file));
  s.cinfo.src = &s.file->pub;
}

JpegDecoder::JpegDecoder(const unsigned char* data, std::size_t size)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  createDecompressor(s.err, s.cinfo);
  guarded(s.err, [&] { jpeg_mem_src(&s.cinfo, data, static_cast<unsigned long>(size)); });
}

bool JpegDecoder::sourceIsEmpty() {
  State& s = *state_;
  if (!s.file) return s.cinfo.src->bytes_in_buffer == 0;
  FileSource& f = *s.file;
  if (!f.primed && f.refill() < 0) throw EReadError();
  return f.bytesRead == 0;
}

JpegDecoder::~JpegDecoder() = default;

void JpegDecoder::readHeader() {
  State& s = *state_;
  guarded(s.err, [&] { jpeg_read_header(&s.cinfo, TRUE); });
  if (s.cinfo.arith_code) throw EJPEG(kArithmeticCodingCode);
  for (jpeg_saved_marker_ptr m = s.cinfo.marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && isExifBlock(m->data, m->data_length)) {
      s.orientation = velmora::exifOrientation(m->data, m->data_length);
      break;
    }
  }
}

std::int32_t JpegDecoder::width() const {
  return static_cast<std::int32_t>(state_->cinfo.image_width);
}

std::int32_t JpegDecoder::height() const {
  return static_cast<std::int32_t>(state_->cinfo.image_height);
}

int JpegDecoder::exifOrientation() const { return state_->orientation; }

namespace {

// Rows of libjpeg's working buffers per column of the picture (context rows of every component,
// upsampling and output rows, about 80 bytes a column for 4:2:0), with room to spare, and the
// tables and small buffers of any file.
constexpr std::uint64_t kWorkingBytesPerColumn = 256;
constexpr std::uint64_t kFixedWorkingBytes = 1 << 20;

std::uint64_t roundUp(std::uint64_t value, std::uint64_t step) {
  return (value + step - 1) / step * step;
}

// What libjpeg will ask for while decoding: a file of more than one scan (progressive, or
// components in separate scans), or one read in buffered-image mode, keeps every coefficient of
// the picture until its last scan.
std::uint64_t workingMemory(ErrorManager& err, jpeg_decompress_struct& c) {
  bool manyScans = false;
  guarded(err, [&] { manyScans = jpeg_has_multiple_scans(&c); });
  std::uint64_t bytes = kFixedWorkingBytes + std::uint64_t{c.image_width} * kWorkingBytesPerColumn;
  // The saved EXIF blocks are already held and count against the same limit; some photos carry
  // megabytes of them.
  constexpr std::uint64_t kSavedMarkerOverhead = 128;
  for (jpeg_saved_marker_ptr m = c.marker_list; m != nullptr; m = m->next) {
    bytes += m->data_length + kSavedMarkerOverhead;
  }
  if (!manyScans && !c.buffered_image) return bytes;
  for (int i = 0; i < c.num_components; ++i) {
    const jpeg_component_info& component = c.comp_info[i];
    bytes +=
        roundUp(component.width_in_blocks, static_cast<std::uint64_t>(component.h_samp_factor)) *
        roundUp(component.height_in_blocks, static_cast<std::uint64_t>(component.v_samp_factor)) *
        sizeof(JBLOCK);
  }
  return bytes;
}

// Takes the decoder's share of the process's budget and holds libjpeg to it: what the library
// would ask for beyond it ends this file as its own error, never another file's allocation.
void takeWorkingMemory(ErrorManager& err, jpeg_decompress_struct& c,
                       std::optional<DecoderMemoryBudget::Share>& memory) {
  const std::uint64_t need = workingMemory(err, c);
  memory = DecoderMemoryBudget::process().take(need);
  if (!memory) throw EJPEG(JERR_NO_BACKING_STORE);
  c.mem->max_memory_to_use = static_cast<long>(std::min<std::uint64_t>(need, LONG_MAX));
}

}  // namespace

void JpegDecoder::start() {
  State& s = *state_;
  jpeg_decompress_struct& c = s.cinfo;
  c.scale_num = 1;
  c.scale_denom = 1;
  c.dct_method = JDCT_FLOAT;
  c.do_fancy_upsampling = TRUE;
  c.do_block_smoothing = TRUE;
  c.buffered_image = FALSE;
  if (c.jpeg_color_space == JCS_GRAYSCALE) {
    s.greyscale = true;
    c.out_color_space = JCS_GRAYSCALE;
    c.quantize_colors = TRUE;
    c.desired_number_of_colors = kGreyLevels;
    c.two_pass_quantize = FALSE;
    c.dither_mode = JDITHER_FS;
  } else if (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK) {
    s.fourComponents = true;
    c.out_color_space = JCS_CMYK;
  } else {
    c.out_color_space = JCS_RGB;
  }
  takeWorkingMemory(s.err, c, s.memory);
  guarded(s.err, [&] { jpeg_start_decompress(&c); });
  // Also the row that rows passed over without skipping are decoded into, whatever the kind.
  s.row.resize(static_cast<std::size_t>(c.output_width) *
               static_cast<std::size_t>(c.output_components));
}

namespace {

// libjpeg-turbo's row skipping (2.1.5) gives rows slightly off a full decode unless the picture
// is one block row high per iMCU row, or two with only one component that tall and the others
// stretched at most twice across (and a 2 x 2 stretch only in pictures at least 5 pixels
// wide). Other layouts, rare among photographs, are decoded row by row.
bool skippingIsExact(const jpeg_decompress_struct& c) {
  constexpr JDIMENSION kNarrowestExactWidth = 5;
  if (c.max_v_samp_factor == 1) return true;
  if (c.max_v_samp_factor > 2) return false;
  int tallComponents = 0;
  for (int i = 0; i < c.num_components; ++i) {
    if (c.comp_info[i].v_samp_factor == 2) {
      ++tallComponents;
      continue;
    }
    const int horizontal = c.max_h_samp_factor / c.comp_info[i].h_samp_factor;
    if (horizontal > 2) return false;
    if (horizontal == 2 && c.output_width < kNarrowestExactWidth) return false;
  }
  return tallComponents == 1;
}

}  // namespace

bool JpegDecoder::canSkipRows() const {
  return !state_->greyscale && skippingIsExact(state_->cinfo);
}

std::int32_t JpegDecoder::nextRow() const {
  return static_cast<std::int32_t>(state_->cinfo.output_scanline);
}

void JpegDecoder::readRow(unsigned char* rgb) {
  State& s = *state_;
  const std::size_t width = s.cinfo.output_width;
  if (s.greyscale) {
    s.readInto(s.row.data());
    // The quantiser gives indices; its colormap holds the 236 grey levels.
    const JSAMPLE* levels = s.cinfo.quantize_colors ? s.cinfo.colormap[0] : nullptr;
    for (std::size_t x = 0; x < width; ++x) {
      const unsigned char grey = levels != nullptr ? levels[s.row[x]] : s.row[x];
      rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = grey;
    }
  } else if (s.fourComponents) {
    s.readInto(s.row.data());
    const bool inverted = s.cinfo.saw_Adobe_marker;
    for (std::size_t x = 0; x < width; ++x) {
      const JSAMPLE* p = &s.row[4 * x];
      for (int channel = 0; channel < 3; ++channel) {
        rgb[3 * x + channel] = cmykToChannel(p[channel], p[3], inverted);
      }
    }
  } else {
    s.readInto(rgb);
  }
}

void JpegDecoder::skipRows(std::int32_t count) {
  State& s = *state_;
  if (count <= 0) return;
  if (canSkipRows()) {
    guarded(s.err, [&] { jpeg_skip_scanlines(&s.cinfo, static_cast<JDIMENSION>(count)); });
    return;
  }
  for (std::int32_t i = 0; i < count; ++i) s.readInto(s.row.data());
}

void JpegDecoder::finish() {
  State& s = *state_;
  // The rest of the file is left unread on purpose: that is the point of decoding the DC scans
  // alone.
  if (s.dcOnly) return;
  // The library refuses to finish before the last row has been passed. That row is decoded,
  // not skipped: a skip reaching the bottom marks the input as ended without reading the rest
  // of the file, so a damaged stream whose full decode fails would pass as a success.
  const auto remaining = static_cast<std::int32_t>(s.cinfo.output_height - s.cinfo.output_scanline);
  if (remaining > 0) {
    skipRows(remaining - 1);
    std::vector<unsigned char> last(static_cast<std::size_t>(s.cinfo.output_width) * 3);
    readRow(last.data());
  }
  guarded(s.err, [&] { jpeg_finish_decompress(&s.cinfo); });
}

bool JpegDecoder::progressive() const { return state_->cinfo.progressive_mode != FALSE; }

bool JpegDecoder::fourComponents() const {
  const J_COLOR_SPACE space = state_->cinfo.jpeg_color_space;
  return space == JCS_CMYK || space == JCS_YCCK;
}

std::int32_t JpegDecoder::outputWidth() const {
  return static_cast<std::int32_t>(state_->cinfo.output_width);
}

std::int32_t JpegDecoder::outputHeight() const {
  return static_cast<std::int32_t>(state_->cinfo.output_height);
}

void JpegDecoder::startScaled(int eighths) {
  State& s = *state_;
  jpeg_decompress_struct& c = s.cinfo;
  configureForAveraging(c, eighths);
  c.do_fancy_upsampling = TRUE;
  c.do_block_smoothing = TRUE;
  c.buffered_image = FALSE;
  s.greyscale = c.out_color_space == JCS_GRAYSCALE;
  s.fourComponents = c.out_color_space == JCS_CMYK;
  takeWorkingMemory(s.err, c, s.memory);
  guarded(s.err, [&] { jpeg_start_decompress(&c); });
  s.row.resize(static_cast<std::size_t>(c.output_width) *
               static_cast<std::size_t>(c.output_components));
}

void JpegDecoder::startFromDcScans() {
  State& s = *state_;
  jpeg_decompress_struct& c = s.cinfo;
  configureForAveraging(c, 1);
  // Without smoothing (which guesses AC coefficients from neighbouring blocks) and with plain
  // replication, each block comes out as its mean: what an area average wants.
  c.do_fancy_upsampling = FALSE;
  c.do_block_smoothing = FALSE;
  c.buffered_image = TRUE;
  s.greyscale = c.out_color_space == JCS_GRAYSCALE;
  s.fourComponents = c.out_color_space == JCS_CMYK;
  s.dcOnly = true;
  DcScanSource::installIn(&c, s.dcSource);
  takeWorkingMemory(s.err, c, s.memory);
  guarded(s.err, [&] {
    jpeg_start_decompress(&c);
    for (;;) {
      const int status = jpeg_consume_input(&c);
      if (status == JPEG_SUSPENDED || status == JPEG_REACHED_EOI) break;
      if (status == JPEG_SCAN_COMPLETED && dcScansComplete(c)) break;
    }
    jpeg_start_output(&c, c.input_scan_number);
  });
  s.row.resize(static_cast<std::size_t>(c.output_width) *
               static_cast<std::size_t>(c.output_components));
}

namespace {

// Collects the encoder's output in a growing byte vector. Growth failure is reported to the
// library as its own out-of-memory error, never thrown through its C frames.
struct VectorDestination {
  jpeg_destination_mgr pub;
  std::vector<unsigned char> bytes;

  static constexpr std::size_t kChunk = 64 * 1024;

  static VectorDestination& of(j_compress_ptr cinfo) {
    return *reinterpret_cast<VectorDestination*>(cinfo->dest);
  }

  static void grow(j_compress_ptr cinfo, std::size_t used) {
    VectorDestination& d = of(cinfo);
    bool grown = true;
    try {
      d.bytes.resize(used + std::max(kChunk, used));
    } catch (const std::bad_alloc&) {
      grown = false;
    }
    if (!grown) {
      cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
      cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    }
    d.pub.next_output_byte = d.bytes.data() + used;
    d.pub.free_in_buffer = d.bytes.size() - used;
  }

  static void init(j_compress_ptr cinfo) { grow(cinfo, 0); }

  static boolean empty(j_compress_ptr cinfo) {
    grow(cinfo, of(cinfo).bytes.size());
    return TRUE;
  }

  static void term(j_compress_ptr cinfo) {
    VectorDestination& d = of(cinfo);
    d.bytes.resize(d.bytes.size() - d.pub.free_in_buffer);
  }
};

}  // namespace

struct JpegEncoder::State {
  ErrorManager err{};
  jpeg_compress_struct cinfo{};
  VectorDestination destination{};

  ~State() { jpeg_destroy_compress(&cinfo); }
};

JpegEncoder::JpegEncoder(std::int32_t width, std::int32_t height)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  installErrorManager(s.err);
  s.cinfo.err = &s.err.pub;
  s.destination.pub.init_destination = VectorDestination::init;
  s.destination.pub.empty_output_buffer = VectorDestination::empty;
  s.destination.pub.term_destination = VectorDestination::term;
  guarded(s.err, [&] {
    jpeg_compress_struct& c = s.cinfo;
    jpeg_create_compress(&c);
    c.dest = &s.destination.pub;
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, kThumbnailQuality, TRUE);
    c.dct_method = JDCT_FLOAT;
    jpeg_set_colorspace(&c, JCS_YCbCr);
    c.comp_info[0].h_samp_factor = 2;
    c.comp_info[0].v_samp_factor = 2;
    for (int i = 1; i < 3; ++i) {
      c.comp_info[i].h_samp_factor = 1;
      c.comp_info[i].v_samp_factor = 1;
    }
    c.optimize_coding = FALSE;
    c.restart_interval = 0;
    c.restart_in_rows = 0;
    c.smoothing_factor = 0;
    c.write_JFIF_header = TRUE;
    c.JFIF_major_version = 1;
    c.JFIF_minor_version = 1;
    c.density_unit = 0;
    c.X_density = 1;
    c.Y_density = 1;
    c.write_Adobe_marker = FALSE;
    jpeg_start_compress(&c, TRUE);
  });
}

JpegEncoder::~JpegEncoder() = default;

void JpegEncoder::writeRow(const unsigned char* rgb) {
  State& s = *state_;
  // The library reads input rows without changing them; its interface is not const-correct.
  JSAMPROW rows[1] = {const_cast<JSAMPLE*>(rgb)};
  guarded(s.err, [&] { jpeg_write_scanlines(&s.cinfo, rows, 1); });
}

std::vector<unsigned char> JpegEncoder::finish() {
  State& s = *state_;
  guarded(s.err, [&] { jpeg_finish_compress(&s.cinfo); });
  return std::move(s.destination.bytes);
}

}  // namespace velmora
