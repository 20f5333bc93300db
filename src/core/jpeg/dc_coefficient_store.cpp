#include "core/jpeg/dc_coefficient_store.h"

#include <jerror.h>

#include <cstring>

namespace velmora {

namespace {

// libjpeg asks for a window of five sampling rows of blocks for a progressive file, so that
// block smoothing could see two rows on either side.
constexpr std::uint64_t kWindowRowsPerSamplingRow = 5;

// One component's array. It lives in the decoder's own image pool, which libjpeg frees when the
// decode ends, and holds nothing with a destructor: libjpeg's errors jump over the calls below.
struct DcArray {
  JCOEF* dc;           // one coefficient a block, row after row; null until first reached
  JBLOCKARRAY window;  // the rows handed out last, as whole blocks
  JDIMENSION blocksPerRow;
  JDIMENSION rows;
  JDIMENSION maxAccess;
  JDIMENSION windowStart;
  JDIMENSION windowRows;
  boolean windowWritten;
};

DcArray& arrayOf(jvirt_barray_ptr pointer) { return *reinterpret_cast<DcArray*>(pointer); }

jvirt_barray_ptr requestArray(j_common_ptr cinfo, int poolId, boolean /*preZero*/,
                              JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION maxAccess) {
  if (poolId != JPOOL_IMAGE) ERREXIT1(cinfo, JERR_BAD_POOL_ID, poolId);
  auto* array = static_cast<DcArray*>(cinfo->mem->alloc_small(cinfo, poolId, sizeof(DcArray)));
  *array = DcArray{nullptr, nullptr, blocksPerRow, rows, maxAccess, 0, 0, FALSE};
  return reinterpret_cast<jvirt_barray_ptr>(array);
}

// Every coefficient starts at zero, as libjpeg's own arrays do, and the window's AC
// coefficients stay so: no AC scan reaches this decode, and the inverse transform only reads.
void realize(j_common_ptr cinfo, DcArray& array) {
  const std::size_t count = static_cast<std::size_t>(array.blocksPerRow) * array.rows;
  array.dc =
      static_cast<JCOEF*>(cinfo->mem->alloc_large(cinfo, JPOOL_IMAGE, count * sizeof(JCOEF)));
  std::memset(array.dc, 0, count * sizeof(JCOEF));
  array.window = cinfo->mem->alloc_barray(cinfo, JPOOL_IMAGE, array.blocksPerRow, array.maxAccess);
  for (JDIMENSION row = 0; row < array.maxAccess; ++row) {
    std::memset(array.window[row], 0, array.blocksPerRow * sizeof(JBLOCK));
  }
}

void storeWindow(DcArray& array) {
  for (JDIMENSION row = 0; row < array.windowRows; ++row) {
    JCOEF* dc = array.dc + static_cast<std::size_t>(array.windowStart + row) * array.blocksPerRow;
    const JBLOCKROW blocks = array.window[row];
    for (JDIMENSION block = 0; block < array.blocksPerRow; ++block) dc[block] = blocks[block][0];
  }
}

void loadWindow(DcArray& array, JDIMENSION start, JDIMENSION rows) {
  for (JDIMENSION row = 0; row < rows; ++row) {
    const JCOEF* dc = array.dc + static_cast<std::size_t>(start + row) * array.blocksPerRow;
    JBLOCKROW blocks = array.window[row];
    for (JDIMENSION block = 0; block < array.blocksPerRow; ++block) blocks[block][0] = dc[block];
  }
  array.windowStart = start;
  array.windowRows = rows;
}

// As libjpeg's own arrays promise, the rows handed out hold until the next access to the same
// array; what was written to them is kept then.
JBLOCKARRAY accessArray(j_common_ptr cinfo, jvirt_barray_ptr pointer, JDIMENSION start,
                        JDIMENSION rows, boolean writable) {
  DcArray& array = arrayOf(pointer);
  if (start > array.rows || rows > array.rows - start || rows > array.maxAccess) {
    ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
  }
  if (array.dc == nullptr) realize(cinfo, array);
  if (start != array.windowStart || rows != array.windowRows) {
    if (array.windowWritten) storeWindow(array);
    array.windowWritten = FALSE;
    loadWindow(array, start, rows);
  }
  if (writable) array.windowWritten = TRUE;
  return array.window;
}

}  // namespace

void keepDcCoefficientsOnly(j_decompress_ptr cinfo) {
  cinfo->mem->request_virt_barray = requestArray;
  cinfo->mem->access_virt_barray = accessArray;
}

std::uint64_t dcCoefficientBytes(const jpeg_decompress_struct& c) {
  std::uint64_t bytes = 0;
  for (int i = 0; i < c.num_components; ++i) {
    const jpeg_component_info& component = c.comp_info[i];
    const auto across = static_cast<std::uint64_t>(component.width_in_blocks) +
                        static_cast<std::uint64_t>(component.h_samp_factor);
    const auto down = static_cast<std::uint64_t>(component.height_in_blocks) +
                      static_cast<std::uint64_t>(component.v_samp_factor);
    const auto windowRows =
        kWindowRowsPerSamplingRow * static_cast<std::uint64_t>(component.v_samp_factor);
    bytes += across * down * sizeof(JCOEF) + across * windowRows * sizeof(JBLOCK);
  }
  return bytes;
}

}  // namespace velmora
