#include "core/jpeg/jpeg_encoder.h"

#include <jerror.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <utility>

#include "core/jpeg/error_guard.h"

namespace velmora {

namespace {

// Collects the encoder's output in a growing byte vector.
//
// These callbacks run inside libjpeg, and a fatal error jumps from them back to the guard that
// entered the library, over their frames: they hold no object with a destructor, only
// references and numbers, and must stay that way. For the same reason nothing is thrown
// through libjpeg's C frames: a failure to grow is reported to the library as its own
// out-of-memory error, raised once the try block (and any object in it) has ended.
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

void configureThumbnailEncoding(jpeg_compress_struct& c, int quality) {
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
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
}

}  // namespace

struct JpegEncoder::State {
  ErrorManager err{};
  jpeg_compress_struct cinfo{};
  VectorDestination destination{};

  ~State() { jpeg_destroy_compress(&cinfo); }
};

JpegEncoder::JpegEncoder(std::int32_t width, std::int32_t height, int quality)
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
    configureThumbnailEncoding(c, quality);
    jpeg_start_compress(&c, TRUE);
  });
}

JpegEncoder::~JpegEncoder() = default;

void JpegEncoder::embedIccProfile(const std::vector<unsigned char>& profile) {
  State& s = *state_;
  guarded(s.err, [&] {
    jpeg_write_icc_profile(&s.cinfo, profile.data(), static_cast<unsigned>(profile.size()));
  });
}

void JpegEncoder::writeSegment(int marker, const std::vector<unsigned char>& payload) {
  State& s = *state_;
  guarded(s.err, [&] {
    jpeg_write_marker(&s.cinfo, marker, payload.data(), static_cast<unsigned>(payload.size()));
  });
}

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
