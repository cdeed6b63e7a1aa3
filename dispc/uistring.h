// ccUIFormat: the font and the anchor alignment of drawn text.
#pragma once

#include <core/archive.h>
#include <dispc/errors.h>
#include <dispc/uirect.h>

class ccUIFormat {
 public:
  // Which point of the text rectangle the anchor point is: a 3 × 3 grid, row by row.
  enum Alignment {
    eTopLeft = 0,
    eTopCenter = 1,
    eTopRight = 2,
    eCenterLeft = 3,
    eCenter = 4,
    eCenterRight = 5,
    eBottomLeft = 6,
    eBottomCenter = 7,
    eBottomRight = 8,
  };

  ccUIFormat(long fontId, Alignment alignment) : fontId_(fontId), alignment_(alignment) {}
  // The current default font id.
  explicit ccUIFormat(Alignment alignment = eTopLeft)
      : fontId_(defaultFontId()), alignment_(alignment) {}

  long fontId() const { return fontId_; }
  void fontId(long id) { fontId_ = id; }
  Alignment alignment() const { return alignment_; }
  void alignment(Alignment a) { alignment_ = a; }

  // The process-wide default font id, initially -1.
  static long defaultFontId();
  static void defaultFontId(long id);

  // r is the text's size placed with its upper-left corner at the anchor point; the result is
  // shifted so that the anchor is the chosen point of the text (halves truncate toward zero).
  ccUIRect alignRect(const ccUIRect& r) const;

  bool operator==(const ccUIFormat& o) const {
    return fontId_ == o.fontId_ && alignment_ == o.alignment_;
  }
  bool operator!=(const ccUIFormat& o) const { return !(*this == o); }

  // Archive form: version byte (0), fontId (long), alignment (unsigned long). Another version
  // throws ccArchive::UnknownVersion with "dispc/uistring".
  friend ccArchive& operator||(ccArchive& ar, ccUIFormat& f);

 private:
  long fontId_;
  Alignment alignment_;
};
