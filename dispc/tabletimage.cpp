// ccUITablet: images at the tablet's zoom, icons from text patterns, and the point icon.
#include <core/errors.h>
#include <dispc/errors.h>
#include <dispc/sketchshapes.h>
#include <dispc/tablet.h>

#include <cstring>
#include <limits>
#include <type_traits>

const char ccUITablet::pointIconData_[] =
    "/.....+0+...../.....+0+...../.....+0+...../...+00000+.../...0++0++0.../+++0++0++0+++/"
    "0000000000000/+++0++0++0+++/...0++0++0.../...+00000+.../.....+0+...../.....+0+...../"
    ".....+0+...../";

namespace {

// The scale handed to the sample slots in reducing mode: whole divisors (both factors above 1,
// as scale() stores them) reduce by their inverse, factors at or below 1 are the scale itself.
ccPair<double> reductionScale(const ccPair<double>& exact) {
  if (exact.first > 1.0 && exact.second > 1.0)
    return ccPair<double>(1.0 / exact.first, 1.0 / exact.second);
  return exact;
}

bool isPixelChar(char c) { return (c >= '0' && c <= '9') || c == ' ' || c == '.' || c == '+'; }

}  // namespace

// ---- Images

template <class T, class Zoom>
static void drawZoomed(ccUITablet::ScaleModes mode, const ccPair<double>& exact, Zoom&& zoom) {
  if (mode == ccUITablet::eMagnify)
    zoom(1, exact);
  else if (mode == ccUITablet::eReduce)
    zoom(2, reductionScale(exact));
  else
    zoom(0, exact);
}

void ccUITablet::draw(const ccPelBuffer_const<unsigned char>& img, const ccPoint& at,
                      bool passThrough, unsigned char passValue, bool flag, Layers l) {
  if (okToDraw(l)) {
    ccUIScope* scope = activeScope_[l];
    ccPoint mapped;
    const ccPoint& corner = mapPoint(at, l, mapped);
    drawZoomed<unsigned char>(scaleMode_, scaleExact_, [&](int how, const ccPair<double>& s) {
      if (how == 1)
        scope->expandImage(img, corner, s, passThrough, passValue, flag, interpolation_);
      else if (how == 2)
        scope->sampleImage(img, corner, s, passThrough, passValue, flag);
      else
        scope->drawImage(img, corner, passThrough, passValue, flag);
    });
  }
  if (recordOn_) {
    const long w = img.width(), h = img.height();
    const std::int64_t pels = static_cast<std::int64_t>(w) * h;
    if (pels > std::numeric_limits<std::int32_t>::max() - 91) throw ccUIError::InvalidUISketch();
    const ccPair<long> offset = img.offset();
    const std::int32_t ox = cfSketchCheckedI32(offset.first),
                       oy = cfSketchCheckedI32(offset.second);
    sketch_.opcode(kSketchPropsOpcode, defaultProps());
    unsigned char* p =
        sketch_.opcode(static_cast<signed char>(ccSketchOp::ePelBuf8), static_cast<signed char>(l),
                       ccColor(), static_cast<long>(91 + pels));
    cfSketchStorePoint(p, at);
    p[16] = passThrough ? 1 : 0;
    p[17] = passValue;
    cfSketchStoreXformImage(p + 18, img.imageFromClientXform());
    cfSketchStoreI32(p + 74, ox);
    cfSketchStoreI32(p + 78, oy);
    cfSketchStoreI32(p + 82, static_cast<std::int32_t>(w));
    cfSketchStoreI32(p + 86, static_cast<std::int32_t>(h));
    p[90] = flag ? 1 : 0;
    for (long y = 0; y < h && w > 0; ++y)
      std::memcpy(p + 91 + y * w, img.pointToRow(y), static_cast<std::size_t>(w));
  }
}

// The 16-bit and packed RGB forms: drawn, never recorded. Only packed 32-bit RGB interpolates.
template <class T, class P>
void ccUITablet::drawPels(const ccPelBuffer_const<T>& img, const ccPoint& at, bool passThrough,
                          P passValue, Layers l) {
  if (!okToDraw(l)) return;
  ccUIScope* scope = activeScope_[l];
  ccPoint mapped;
  const ccPoint& corner = mapPoint(at, l, mapped);
  drawZoomed<T>(scaleMode_, scaleExact_, [&](int how, const ccPair<double>& s) {
    if (how == 1) {
      if constexpr (std::is_same<T, ccPackedRGB32Pel>::value)
        scope->expandImage(img, corner, s, passThrough, passValue, interpolation_);
      else
        scope->expandImage(img, corner, s, passThrough, passValue);
    } else if (how == 2) {
      scope->sampleImage(img, corner, s, passThrough, passValue);
    } else {
      scope->drawImage(img, corner, passThrough, passValue);
    }
  });
}

void ccUITablet::draw(const ccPelBuffer_const<unsigned short>& img, const ccPoint& at,
                      bool passThrough, unsigned short passValue, Layers l) {
  drawPels(img, at, passThrough, passValue, l);
}

void ccUITablet::draw(const ccPelBuffer_const<ccPackedRGB16Pel>& img, const ccPoint& at,
                      bool passThrough, unsigned short passValue, Layers l) {
  drawPels(img, at, passThrough, passValue, l);
}

void ccUITablet::draw(const ccPelBuffer_const<ccPackedRGB32Pel>& img, const ccPoint& at,
                      bool passThrough, unsigned long passValue, Layers l) {
  drawPels(img, at, passThrough, passValue, l);
}

void ccUITablet::draw(const ccRLEBuffer& img, const ccPoint& at,
                      const std::vector<unsigned char>& colorMap, bool passThrough,
                      unsigned char passValue, bool flag, Layers l) {
  if (okToDraw(l)) {
    ccUIScope* scope = activeScope_[l];
    ccPoint mapped;
    const ccPoint& corner = mapPoint(at, l, mapped);
    drawZoomed<unsigned char>(scaleMode_, scaleExact_, [&](int how, const ccPair<double>& s) {
      if (how == 1)
        scope->expand(img, corner, colorMap, s, passThrough, passValue);
      else if (how == 2)
        scope->sample(img, corner, colorMap, s, passThrough, passValue);
      else
        scope->drawRLEImage(img, corner, colorMap, passThrough, passValue, flag);
    });
  }
  if (recordOn_) {
    const long rows = img.height();
    std::size_t runBytes = 0;
    for (long y = 0; y < rows; ++y) runBytes += img.rowBytes(y);
    const std::size_t n = 16 + 3 + 4 + colorMap.size() + 8 + runBytes;
    if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - 64)
      throw ccUIError::InvalidUISketch();
    const std::int32_t m = cfSketchCheckedI32(static_cast<long>(colorMap.size()));
    sketch_.opcode(kSketchPropsOpcode, defaultProps());
    unsigned char* p = sketch_.opcode(static_cast<signed char>(ccSketchOp::eRleBuf),
                                      static_cast<signed char>(l), ccColor(), static_cast<long>(n));
    cfSketchStorePoint(p, at);
    p[16] = passThrough ? 1 : 0;
    p[17] = passValue;
    p[18] = flag ? 1 : 0;
    cfSketchStoreI32(p + 19, m);
    if (m) std::memcpy(p + 23, colorMap.data(), colorMap.size());
    p += 23 + colorMap.size();
    cfSketchStoreI32(p, static_cast<std::int32_t>(img.width()));
    cfSketchStoreI32(p + 4, static_cast<std::int32_t>(rows));
    p += 8;
    for (long y = 0; y < rows; ++y) {
      const std::size_t bytes = img.rowBytes(y);
      std::memcpy(p, img.pointToRow(y), bytes);
      p += bytes;
    }
  }
}

// ---- Icons

ccRLEBuffer ccUITablet::makeIcon(const char* pattern, const std::vector<unsigned char>& colorMap) {
  if (!pattern || !pattern[0]) throw ccUIError::BadIconPattern();
  const char sep = pattern[0];
  // First pass: validate and measure.
  long width = -1, height = 0, column = 0;
  for (const char* c = pattern + 1;; ++c) {
    if (*c == sep || *c == '\0') {
      if (*c == '\0' && column == 0) break;  // a trailing separator ends the pattern
      if (width < 0)
        width = column;
      else if (column != width)
        throw ccUIError::BadIconPattern();
      ++height;
      column = 0;
      if (*c == '\0') break;
    } else if (isPixelChar(*c)) {
      ++column;
    } else {
      throw ccUIError::BadIconPattern();
    }
  }
  if (width <= 0 || height == 0) throw ccUIError::BadIconPattern();
  // Second pass: the pels.
  ccPelBuffer<unsigned char> pels(width, height);
  const unsigned char pass = ccColor::passIndex();
  long x = 0, y = 0;
  for (const char* c = pattern + 1; *c; ++c) {
    if (*c == sep) {
      ++y;
      x = 0;
      continue;
    }
    unsigned char v = pass;
    if (*c >= '0' && *c <= '9') {
      const unsigned d = static_cast<unsigned>(*c - '0');
      v = d < colorMap.size() ? colorMap[d] : static_cast<unsigned char>(d);
    }
    pels.set(x++, y, v);
  }
  return ccRLEBuffer(pels);
}

bool ccUITablet::iconTouched(const char* pattern, const ccPair<long>& p, long stride) {
  if (!pattern || !pattern[0]) return false;
  const char* body = pattern + 1;
  const std::size_t length = std::strlen(body);
  if (stride == -1) {
    const char* end = std::strchr(body, pattern[0]);
    stride = static_cast<long>((end ? end - body : static_cast<std::ptrdiff_t>(length)) + 1);
  }
  if (p.first < 0 || p.first >= stride - 1) return false;
  const long long offset = static_cast<long long>(p.second) * stride + p.first;
  if (offset < 0 || offset >= static_cast<long long>(length)) return false;
  const char c = body[offset];
  return c != ' ' && c != '.';
}

const ccRLEBuffer& ccUITablet::pointIcon() {
  static const ccRLEBuffer icon = makeIcon(pointIconData_, std::vector<unsigned char>{0});
  return icon;
}

bool ccUITablet::pointIconTouched(const ccPair<long>& p) {
  return iconTouched(pointIconData_, p + ccPair<long>(6, 6), 14);
}

void ccUITablet::drawPointIcon(const ccPoint& p, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) {
    ccPoint mapped;
    const ccVector<2> corner = mapPoint(p, l, mapped).vector() - ccVector<2>(6, 6);
    activeScope_[l]->drawIcon(pointIcon(), ccPoint(corner), std::vector<ccColor>{props.penColor()},
                              true, ccColor::passIndex());
  }
  if (recordOn_)
    cfSketchStorePoint(
        record(static_cast<signed char>(ccSketchOp::ePointIcon), l, props, kSketchPointFieldSize),
        p);
}

void ccUITablet::drawPointIcon(const ccPoint& p, const ccColor& c, Layers l) {
  drawPointIcon(p, colorProps(c), l);
}
