#include "core/jpeg/jpeg_decoder.h"

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "core/errors.h"
#include "core/image/exif_orientation.h"
#include "core/jpeg/dc_coefficient_store.h"
#include "core/jpeg/decode_monitor.h"
#include "core/jpeg/decoder_memory.h"
#include "core/jpeg/error_guard.h"
#include "core/jpeg/file_source.h"
#include "core/jpeg/marker_capture.h"
#include "core/jpeg/scan_count.h"
#include "core/jpeg/scan_filter_source.h"
#include "core/jpeg/working_memory.h"

namespace velmora {

namespace {

constexpr int kGreyLevels = 236;
constexpr int kArithmeticCodingCode = 1;
// A decode of first passes keeps the AC bands that start within the lowest five coefficients
// (zigzag 1 to 5): libjpeg's usual script sends luma 1 to 5 in a band of its own and each
// chroma component's 1 to 63 in one, and drops luma 6 to 63, which hardly moves an average.
constexpr int kLastFirstPassCoefficient = 5;

// Four-component files written by Adobe software (the only common source of them) store CMYK
// inverted; others store it plainly.
unsigned char cmykToChannel(unsigned ink, unsigned black, bool inverted) {
  if (!inverted) {
    ink = 255 - ink;
    black = 255 - black;
  }
  return static_cast<unsigned char>((ink * black + 127) / 255);
}

// What every decode shares: libjpeg's upsampling and block smoothing, every kept scan read
// before the first row, and the output colour space (four components come out as CMYK and are
// converted to RGB by readRow).
void configureCommon(jpeg_decompress_struct& c, int eighths, J_DCT_METHOD method) {
  c.scale_num = static_cast<unsigned>(eighths);
  c.scale_denom = 8;
  c.dct_method = method;
  c.quantize_colors = FALSE;
  c.do_fancy_upsampling = TRUE;
  c.do_block_smoothing = TRUE;
  c.buffered_image = FALSE;
  if (c.jpeg_color_space == JCS_GRAYSCALE) {
    c.out_color_space = JCS_GRAYSCALE;
  } else if (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK) {
    c.out_color_space = JCS_CMYK;
  } else {
    c.out_color_space = JCS_RGB;
  }
}

void configureForSampling(jpeg_decompress_struct& c) {
  configureCommon(c, 8, JDCT_FLOAT);
  if (c.out_color_space == JCS_GRAYSCALE) {
    c.quantize_colors = TRUE;
    c.desired_number_of_colors = kGreyLevels;
    c.two_pass_quantize = FALSE;
    c.dither_mode = JDITHER_FS;
  }
}

// The settings of every decode for averaging.
void configureForAveraging(jpeg_decompress_struct& c, int eighths) {
  configureCommon(c, eighths, JDCT_ISLOW);
}

// Without smoothing (which guesses AC coefficients from neighbouring blocks) the coefficients
// come from the file alone; an average needs no guesses.
void configureForFirstPassScans(jpeg_decompress_struct& c) {
  configureForAveraging(c, 2);
  c.do_block_smoothing = FALSE;
}

void configureForDcScans(jpeg_decompress_struct& c) {
  configureForAveraging(c, 1);
  // Without smoothing and with plain replication, each block comes out as its mean: what an
  // area average wants.
  c.do_fancy_upsampling = FALSE;
  c.do_block_smoothing = FALSE;
  c.buffered_image = TRUE;
}

// True when every component has all bits of its DC coefficients.
bool dcScansComplete(const jpeg_decompress_struct& c) {
  if (c.coef_bits == nullptr) return false;
  for (int i = 0; i < c.num_components; ++i) {
    if (c.coef_bits[i][0] != 0) return false;
  }
  return true;
}

// Reads scans until the DC coefficients are complete, and starts the output from them.
void startOutputFromDcScans(jpeg_decompress_struct& c) {
  for (;;) {
    checkDecodeProgress(&c);
    const int status = jpeg_consume_input(&c);
    if (status == JPEG_SUSPENDED || status == JPEG_REACHED_EOI) break;
    if (status == JPEG_SCAN_COMPLETED && dcScansComplete(c)) break;
  }
  jpeg_start_output(&c, c.input_scan_number);
}

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

struct JpegDecoder::State {
  explicit State(const DecodeLimits& limits) : budget(limits.memory), stop(limits.stop) {}

  // Apart from the constructor, so that the destructor tidies up after a failure here.
  void create() {
    installErrorManager(err);
    cinfo.err = &err.pub;
    guarded(err, [&] { jpeg_create_decompress(&cinfo); });
    capture.readFrom(&cinfo);
    installDecodeMonitor(&cinfo, monitor, stop);
  }

  DecoderMemoryBudget& budget;
  const StopSignal* stop;
  ErrorManager err{};
  jpeg_decompress_struct cinfo{};
  DecodeMonitor monitor;
  MarkerCapture capture;
  int orientation = 1;
  bool greyscale = false;
  bool fourComponents = false;
  bool dcOnly = false;
  const PixelConverter* inkConverter = nullptr;
  std::unique_ptr<ScanFilterSource> scanFilter;  // stands in front of the file's own source
  std::vector<JSAMPLE> row;  // the library's own output row: not RGB, or not wanted
  std::optional<FileSource> file;
  std::optional<DecoderMemoryBudget::Share> memory;

  ~State() { jpeg_destroy_decompress(&cinfo); }

  // A file of many scans keeps the whole coefficient array, which libjpeg fills from the first
  // scan on: one of too many scans is refused before any of it is taken, as the progress
  // monitor would refuse it later.
  void refuseTooManyScans() {
    bool manyScans = false;
    guarded(err, [&] { manyScans = jpeg_has_multiple_scans(&cinfo); });
    if (!manyScans) return;
    const FileSource* source = file ? &*file : nullptr;
    if (scansInInput(*cinfo.src, source, kMaxScans) > kMaxScans) throw EJPEG(kTooManyScansCode);
  }

  void readInto(JSAMPLE* target) {
    JSAMPROW rows[1] = {target};
    guarded(err, [&] { jpeg_read_scanlines(&cinfo, rows, 1); });
  }
};

JpegDecoder::JpegDecoder(SourceFile file, const DecodeLimits& limits)
    : state_(std::make_unique<State>(limits)) {
  State& s = *state_;
  s.create();
  s.file.emplace(std::move(file));
  s.cinfo.src = &s.file->pub;
}

JpegDecoder::JpegDecoder(const unsigned char* data, std::size_t size, const DecodeLimits& limits)
    : state_(std::make_unique<State>(limits)) {
  State& s = *state_;
  s.create();
  guarded(s.err, [&] { jpeg_mem_src(&s.cinfo, data, static_cast<unsigned long>(size)); });
}

JpegDecoder::~JpegDecoder() = default;

void JpegDecoder::keepMetadataSegments() { state_->capture.keepMetadata(&state_->cinfo); }

bool JpegDecoder::sourceIsEmpty() {
  State& s = *state_;
  if (!s.file) return s.cinfo.src->bytes_in_buffer == 0;
  FileSource& f = *s.file;
  if (!f.primed && f.refill() < 0) throw EReadError();
  return f.bytesRead == 0;
}

void JpegDecoder::readHeader() {
  State& s = *state_;
  guarded(s.err, [&] { jpeg_read_header(&s.cinfo, TRUE); });
  if (s.cinfo.arith_code) throw EJPEG(kArithmeticCodingCode);
  s.capture.headerRead();
  const std::vector<JOCTET>& exif = s.capture.markers().exif;
  if (!exif.empty()) s.orientation = velmora::exifOrientation(exif.data(), exif.size());
}

std::int32_t JpegDecoder::width() const {
  return static_cast<std::int32_t>(state_->cinfo.image_width);
}

std::int32_t JpegDecoder::height() const {
  return static_cast<std::int32_t>(state_->cinfo.image_height);
}

int JpegDecoder::exifOrientation() const { return state_->orientation; }

const SourceMarkers& JpegDecoder::markers() const { return state_->capture.markers(); }

bool JpegDecoder::dataEndedEarly() const { return state_->err.dataEndedEarly; }

bool JpegDecoder::progressive() const { return state_->cinfo.progressive_mode != FALSE; }

bool JpegDecoder::fourComponents() const {
  const J_COLOR_SPACE space = state_->cinfo.jpeg_color_space;
  return space == JCS_CMYK || space == JCS_YCCK;
}

bool JpegDecoder::inkInverted() const { return state_->cinfo.saw_Adobe_marker != FALSE; }

bool JpegDecoder::greyscale() const { return state_->cinfo.jpeg_color_space == JCS_GRAYSCALE; }

void JpegDecoder::convertInkWith(const PixelConverter* converter) {
  state_->inkConverter = converter;
}

void JpegDecoder::start(const DecodeSettings& settings) {
  State& s = *state_;
  jpeg_decompress_struct& c = s.cinfo;
  s.refuseTooManyScans();
  switch (settings.kind) {
    case DecodeSettings::Kind::Sampling:
      configureForSampling(c);
      break;
    case DecodeSettings::Kind::Averaging:
      configureForAveraging(c, settings.eighths);
      break;
    case DecodeSettings::Kind::FirstPassScans:
      configureForFirstPassScans(c);
      ScanFilterSource::installIn(&c, kLastFirstPassCoefficient, s.scanFilter);
      break;
    case DecodeSettings::Kind::DcScans:
      configureForDcScans(c);
      s.dcOnly = true;
      ScanFilterSource::installIn(&c, 0, s.scanFilter);
      keepDcCoefficientsOnly(&c);
      break;
  }
  s.greyscale = c.out_color_space == JCS_GRAYSCALE;
  s.fourComponents = c.out_color_space == JCS_CMYK;
  takeWorkingMemory(s.err, c, s.capture.bytesHeld(), s.dcOnly, settings.heldBeside, s.budget,
                    s.memory);
  // The wait for memory may have outlasted the run.
  if (s.stop != nullptr && s.stop->raised()) throw DecodeStopped();
  guarded(s.err, [&] {
    jpeg_start_decompress(&c);
    if (s.dcOnly) startOutputFromDcScans(c);
  });
  // Also the row that rows passed over without skipping are decoded into, whatever the kind.
  s.row.resize(static_cast<std::size_t>(c.output_width) *
               static_cast<std::size_t>(c.output_components));
}

std::int32_t JpegDecoder::outputWidth() const {
  return static_cast<std::int32_t>(state_->cinfo.output_width);
}

std::int32_t JpegDecoder::outputHeight() const {
  return static_cast<std::int32_t>(state_->cinfo.output_height);
}

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
  } else if (s.fourComponents && s.inkConverter != nullptr) {
    s.readInto(s.row.data());
    s.inkConverter->convert(s.row.data(), rgb, width);
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

}  // namespace velmora
