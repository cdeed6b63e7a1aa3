// Run-length encoded 8-bit images.
//
// Each row is a list of 2-byte runs (value, length), length 1 to 255, whose lengths sum to
// the width, closed by a run of length 0 (written as (0, 0)). Longer runs of one value are
// split into several runs. Like a pel buffer, the image has an offset: the image coordinates
// of its upper-left pel. subWindow and decode work in image coordinates; pointToRow takes a
// row index counted from the top row (0 to height - 1).
//
// A copy is a separate image (rows are copied). Errors: a negative size, a row index outside
// the image or a malformed row (becomeOwner) throw ccShapesError::BadParams; an unbound pel
// buffer where pels are read throws ccPel::UnboundWindow.
#pragma once

#include <core/archive.h>
#include <core/pair.h>
#include <core/pelbuffer.h>
#include <core/persistent.h>

#include <cstddef>
#include <vector>

class ccRLEBuffer : public ccPersistent {
 public:
  // Degenerate: no rows, width 0.
  ccRLEBuffer() = default;
  // The encoding of the window of src (see encode).
  explicit ccRLEBuffer(const ccPelBuffer_const<unsigned char>& src) { encode(src); }
  ccRLEBuffer(const ccRLEBuffer&) = default;
  ccRLEBuffer& operator=(const ccRLEBuffer&) = default;
  ccRLEBuffer(ccRLEBuffer&&) = default;
  ccRLEBuffer& operator=(ccRLEBuffer&&) = default;
  ~ccRLEBuffer() override = default;

  long width() const { return width_; }
  long height() const { return height_; }
  // True when the image has no pels (width or height 0).
  bool degenerate() const { return width_ == 0 || height_ == 0; }
  // Image coordinates of the upper-left pel.
  const ccPair<long>& offset() const { return offset_; }
  void offset(const ccPair<long>& o) {
    mutating();
    offset_ = o;
  }
  void offset(long x, long y) { offset(ccPair<long>(x, y)); }

  // The runs of row y (0 = top row), ending with the zero-length run.
  const unsigned char* pointToRow(long y) const;
  // Bytes of row y, the zero-length run included (2 per run).
  std::size_t rowBytes(long y) const;

  // Replaces this image by the encoding of src's window (offset included). Adjacent pels of
  // one value make one run (split at 255).
  void encode(const ccPelBuffer_const<unsigned char>& src);
  // Writes the image into dst: pel (x, y) of the image goes to the pel of dst's window with
  // the same image coordinates (offset + (x, y)); pels outside dst's window are skipped. An
  // unbound dst first becomes a new width x height buffer at this image's offset.
  void decode(ccPelBuffer<unsigned char>& dst) const;
  // The part of the image with image coordinates in [x, x + w) x [y, y + h), clipped to the
  // image (possibly degenerate); runs are cut at the edges and equal neighbours merged, so
  // the result is the encoding of that window. Its offset is the clipped rectangle's
  // upper-left corner. Throws BadParams for a negative w or h.
  ccRLEBuffer subWindow(long x, long y, long w, long h) const;
  // Replaces this image by copies of rowCount rows of the given width, each a run list as
  // above (read up to its zero-length run), at the given offset. Every row is checked
  // first: a null row, a row whose run lengths do not sum to width before its zero-length
  // run, or a negative width or count throws BadParams and leaves this image unchanged.
  void becomeOwner(long width, const unsigned char* const* rows, long rowCount,
                   const ccPair<long>& offset = ccPair<long>());
  void becomeOwner(long width, const std::vector<const unsigned char*>& rows,
                   const ccPair<long>& offset = ccPair<long>()) {
    becomeOwner(width, rows.data(), static_cast<long>(rows.size()), offset);
  }

  // Same size, offset and run bytes.
  friend bool operator==(const ccRLEBuffer& a, const ccRLEBuffer& b) {
    return a.width_ == b.width_ && a.height_ == b.height_ && a.offset_ == b.offset_ &&
           a.rowStart_ == b.rowStart_ && a.runs_ == b.runs_;
  }
  friend bool operator!=(const ccRLEBuffer& a, const ccRLEBuffer& b) { return !(a == b); }

  // Archive form: version byte 0; width, height, offset x, offset y (long); then each row's
  // runs as pairs of bytes up to and including its zero-length run. Loading checks the rows
  // like becomeOwner and throws ccArchive::BadData for a malformed one.
  CC_PERSISTENT_DISPATCH(ccRLEBuffer, 0)
  static ccPersistent* make() { return new ccRLEBuffer; }

 protected:
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  void checkRow(long y) const;

  long width_ = 0;
  long height_ = 0;
  ccPair<long> offset_;
  std::vector<unsigned char> runs_;    // every row's runs, top row first
  std::vector<std::size_t> rowStart_;  // height_ + 1 starts into runs_ (empty when no rows)
};
