#include "core/metadata/exif_rewrite.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "core/image/exif_orientation.h"
#include "core/image/tiff_reader.h"

namespace velmora {

namespace {

constexpr std::size_t kSignatureSize = 6;
constexpr std::size_t kLargestPayload = 0xFFFF - 2;
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kEntrySize = 12;
constexpr std::size_t kInlineBytes = 4;

constexpr std::uint16_t kImageWidth = 0x0100;
constexpr std::uint16_t kImageLength = 0x0101;
constexpr std::uint16_t kOrientation = 0x0112;
constexpr std::uint16_t kExifPointer = 0x8769;
constexpr std::uint16_t kGpsPointer = 0x8825;
constexpr std::uint16_t kInteropPointer = 0xA005;
constexpr std::uint16_t kPixelXDimension = 0xA002;
constexpr std::uint16_t kPixelYDimension = 0xA003;
constexpr std::uint16_t kMakerNote = 0x927C;
constexpr std::uint16_t kColorSpace = 0xA001;
constexpr std::uint16_t kInteropIndex = 0x0001;
constexpr std::uint16_t kSrgbColorSpace = 1;

constexpr std::uint16_t kTypeAscii = 2;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::uint16_t kTypeIfd = 13;

// IFD0 tags that locate picture data (strips, tiles, an embedded JPEG, sub-images): the data is
// not carried over, so neither are they.
bool locatesPictureData(std::uint16_t tag) {
  switch (tag) {
    case 0x0111:  // StripOffsets
    case 0x0117:  // StripByteCounts
    case 0x0144:  // TileOffsets
    case 0x0145:  // TileByteCounts
    case 0x014A:  // SubIFDs
    case 0x0201:  // JPEGInterchangeFormat
    case 0x0202:  // JPEGInterchangeFormatLength
      return true;
    default:
      return false;
  }
}

// The bytes of one value of a TIFF field type; 0 for a type this program does not know, whose
// entries are left out since their size cannot be told.
std::uint64_t typeSize(std::uint16_t type) {
  switch (type) {
    case 1:  // BYTE
    case 2:  // ASCII
    case 6:  // SBYTE
    case 7:  // UNDEFINED
      return 1;
    case 3:  // SHORT
    case 8:  // SSHORT
      return 2;
    case 4:   // LONG
    case 9:   // SLONG
    case 11:  // FLOAT
    case 13:  // IFD
      return 4;
    case 5:   // RATIONAL
    case 10:  // SRATIONAL
    case 12:  // DOUBLE
      return 8;
    default:
      return 0;
  }
}

struct Entry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::vector<unsigned char> value;  // in the block's byte order
  std::uint64_t oldOffset = 0;       // where a value too large for the entry lay
  int child = -1;                    // a pointer entry's directory
};

using Directory = std::vector<Entry>;

// Reads the directories the thumbnail keeps. Only the known pointers are followed, each to a
// fixed depth, and no directory may overlap another (or the header): no loop can form and no
// byte is read twice as two things.
class ExifReader {
 public:
  ExifReader(const TiffReader& tiff, const ExifRewrite& rewrite) : tiff_(tiff), rewrite_(rewrite) {
    taken_.push_back({0, kHeaderSize});
  }

  // False when the block cannot be read whole.
  bool read() { return readDirectory(tiff_.u32(4), Kind::Main).has_value(); }
  std::vector<Directory>& directories() { return directories_; }

 private:
  enum class Kind { Main, Exif, Interop, Location };
  struct Range {
    std::uint64_t begin;
    std::uint64_t end;
  };

  bool take(std::uint64_t begin, std::uint64_t length) {
    for (const Range& r : taken_) {
      if (begin < r.end && r.begin < begin + length) return false;
    }
    taken_.push_back({begin, begin + length});
    return true;
  }

  std::optional<int> readDirectory(std::uint64_t offset, Kind kind) {
    if (!tiff_.fits(offset, 2)) return std::nullopt;
    const std::uint64_t count = tiff_.u16(offset);
    const std::uint64_t length = 2 + count * kEntrySize + 4;
    if (!tiff_.fits(offset, length) || !take(offset, length)) return std::nullopt;
    const int index = static_cast<int>(directories_.size());
    directories_.emplace_back();
    Directory read;
    for (std::uint64_t i = 0; i < count; ++i) {
      std::optional<Entry> entry = readEntry(offset + 2 + i * kEntrySize);
      if (!entry) return std::nullopt;
      if (!keeps(*entry, kind)) continue;
      if (!followPointer(*entry, kind)) return std::nullopt;
      adjust(*entry, kind);
      read.push_back(std::move(*entry));
    }
    directories_[static_cast<std::size_t>(index)] = std::move(read);
    return index;
  }

  // An entry of an unknown type comes back without a value, to be left out.
  std::optional<Entry> readEntry(std::uint64_t at) {
    Entry entry;
    entry.tag = tiff_.u16(at);
    entry.type = tiff_.u16(at + 2);
    entry.count = tiff_.u32(at + 4);
    const std::uint64_t size = typeSize(entry.type) * entry.count;
    if (typeSize(entry.type) == 0) return entry;
    std::uint64_t from = at + 8;
    if (size > kInlineBytes) {
      from = tiff_.u32(at + 8);
      entry.oldOffset = from;
      if (!tiff_.fits(from, size)) return std::nullopt;
    }
    entry.value.assign(tiff_.at(from), tiff_.at(from) + size);
    return entry;
  }

  bool keeps(const Entry& entry, Kind kind) const {
    if (typeSize(entry.type) == 0) return false;
    // A pointer where it does not belong is not followed, and its offset would be stale.
    const bool pointer =
        entry.tag == kExifPointer || entry.tag == kGpsPointer || entry.tag == kInteropPointer;
    if (pointer && !childKindOf(entry.tag, kind)) return false;
    if (kind != Kind::Main) return true;
    if (entry.tag == kGpsPointer) return rewrite_.keepLocation;
    return !locatesPictureData(entry.tag);
  }

  static std::optional<Kind> childKindOf(std::uint16_t tag, Kind kind) {
    if (kind == Kind::Main && tag == kExifPointer) return Kind::Exif;
    if (kind == Kind::Main && tag == kGpsPointer) return Kind::Location;
    if (kind == Kind::Exif && tag == kInteropPointer) return Kind::Interop;
    return std::nullopt;
  }

  bool followPointer(Entry& entry, Kind kind) {
    const std::optional<Kind> childKind = childKindOf(entry.tag, kind);
    if (!childKind) return true;
    if ((entry.type != kTypeLong && entry.type != kTypeIfd) || entry.count != 1) return false;
    const std::optional<int> child = readDirectory(tiff_.u32Of(entry.value.data()), *childKind);
    if (!child) return false;
    entry.child = *child;
    return true;
  }

  void adjust(Entry& entry, Kind kind) const {
    const bool main = kind == Kind::Main;
    const bool exif = kind == Kind::Exif;
    if (main && entry.tag == kOrientation) setNumber(entry, 1);
    if ((main && entry.tag == kImageWidth) || (exif && entry.tag == kPixelXDimension))
      setNumber(entry, static_cast<std::uint32_t>(rewrite_.width));
    if ((main && entry.tag == kImageLength) || (exif && entry.tag == kPixelYDimension))
      setNumber(entry, static_cast<std::uint32_t>(rewrite_.height));
    if (!rewrite_.coloursMadeSrgb) return;
    if (exif && entry.tag == kColorSpace) setNumber(entry, kSrgbColorSpace);
    if (kind == Kind::Interop && entry.tag == kInteropIndex) {
      entry.type = kTypeAscii;
      entry.count = 4;
      entry.value = {'R', '9', '8', 0};
    }
  }

  // One SHORT, or one LONG when the entry was a LONG or the number needs one.
  void setNumber(Entry& entry, std::uint32_t number) const {
    entry.type = entry.type == kTypeLong || number > 0xFFFF ? kTypeLong : kTypeShort;
    entry.count = 1;
    entry.value = tiff_.bytesOf(number, typeSize(entry.type));
  }

  const TiffReader& tiff_;
  const ExifRewrite& rewrite_;
  std::vector<Range> taken_;
  std::vector<Directory> directories_;
};

// Lays the directories out anew, one after the other, each followed by its entries' values.
class ExifWriter {
 public:
  ExifWriter(const TiffReader& tiff, const std::vector<Directory>& directories)
      : tiff_(tiff), directories_(directories) {}

  // The TIFF bytes, or nothing when they would not fit one segment.
  std::optional<std::vector<unsigned char>> write(bool withMakerNote) {
    out_.assign(tiff_.at(0), tiff_.at(0) + 4);
    put32At(append(4), kHeaderSize);
    std::vector<std::uint32_t> tableAt(directories_.size());
    std::vector<std::pair<std::size_t, int>> pointers;
    std::optional<std::pair<std::size_t, const Entry*>> makerNote;
    for (std::size_t d = 0; d < directories_.size(); ++d) {
      std::vector<const Entry*> kept;
      for (const Entry& e : directories_[d]) {
        if (e.tag == kMakerNote && e.value.size() > kInlineBytes && !withMakerNote) continue;
        kept.push_back(&e);
      }
      tableAt[d] = static_cast<std::uint32_t>(out_.size());
      const std::size_t table = append(2 + kept.size() * kEntrySize + 4);
      put16At(table, static_cast<std::uint16_t>(kept.size()));
      for (std::size_t i = 0; i < kept.size(); ++i) {
        const Entry& e = *kept[i];
        const std::size_t at = table + 2 + i * kEntrySize;
        put16At(at, e.tag);
        put16At(at + 2, e.type);
        put32At(at + 4, e.count);
        if (e.child >= 0) {
          pointers.emplace_back(at + 8, e.child);
        } else if (e.value.size() <= kInlineBytes) {
          std::copy(e.value.begin(), e.value.end(), out_.begin() + static_cast<long>(at + 8));
        } else if (e.tag == kMakerNote) {
          makerNote.emplace(at + 8, &e);
        } else {
          put32At(at + 8, appendValue(e.value, out_.size() + out_.size() % 2));
        }
      }
    }
    for (const auto& [at, child] : pointers) put32At(at, tableAt[static_cast<std::size_t>(child)]);
    if (makerNote) {
      const Entry& note = *makerNote->second;
      std::uint64_t place = out_.size() + out_.size() % 2;
      if (note.oldOffset >= place && note.oldOffset + note.value.size() <= room()) {
        place = note.oldOffset;
      }
      put32At(makerNote->first, appendValue(note.value, place));
    }
    if (out_.size() > room()) return std::nullopt;
    return std::move(out_);
  }

 private:
  static constexpr std::size_t room() { return kLargestPayload - kSignatureSize; }

  std::size_t append(std::size_t length) {
    const std::size_t at = out_.size();
    out_.resize(at + length, 0);
    return at;
  }

  std::uint32_t appendValue(const std::vector<unsigned char>& value, std::uint64_t place) {
    out_.resize(static_cast<std::size_t>(place), 0);
    out_.insert(out_.end(), value.begin(), value.end());
    return static_cast<std::uint32_t>(place);
  }

  void put16At(std::size_t at, std::uint16_t value) {
    const std::vector<unsigned char> bytes = tiff_.bytesOf(value, 2);
    std::copy(bytes.begin(), bytes.end(), out_.begin() + static_cast<long>(at));
  }

  void put32At(std::size_t at, std::uint64_t value) {
    const std::vector<unsigned char> bytes = tiff_.bytesOf(static_cast<std::uint32_t>(value), 4);
    std::copy(bytes.begin(), bytes.end(), out_.begin() + static_cast<long>(at));
  }

  const TiffReader& tiff_;
  const std::vector<Directory>& directories_;
  std::vector<unsigned char> out_;
};

RewrittenBlock leftOut(std::string warning) { return {{}, std::move(warning)}; }

}  // namespace

RewrittenBlock rewriteExif(const unsigned char* payload, std::size_t size,
                           const ExifRewrite& rewrite) {
  if (!isExifBlock(payload, size)) return leftOut("EXIF left out: it cannot be read");
  TiffReader tiff(payload + kSignatureSize, size - kSignatureSize);
  if (!tiff.readByteOrder()) return leftOut("EXIF left out: it cannot be read");
  ExifReader reader(tiff, rewrite);
  if (!reader.read()) return leftOut("EXIF left out: it cannot be read");
  ExifWriter writer(tiff, reader.directories());
  std::optional<std::vector<unsigned char>> tiffBytes = writer.write(true);
  if (!tiffBytes) tiffBytes = writer.write(false);
  if (!tiffBytes) return leftOut("EXIF left out: it does not fit one segment");
  RewrittenBlock result;
  result.payload.assign(payload, payload + kSignatureSize);
  result.payload.insert(result.payload.end(), tiffBytes->begin(), tiffBytes->end());
  return result;
}

}  // namespace velmora
