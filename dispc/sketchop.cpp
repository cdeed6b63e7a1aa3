// Sketch operation objects: parsing of the payloads as the tablet records them, rebuilding of
// the stream bytes, replay onto a tablet and the archive forms.
//
// Parsing reads through ccSketchReader, which checks every field against the end of the
// buffer, and decodes into locals first: an object changes only when its whole payload was
// read and every value was accepted by its constructor. Shape payloads go through the
// encoders of sketchshapes.h that the tablet's recorder uses too.
#include <dispc/sketchop.h>

#include <core/unicode.h>
#include <dispc/sketchop_p.h>
#include <dispc/sketchshapes.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <typeinfo>
#include <utility>

namespace {

using cc_detail::consumed;
using cc_detail::decoded;
using cc_detail::decodedRect;
using cc_detail::invalid;
using cc_detail::readCount;
using cc_detail::readPointShape;

constexpr const char* kSource = "dispc/sketchop";

// n points (the count is checked against the bytes left before anything is allocated).
std::vector<ccVector<2>> readPoints(ccSketchReader& r, std::size_t n) {
  if (n > r.remaining() / kSketchPointFieldSize) invalid();
  std::vector<ccVector<2>> v;
  v.reserve(n);
  for (std::size_t i = 0; i < n; ++i) v.push_back(r.readPoint());
  return v;
}

ccRadian readAngle(ccSketchReader& r) { return ccRadian(r.readDouble()); }

// A count stored in an archive, checked against the bytes left (each element at least
// minBytes) before it is used.
std::size_t loadedCount(ccArchive& ar, long n, std::size_t minBytes) {
  if (n < 0) throw ccArchive::BadData("negative sketch operation count");
  ar.checkCount(static_cast<std::uint64_t>(n), minBytes);
  return static_cast<std::size_t>(n);
}

}  // namespace

// ---- cc_SketchOpBytes

cc_SketchOpBytes& cc_SketchOpBytes::operator=(const cc_SketchOpBytes& o) {
  if (this != &o) own(o.data_, o.size_);
  return *this;
}

void cc_SketchOpBytes::own(const unsigned char* p, std::size_t n) {
  std::vector<unsigned char> copy(p, p + n);
  owned_.swap(copy);
  data_ = owned_.data();
  size_ = n;
  isOwned_ = true;
}

unsigned char* cc_SketchOpBytes::ownZeroed(std::size_t n) {
  std::vector<unsigned char> bytes(n);
  owned_.swap(bytes);
  data_ = owned_.data();
  size_ = n;
  isOwned_ = true;
  return owned_.data();
}

// ---- cc_UISketchOpHeader

cc_UISketchOpHeader::cc_UISketchOpHeader() : penColor_(ccColor::cyanColor()) {
  props_.penColor(penColor_);
}

long cc_UISketchOpHeader::parseByteStream(const unsigned char* p, std::size_t available) {
  ccSketchOperation op;
  const std::size_t n = cfSketchReadRecord(p, available, 0, op);
  take(op);
  return static_cast<long>(n);
}

void cc_UISketchOpHeader::take(const ccSketchOperation& op) {
  if (op.props) {
    ccGraphicProps props(props_);
    decoded([&] { props.readSketchForm(op.props + 1); });
    props_ = props;
  }
  mutating();
  hasProps_ = op.props != nullptr;
  propsVersion_ = 0;
  layer_ = static_cast<ccUITablet::Layers>(op.layer);
  penColor_ = op.penColor();
  props_.penColor(penColor_);
  opcode_ = op.opcode;
}

void cc_UISketchOpHeader::populateSketch(ccUISketch& s) const {
  if (hasProps_) s.opcode(kSketchPropsOpcode, props_);
  s.opcode(static_cast<signed char>(opcode_), static_cast<signed char>(layer_), penColor_);
}

void cc_UISketchOpHeader::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  serialize_(ar, version);
  setVisited(ar);
}

void cc_UISketchOpHeader::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccPersistent::dispatchSerialize(ar);
  if (ar.isLoading()) mutating();
  ar || hasProps_;
  if (hasProps_) {
    ar || propsVersion_;
    props_.dispatchSerialize(ar);
  }
  long layer = layer_;
  ar || layer || penColor_ || opcode_;
  if (ar.isLoading()) {
    if (hasProps_ && propsVersion_ != 0) throw ccArchive::BadData("sketch props version");
    // The stream's layer byte: a draw on a layer other than 0, 1 and 2 is recorded too.
    if (layer < std::numeric_limits<signed char>::min() ||
        layer > std::numeric_limits<signed char>::max())
      throw ccArchive::BadData("sketch operation layer out of range");
    if (!cfSketchOpIsValid(opcode_)) throw ccArchive::BadData("invalid sketch opcode");
    layer_ = static_cast<ccUITablet::Layers>(layer);
    props_.penColor(penColor_);
  }
}

// ---- cc_UISketchOpData

void cc_UISketchOpData::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  serialize_(ar, version);
  setVisited(ar);
}

void cc_UISketchOpData::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  ccPersistent::dispatchSerialize(ar);
  // Archives of format 1 carried a version byte of the base part of its own after the
  // class's; the base part has no field beside the class's version.
  if (ar.isLoading() && ar.format() == ccArchive::eFormat1) {
    unsigned char baseVersion = 0;
    ar || baseVersion;
    checkVersion(baseVersion, __LINE__);
  }
}

void cc_UISketchOpData::checkVersion(unsigned char version, long line) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, line);
}

// ---- Points: 0, 1, 20, 21

long cc_UISketchOpPointBase::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccPoint point = readPointShape(r);
  mutating();
  point_ = point;
  return consumed(r);
}

void cc_UISketchOpPointBase::populateSketch(ccUISketch& s) const { cfSketchPutPoint(s, point_); }

void cc_UISketchOpPointBase::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || point_;
}

void cc_UISketchOpPoint::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(point_, h.props(), h.layer());
}

void cc_UISketchOpPointIcon::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.drawPointIcon(point_, h.props(), h.layer());
}

void cc_UISketchOpDrawStart::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.drawStart(point_, h.layer());
}

void cc_UISketchOpDrawTo::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.drawTo(point_, h.props(), h.layer());
}

// ---- 2: line segment

long cc_UISketchOpLineSeg::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccVector<2> a = r.readPoint(), b = r.readPoint();
  const ccLineSeg seg = decoded([&] { return ccLineSeg(a, b); });
  mutating();
  seg_ = seg;
  return consumed(r);
}

void cc_UISketchOpLineSeg::populateSketch(ccUISketch& s) const {
  cfSketchPutPoint(s, seg_.p1());
  cfSketchPutPoint(s, seg_.p2());
}

void cc_UISketchOpLineSeg::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(seg_, h.props(), h.layer());
}

void cc_UISketchOpLineSeg::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  seg_.dispatchSerialize(ar);
}

// ---- 3: line

long cc_UISketchOpLine::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccVector<2> dir = r.readPoint(), pos = r.readPoint();
  const ccLine line = decoded([&] { return ccLine(dir, pos); });
  mutating();
  line_ = line;
  return consumed(r);
}

void cc_UISketchOpLine::populateSketch(ccUISketch& s) const {
  cfSketchPutPoint(s, line_.dir());
  cfSketchPutPoint(s, line_.pos());
}

void cc_UISketchOpLine::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(line_, h.props(), h.layer());
}

void cc_UISketchOpLine::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  line_.dispatchSerialize(ar);
}

// ---- 4, 29: circle

long cc_UISketchOpCircle::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccVector<2> center = r.readPoint();
  const double radius = r.readDouble();
  const ccCircle circle = decoded([&] { return ccCircle(center, radius); });
  mutating();
  circle_ = circle;
  return consumed(r);
}

void cc_UISketchOpCircle::populateSketch(ccUISketch& s) const {
  cfSketchPutPoint(s, circle_.center());
  cfSketchPutDouble(s, circle_.radius());
}

void cc_UISketchOpCircle::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(circle_, h.props(), h.layer());
}

void cc_UISketchOpCircle::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  circle_.dispatchSerialize(ar);
}

// ---- 5, 30: ellipse

long cc_UISketchOpEllipse::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const unsigned char* geom = r.bytes(kSketchEllipseGeomSize);
  const ccEllipse e = decoded([&] { return cfSketchLoadEllipseGeom(geom); });
  mutating();
  ellipse_ = e;
  return consumed(r);
}

void cc_UISketchOpEllipse::populateSketch(ccUISketch& s) const {
  cfSketchStoreEllipseGeom(cfSketchReserve(s, kSketchEllipseGeomSize), ellipse_);
}

void cc_UISketchOpEllipse::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(ellipse_, h.props(), h.layer());
}

void cc_UISketchOpEllipse::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ellipse_.dispatchSerialize(ar);
}

// ---- 6: elliptical arc

long cc_UISketchOpEllipseArc::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const unsigned char* image = r.bytes(kSketchEllipseArcSize);
  const ccEllipseArc arc = decoded([&] { return cfSketchLoadEllipseArc(image); });
  mutating();
  arc_ = arc;
  return consumed(r);
}

void cc_UISketchOpEllipseArc::populateSketch(ccUISketch& s) const {
  cfSketchStoreEllipseArc(cfSketchReserve(s, kSketchEllipseArcSize), arc_);
}

void cc_UISketchOpEllipseArc::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(arc_, h.props(), h.layer());
}

void cc_UISketchOpEllipseArc::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  arc_.dispatchSerialize(ar);
}

// ---- 7: elliptical annulus section

long cc_UISketchOpEllipseAnnSect::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const unsigned char* image = r.bytes(kSketchAnnSectImageSize);
  const ccEllipseAnnulusSection s = decoded([&] { return cfSketchLoadAnnSectImage(image); });
  mutating();
  section_ = s;
  return consumed(r);
}

void cc_UISketchOpEllipseAnnSect::populateSketch(ccUISketch& s) const {
  cfSketchStoreAnnSectImage(cfSketchReserve(s, kSketchAnnSectImageSize), section_);
}

void cc_UISketchOpEllipseAnnSect::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(section_, h.props(), h.layer());
}

void cc_UISketchOpEllipseAnnSect::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  section_.dispatchSerialize(ar);
}

// ---- 8, 31: general rectangle

long cc_UISketchOpGenRect::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const unsigned char* image = r.bytes(kSketchGenRectImageSize);
  const ccGenRect g = decoded([&] { return cfSketchLoadGenRectImage(image); });
  mutating();
  rect_ = g;
  return consumed(r);
}

void cc_UISketchOpGenRect::populateSketch(ccUISketch& s) const {
  cfSketchStoreGenRectImage(cfSketchReserve(s, kSketchGenRectImageSize), rect_);
}

void cc_UISketchOpGenRect::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(rect_, h.props(), h.layer());
}

void cc_UISketchOpGenRect::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  rect_.dispatchSerialize(ar);
}

// ---- 9: general annulus

long cc_UISketchOpGenAnn::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const unsigned char* image = r.bytes(kSketchGenAnnImageSize);
  const ccGenAnnulus a = decoded([&] { return cfSketchLoadGenAnnImage(image); });
  mutating();
  annulus_ = a;
  return consumed(r);
}

void cc_UISketchOpGenAnn::populateSketch(ccUISketch& s) const {
  cfSketchStoreGenAnnImage(cfSketchReserve(s, kSketchGenAnnImageSize), annulus_);
}

void cc_UISketchOpGenAnn::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(annulus_, h.props(), h.layer());
}

void cc_UISketchOpGenAnn::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  annulus_.dispatchSerialize(ar);
}

// ---- 10: coordinate axes

long cc_UISketchOpCoordAxes::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccVector<2> origin = r.readPoint(), x = r.readPoint(), y = r.readPoint();
  const ccCoordAxes axes = decoded([&] { return ccCoordAxes(origin, x, y); });
  mutating();
  axes_ = axes;
  return consumed(r);
}

void cc_UISketchOpCoordAxes::populateSketch(ccUISketch& s) const {
  cfSketchPutPoint(s, axes_.origin());
  cfSketchPutPoint(s, axes_.xEnd());
  cfSketchPutPoint(s, axes_.yEnd());
}

void cc_UISketchOpCoordAxes::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(axes_, h.props(), h.layer());
}

void cc_UISketchOpCoordAxes::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || axes_;
}

// ---- 11: text

long cc_UISketchOpString::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccPoint position = readPointShape(r);
  const ccColor color2 = r.readColor();
  const ccUIFormat format = r.readFormat();
  std::size_t length = 0;
  const char* text = r.readCString(length);
  mutating();
  position_ = position;
  color2_ = color2;
  format_ = format;
  text_.borrow(reinterpret_cast<const unsigned char*>(text), length + 1);
  return consumed(r);
}

std::string cc_UISketchOpString::text() const {
  if (text_.size() == 0) return std::string();
  return std::string(reinterpret_cast<const char*>(text_.data()), text_.size() - 1);
}

void cc_UISketchOpString::populateSketch(ccUISketch& s) const {
  cfSketchPutPoint(s, position_);
  cfSketchPutColor(s, color2_);
  cfSketchPutFormat(s, format_);
  if (text_.size() == 0)
    cfSketchPutByte(s, 0);
  else
    cfSketchPutBytes(s, text_.data(), text_.size());
}

void cc_UISketchOpString::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(text(), position_, h.penColor(), color2_, format_, h.layer());
}

void cc_UISketchOpString::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || position_ || color2_ || format_;
  // An object that never parsed a payload holds the empty text: its terminator alone.
  long length = text_.size() == 0 ? 1 : static_cast<long>(text_.size());
  ar || length;
  if (ar.isStoring()) {
    for (long i = 0; i < length; ++i) {
      char c = text_.size() == 0 ? 0 : static_cast<char>(text_.data()[i]);
      ar || c;
    }
    return;
  }
  const std::size_t n = loadedCount(ar, length, 1);
  if (n == 0) throw ccArchive::BadData("sketch text without terminator");
  cc_SketchOpBytes text;
  unsigned char* q = text.ownZeroed(n);
  for (std::size_t i = 0; i < n; ++i) {
    char c = 0;
    ar || c;
    q[i] = static_cast<unsigned char>(c);
    // The only 0 is the terminator, so that the stream form ends where the length says.
    if ((c == 0) != (i + 1 == n)) throw ccArchive::BadData("sketch text terminator");
  }
  text_ = std::move(text);
}

// ---- 12: 8-bit image

long cc_UISketchOpPelBuf8::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccPoint position = readPointShape(r);
  const bool passThrough = r.readBool();
  const unsigned char passValue = r.readByte();
  const ccXform<2> xform = cfSketchLoadXformImage(r.bytes(kSketchXformImageSize));
  const long ox = r.readLong(), oy = r.readLong();
  const std::size_t w = readCount(r), h = readCount(r);
  const bool flag = r.readBool();
  // At most 2^31 x 2^31: the product cannot overflow, and bytes() checks it against the end.
  const unsigned char* pels = r.bytes(w * h);
  ccPelBuffer<unsigned char> image = decoded([&] {
    ccPelBuffer<unsigned char> b(const_cast<unsigned char*>(pels), static_cast<long>(w),
                                 static_cast<long>(h), static_cast<long>(w));
    b.imageFromClientXform(xform);
    b.offset(ox, oy);
    return b;
  });
  mutating();
  position_ = position;
  passThrough_ = passThrough;
  passValue_ = passValue;
  xform_ = xform;
  offset_ = ccPair<long>(ox, oy);
  width_ = static_cast<long>(w);
  height_ = static_cast<long>(h);
  flag_ = flag;
  image_ = image;
  return consumed(r);
}

void cc_UISketchOpPelBuf8::populateSketch(ccUISketch& s) const {
  cfSketchPutPoint(s, position_);
  cfSketchPutBool(s, passThrough_);
  cfSketchPutByte(s, passValue_);
  cfSketchStoreXformImage(cfSketchReserve(s, kSketchXformImageSize), xform_);
  cfSketchPutLong(s, offset_.first);
  cfSketchPutLong(s, offset_.second);
  cfSketchPutLong(s, width_);
  cfSketchPutLong(s, height_);
  cfSketchPutBool(s, flag_);
  if (width_ > 0 && height_ > 0) {
    unsigned char* q =
        cfSketchReserve(s, static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    for (long y = 0; y < height_; ++y, q += width_)
      std::memcpy(q, image_.pointToRow(y), static_cast<std::size_t>(width_));
  }
}

void cc_UISketchOpPelBuf8::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(image_, position_, passThrough_, passValue_, flag_, h.layer());
}

void cc_UISketchOpPelBuf8::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || position_ || passThrough_ || flag_ || passValue_ || xform_ || offset_ || width_ ||
      height_ || image_;
  if (ar.isLoading() &&
      (width_ < 0 || height_ < 0 || image_.width() != width_ || image_.height() != height_))
    throw ccArchive::BadData("sketch image size");
}

// ---- 14: run-length image

long cc_UISketchOpRleBuf::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccPoint position = readPointShape(r);
  const bool passThrough = r.readBool();
  const unsigned char passValue = r.readByte();
  const bool flag = r.readBool();
  const std::size_t m = readCount(r);
  const unsigned char* map = r.bytes(m);
  const long width = static_cast<long>(readCount(r));
  const std::size_t rows = readCount(r);
  // Each row takes at least one 2-byte entry.
  if (rows > r.remaining() / 2) invalid();
  std::vector<const unsigned char*> starts;
  starts.reserve(rows);
  for (std::size_t y = 0; y < rows; ++y) {
    starts.push_back(r.current());
    for (;;) {
      const unsigned char* entry = r.bytes(2);
      if (entry[1] == 0) break;
    }
  }
  ccRLEBuffer image;
  decoded([&] { image.becomeOwner(width, starts); });
  mutating();
  position_ = position;
  passThrough_ = passThrough;
  passValue_ = passValue;
  flag_ = flag;
  colorMapLength_ = static_cast<long>(m);
  colorMap_.assign(map, map + m);
  width_ = width;
  rowCount_ = static_cast<long>(rows);
  image_ = std::move(image);
  return consumed(r);
}

void cc_UISketchOpRleBuf::populateSketch(ccUISketch& s) const {
  cfSketchPutPoint(s, position_);
  cfSketchPutBool(s, passThrough_);
  cfSketchPutByte(s, passValue_);
  cfSketchPutBool(s, flag_);
  cfSketchPutLong(s, static_cast<long>(colorMap_.size()));
  cfSketchPutBytes(s, colorMap_.data(), colorMap_.size());
  cfSketchPutLong(s, image_.width());
  cfSketchPutLong(s, image_.height());
  for (long y = 0; y < image_.height(); ++y)
    cfSketchPutBytes(s, image_.pointToRow(y), image_.rowBytes(y));
}

void cc_UISketchOpRleBuf::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(image_, position_, colorMap_, passThrough_, passValue_, flag_, h.layer());
}

void cc_UISketchOpRleBuf::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || position_ || passThrough_ || passValue_ || flag_;
  long m = static_cast<long>(colorMap_.size());
  ar || m;
  if (ar.isLoading()) colorMap_.resize(loadedCount(ar, m, 1));
  for (unsigned char& c : colorMap_) ar || c;
  colorMapLength_ = static_cast<long>(colorMap_.size());
  ar || width_ || rowCount_;
  image_.dispatchSerialize(ar);
  if (ar.isLoading() && (image_.width() != width_ || image_.height() != rowCount_))
    throw ccArchive::BadData("sketch run-length image size");
}

// ---- 15: nested sketch

long cc_UISketchOpSketch::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccPoint offset = readPointShape(r);
  const std::size_t length = readCount(r);
  const unsigned char* bytes = r.bytes(length);
  mutating();
  offset_ = offset;
  length_ = static_cast<long>(length);
  sketch_.erase();  // keeps the buffer for the next nested sketch of a replay
  sketch_.append(bytes, length_);
  return consumed(r);
}

void cc_UISketchOpSketch::populateSketch(ccUISketch& s) const {
  cfSketchPutPoint(s, offset_);
  cfSketchPutLong(s, sketch_.length());
  s.append(sketch_.data(), sketch_.length());
}

void cc_UISketchOpSketch::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(sketch_, offset_, h.layer());
}

void cc_UISketchOpSketch::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  // A replayed sketch inside a sketch has no archive form.
  throw ccUIError::NotImplemented();
}

// ---- Rectangle kinds: 16, 18, 25

void cc_UISketchOpRectKind::parseRect(ccSketchReader& r, bool version0, Parsed& out) {
  out.kind = r.readSignedByte();
  if (out.kind != 0) {
    out.uiRect = r.readUIRect();
  } else if (version0) {
    const ccVector<2> ul = r.readPoint(), size = r.readPoint();
    out.rect = decoded([&] { return ccRect(ul, size); });
  } else {
    const unsigned char* image = r.bytes(kSketchRectImageSize);
    out.rect = decoded([&] { return cfSketchLoadRectImage(image); });
  }
}

void cc_UISketchOpRectKind::take(const Parsed& in) {
  mutating();
  kind_ = in.kind;
  uiRect_ = in.uiRect;
  rect_ = in.rect;
}

long cc_UISketchOpRectKind::parseRectOnly(const unsigned char* p, std::size_t n, bool version0) {
  ccSketchReader r(p, n);
  Parsed parsed;
  parseRect(r, version0, parsed);
  take(parsed);
  return consumed(r);
}

void cc_UISketchOpRectKind::putRect(ccUISketch& s) const {
  cfSketchPutSignedByte(s, kind_);
  if (kind_ != 0)
    cfSketchPutUIRect(s, uiRect_);
  else
    cfSketchStoreRectImage(cfSketchReserve(s, kSketchRectImageSize), rect_);
}

void cc_UISketchOpRectKind::serializeRect(ccArchive& ar) {
  ar || kind_;
  if (kind_ == 0) {
    rect_.dispatchSerialize(ar);
    return;
  }
  ar || uiRect_;
  // The archive form keeps a rectangle as stored; the stream form is normalised, and the
  // operation holds what parsing its stream bytes gives.
  if (ar.isLoading()) uiRect_ = ccUIRect(uiRect_.ul(), uiRect_.sz());
}

long cc_UISketchOpSet::parseByteStream(const unsigned char* p, std::size_t n) {
  return parseRectOnly(p, n, false);
}

void cc_UISketchOpSet::populateSketch(ccUISketch& s) const { putRect(s); }

void cc_UISketchOpSet::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  if (kind_ != 0)
    t.set(uiRect_, h.penColor(), h.layer());
  else
    t.set(rect_, h.penColor(), h.layer());
}

void cc_UISketchOpSet::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  serializeRect(ar);
}

long cc_UISketchOpSetComp::parseByteStream(const unsigned char* p, std::size_t n) {
  return parseRectOnly(p, n, false);
}

void cc_UISketchOpSetComp::populateSketch(ccUISketch& s) const { putRect(s); }

void cc_UISketchOpSetComp::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  if (kind_ != 0)
    t.setComplement(uiRect_, h.penColor(), h.layer());
  else
    t.setComplement(rect_, h.penColor(), h.layer());
}

void cc_UISketchOpSetComp::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  serializeRect(ar);
}

// ---- 17: set all

long cc_UISketchOpSetAll::parseByteStream(const unsigned char*, std::size_t) {
  mutating();
  return 0;
}

void cc_UISketchOpSetAll::populateSketch(ccUISketch&) const {}

void cc_UISketchOpSetAll::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.set(h.penColor(), h.layer());
}

void cc_UISketchOpSetAll::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
}

// ---- 19: flood fill

long cc_UISketchOpFill::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const signed char kind = r.readSignedByte();
  ccPair<long> pixel;
  ccPoint point;
  if (kind != 0) {
    const long x = r.readLong();
    pixel = ccPair<long>(x, r.readLong());
  } else {
    point = readPointShape(r);
  }
  const ccColor color2 = r.readColor();
  const long type = r.readLong();
  if (type != ccUITablet::eFillToBorder && type != ccUITablet::eFillSurface) invalid();
  mutating();
  kind_ = kind;
  pixel_ = pixel;
  point_ = point;
  color2_ = color2;
  fillType_ = type;
  return consumed(r);
}

void cc_UISketchOpFill::populateSketch(ccUISketch& s) const {
  cfSketchPutSignedByte(s, kind_);
  if (kind_ != 0) {
    cfSketchPutLong(s, pixel_.first);
    cfSketchPutLong(s, pixel_.second);
  } else {
    cfSketchPutPoint(s, point_);
  }
  cfSketchPutColor(s, color2_);
  cfSketchPutLong(s, fillType_);
}

void cc_UISketchOpFill::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  const auto type = static_cast<ccUITablet::FillType>(fillType_);
  if (kind_ != 0)
    t.fill(pixel_, h.penColor(), color2_, type, h.layer());
  else
    t.fill(point_, h.penColor(), color2_, type, h.layer());
}

void cc_UISketchOpFill::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || kind_;
  if (kind_ != 0)
    ar || pixel_;
  else
    ar || point_;
  ar || color2_ || fillType_;
  if (ar.isLoading() && fillType_ != ccUITablet::eFillToBorder &&
      fillType_ != ccUITablet::eFillSurface)
    throw ccArchive::BadData("sketch fill type");
}

// ---- 22, 23: relative pixel moves

long cc_UISketchOpRelPelsBase::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const long dx = r.readLong();
  const long dy = r.readLong();
  mutating();
  dx_ = dx;
  dy_ = dy;
  return consumed(r);
}

void cc_UISketchOpRelPelsBase::populateSketch(ccUISketch& s) const {
  cfSketchPutLong(s, dx_);
  cfSketchPutLong(s, dy_);
}

void cc_UISketchOpRelPelsBase::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || dx_ || dy_;
}

void cc_UISketchOpDrawToRelPels::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.drawToRelPels(dx_, dy_, h.props(), h.layer());
}

void cc_UISketchOpMoveToRelPels::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.moveToRelPels(dx_, dy_, h.layer());
}

// ---- 25: 3-D outline

long cc_UISketchOpOutline3d::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  Parsed parsed;
  parseRect(r, false, parsed);
  const ccColor c1 = r.readColor();
  const ccColor c2 = r.readColor();
  const long width = r.readLong();
  take(parsed);
  color1_ = c1;
  color2_ = c2;
  width_ = width;
  return consumed(r);
}

void cc_UISketchOpOutline3d::opcodeColor(const ccColor& c) {
  mutating();
  color1_ = c;
}

void cc_UISketchOpOutline3d::populateSketch(ccUISketch& s) const {
  putRect(s);
  cfSketchPutColor(s, color1_);
  cfSketchPutColor(s, color2_);
  cfSketchPutLong(s, width_);
}

void cc_UISketchOpOutline3d::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  if (kind_ != 0)
    t.outline3D(uiRect_, h.penColor(), color2_, width_, h.layer());
  else
    t.outline3D(rect_, h.penColor(), color2_, width_, h.layer());
}

void cc_UISketchOpOutline3d::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  serializeRect(ar);
  ar || color1_ || color2_ || width_;
}

// ---- 26: arrowhead

long cc_UISketchOpArrow::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccPoint tip = readPointShape(r);
  const ccVector<2> direction = r.readPoint();
  const float size = r.readFloat();
  mutating();
  tip_ = tip;
  direction_ = direction;
  size_ = size;
  return consumed(r);
}

void cc_UISketchOpArrow::populateSketch(ccUISketch& s) const {
  cfSketchPutPoint(s, tip_);
  cfSketchPutPoint(s, direction_);
  cfSketchPutFloat(s, size_);
}

void cc_UISketchOpArrow::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.arrowHead(tip_, direction_, size_, h.props(), h.layer());
}

void cc_UISketchOpArrow::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || tip_ || direction_ || size_;
}

// ---- 27: affine rectangle

long cc_UISketchOpAffineRect::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const unsigned char* image = r.bytes(kSketchAffineRectImageSize);
  const ccAffineRectangle a = decoded([&] { return cfSketchLoadAffineRectImage(image); });
  mutating();
  rect_ = a;
  return consumed(r);
}

void cc_UISketchOpAffineRect::populateSketch(ccUISketch& s) const {
  cfSketchStoreAffineRectImage(cfSketchReserve(s, kSketchAffineRectImageSize), rect_);
}

void cc_UISketchOpAffineRect::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(rect_, h.props(), h.layer());
}

void cc_UISketchOpAffineRect::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  rect_.dispatchSerialize(ar);
}

// ---- 28: polygon

long cc_UISketchOpPolygon::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const long mode = r.readLong();
  const std::size_t count = readCount(r);
  const std::vector<ccVector<2>> vertices = readPoints(r, count);
  ccPolygon polygon =
      decoded([&] { return ccPolygon(vertices, static_cast<ccPolygon::PolyFillMode>(mode)); });
  mutating();
  fillMode_ = mode;
  vertexCount_ = static_cast<long>(count);
  polygon_ = std::move(polygon);
  return consumed(r);
}

void cc_UISketchOpPolygon::populateSketch(ccUISketch& s) const {
  const std::vector<ccVector<2>>& v = polygon_.vertices();
  cfSketchPutLong(s, static_cast<long>(polygon_.fillMode()));
  cfSketchPutLong(s, static_cast<long>(v.size()));
  unsigned char* q = cfSketchReserve(s, kSketchPointFieldSize * v.size());
  for (const ccVector<2>& p : v) {
    cfSketchStorePoint(q, p);
    q += kSketchPointFieldSize;
  }
}

void cc_UISketchOpPolygon::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(polygon_, h.props(), h.layer());
}

void cc_UISketchOpPolygon::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || fillMode_ || vertexCount_;
  // Format 1 archives held the polygon in its persistent form (one shape version byte more).
  if (ar.isLoading() && ar.format() == ccArchive::eFormat1)
    polygon_.dispatchSerialize(ar);
  else
    ar || polygon_;
  if (ar.isLoading() &&
      (vertexCount_ != polygon_.numVertices() || fillMode_ != polygon_.fillMode()))
    throw ccArchive::BadData("sketch polygon fields");
}

// ---- 32, 47: client rectangles

long cc_UISketchOpRectBase::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccVector<2> ul = r.readPoint(), size = r.readPoint();
  const ccRect rect = decodedRect(ul, size);
  mutating();
  rect_ = rect;
  return consumed(r);
}

void cc_UISketchOpRectBase::populateSketch(ccUISketch& s) const {
  cfSketchPutPoint(s, rect_.ul());
  cfSketchPutPoint(s, rect_.sz());
}

void cc_UISketchOpRectBase::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  rect_.dispatchSerialize(ar);
}

void cc_UISketchOpRect::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(rect_, h.props(), h.layer());
}

void cc_UISketchOpClipRect::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.drawClipRect(rect_, h.layer());
}

// ---- 33: generic shape

long cc_UISketchOpGenShape::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccColor color = r.readColor();
  const ccGenShape::tagShapeID tag =
      ccGenShape::tagShapeID::fromBytes(r.bytes(kSketchGenShapeTagSize));
  const std::size_t size = readCount(r);
  const unsigned char* data = r.bytes(size);
  mutating();
  color_ = color;
  tag_ = tag;
  data_.borrow(data, size);
  return consumed(r);
}

void cc_UISketchOpGenShape::opcodeColor(const ccColor& c) {
  mutating();
  color_ = c;
}

void cc_UISketchOpGenShape::populateSketch(ccUISketch& s) const {
  cfSketchPutColor(s, color_);
  tag_.toBytes(cfSketchReserve(s, kSketchGenShapeTagSize));
  cfSketchPutLong(s, static_cast<long>(data_.size()));
  cfSketchPutBytes(s, data_.data(), data_.size());
}

void cc_UISketchOpGenShape::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  // A type this process does not know cannot be made: it draws nothing.
  const ccShapePtrh made = ccGenShape::newGenShape(tag_);
  ccGenShape* shape = made.isNull() ? nullptr : dynamic_cast<ccGenShape*>(made.rep());
  if (!shape) return;
  decoded([&] { shape->loadData(data_.data(), data_.size()); });
  t.draw(*shape, h.penColor(), h.layer());
}

void cc_UISketchOpGenShape::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || color_ || tag_;
  long size = static_cast<long>(data_.size());
  ar || size;
  if (ar.isStoring()) {
    for (std::size_t i = 0; i < data_.size(); ++i) {
      unsigned char b = data_.data()[i];
      ar || b;
    }
    return;
  }
  const std::size_t n = loadedCount(ar, size, 1);
  cc_SketchOpBytes data;
  unsigned char* q = data.ownZeroed(n);
  for (std::size_t i = 0; i < n; ++i) ar || q[i];
  data_ = std::move(data);
}

// ---- 35: UTF-16 text

long cc_UISketchOpUnicodeString::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccPoint position = readPointShape(r);
  const ccColor color2 = r.readColor();
  const ccUIFormat format = r.readFormat();
  std::size_t units = 0;
  const unsigned char* text = r.readU16String(units);
  mutating();
  position_ = position;
  color2_ = color2;
  format_ = format;
  units_.borrow(text, 2 * (units + 1));
  return consumed(r);
}

std::u16string cc_UISketchOpUnicodeString::text() const {
  std::u16string s;
  const std::size_t n = units_.size() / 2;
  if (n == 0) return s;
  s.reserve(n - 1);
  for (std::size_t i = 0; i + 1 < n; ++i)
    s.push_back(static_cast<char16_t>(units_.data()[2 * i] | (units_.data()[2 * i + 1] << 8)));
  return s;
}

void cc_UISketchOpUnicodeString::populateSketch(ccUISketch& s) const {
  cfSketchPutPoint(s, position_);
  cfSketchPutColor(s, color2_);
  cfSketchPutFormat(s, format_);
  if (units_.size() == 0) {
    cfSketchPutByte(s, 0);
    cfSketchPutByte(s, 0);
  } else {
    cfSketchPutBytes(s, units_.data(), units_.size());
  }
}

void cc_UISketchOpUnicodeString::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(cfConvertString(text()), position_, h.penColor(), color2_, format_, h.layer());
}

void cc_UISketchOpUnicodeString::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || position_ || color2_ || format_;
  long length = units_.size() == 0 ? 1 : static_cast<long>(units_.size() / 2);
  ar || length;
  if (ar.isStoring()) {
    for (long i = 0; i < length; ++i) {
      const unsigned char* q = units_.data() + 2 * i;
      unsigned short u = units_.size() == 0 ? 0 : static_cast<unsigned short>(q[0] | (q[1] << 8));
      ar || u;
    }
    return;
  }
  const std::size_t n = loadedCount(ar, length, 2);
  if (n == 0) throw ccArchive::BadData("sketch text without terminator");
  cc_SketchOpBytes units;
  unsigned char* q = units.ownZeroed(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    unsigned short u = 0;
    ar || u;
    q[2 * i] = static_cast<unsigned char>(u & 0xFF);
    q[2 * i + 1] = static_cast<unsigned char>(u >> 8);
    if ((u == 0) != (i + 1 == n)) throw ccArchive::BadData("sketch text terminator");
  }
  units_ = std::move(units);
}

// ---- 37: cross

long cc_UISketchOpCross::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const unsigned char* image = r.bytes(kSketchCrossSize);
  const ccCross c = decoded([&] { return cfSketchLoadCross(image); });
  mutating();
  cross_ = c;
  return consumed(r);
}

void cc_UISketchOpCross::populateSketch(ccUISketch& s) const {
  cfSketchStoreCross(cfSketchReserve(s, kSketchCrossSize), cross_);
}

void cc_UISketchOpCross::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(cross_, h.props(), h.layer());
}

void cc_UISketchOpCross::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || cross_;
}

// ---- 39: annulus section with its arrowhead flags

long cc_UISketchOpEllipseAnnSectArrowheadFlag::parseByteStream(const unsigned char* p,
                                                               std::size_t n) {
  return parseFlaggedImage(p, n, kSketchAnnSectImageSize, cfSketchLoadAnnSectImage);
}

long cc_UISketchOpEllipseAnnSectArrowheadFlag::parseFlaggedImage(
    const unsigned char* p, std::size_t n, std::size_t imageSize,
    ccEllipseAnnulusSection (*load)(const unsigned char*)) {
  ccSketchReader r(p, n);
  const unsigned char* image = r.bytes(imageSize);
  const bool arrowHead = r.readBool();
  const bool forward = r.readBool();
  const ccEllipseAnnulusSection s = decoded([&] { return load(image); });
  mutating();
  section_ = s;
  arrowHead_ = arrowHead;
  arrowHeadForward_ = forward;
  return consumed(r);
}

void cc_UISketchOpEllipseAnnSectArrowheadFlag::populateSketch(ccUISketch& s) const {
  unsigned char* q = cfSketchReserve(s, kSketchAnnSectImageSize + 2);
  cfSketchStoreAnnSectImage(q, section_);
  q[kSketchAnnSectImageSize] = arrowHead_ ? 1 : 0;
  q[kSketchAnnSectImageSize + 1] = arrowHeadForward_ ? 1 : 0;
}

void cc_UISketchOpEllipseAnnSectArrowheadFlag::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  h.props().arrowHead(arrowHead_);
  h.props().arrowHeadForward(arrowHeadForward_);
  t.draw(section_, h.props(), h.layer());
}

void cc_UISketchOpEllipseAnnSectArrowheadFlag::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  section_.dispatchSerialize(ar);
  ar || arrowHead_ || arrowHeadForward_;
}

// ---- 42: Bezier curve

long cc_UISketchOpBezierCurve::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const unsigned char* image = r.bytes(kSketchBezierSize);
  const ccBezierCurve c = decoded([&] { return cfSketchLoadBezier(image); });
  mutating();
  curve_ = c;
  return consumed(r);
}

void cc_UISketchOpBezierCurve::populateSketch(ccUISketch& s) const {
  cfSketchStoreBezier(cfSketchReserve(s, kSketchBezierSize), curve_);
}

void cc_UISketchOpBezierCurve::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(curve_, h.props(), h.layer());
}

void cc_UISketchOpBezierCurve::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  curve_.dispatchSerialize(ar);
}

// ---- 43: cubic spline

long cc_UISketchOpCubicSpline::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const std::size_t count = readCount(r);
  if (count > r.remaining() / kSketchBezierSize) invalid();
  std::vector<ccBezierCurve> curves;
  curves.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned char* image = r.bytes(kSketchBezierSize);
    curves.push_back(decoded([&] { return cfSketchLoadBezier(image); }));
  }
  mutating();
  segmentCount_ = static_cast<long>(count);
  curves_.swap(curves);
  return consumed(r);
}

void cc_UISketchOpCubicSpline::populateSketch(ccUISketch& s) const {
  cfSketchPutLong(s, static_cast<long>(curves_.size()));
  unsigned char* q = cfSketchReserve(s, kSketchBezierSize * curves_.size());
  for (const ccBezierCurve& c : curves_) {
    cfSketchStoreBezier(q, c);
    q += kSketchBezierSize;
  }
}

void cc_UISketchOpCubicSpline::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(ccCubicSpline(curves_), h.props(), h.layer());
}

void cc_UISketchOpCubicSpline::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  long count = static_cast<long>(curves_.size());
  ar || count;
  if (ar.isLoading()) curves_.resize(loadedCount(ar, count, 1));
  for (ccBezierCurve& c : curves_) c.dispatchSerialize(ar);
  segmentCount_ = static_cast<long>(curves_.size());
}

// ---- 44: polyline

long cc_UISketchOpPolyline::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const std::size_t count = readCount(r);
  const std::vector<ccVector<2>> vertices = readPoints(r, count);
  const bool closed = r.readBool();
  ccPolyline polyline = decoded([&] { return ccPolyline(vertices, closed); });
  mutating();
  vertexCount_ = static_cast<long>(count);
  polyline_ = std::move(polyline);
  closed_ = closed;
  return consumed(r);
}

void cc_UISketchOpPolyline::populateSketch(ccUISketch& s) const {
  const std::vector<ccVector<2>>& v = polyline_.vertices();
  cfSketchPutLong(s, static_cast<long>(v.size()));
  unsigned char* q = cfSketchReserve(s, kSketchPointFieldSize * v.size());
  for (const ccVector<2>& p : v) {
    cfSketchStorePoint(q, p);
    q += kSketchPointFieldSize;
  }
  cfSketchPutBool(s, closed_);
}

void cc_UISketchOpPolyline::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(polyline_, h.props(), h.layer());
}

void cc_UISketchOpPolyline::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ar || vertexCount_;
  polyline_.dispatchSerialize(ar);
  ar || closed_;
  if (ar.isLoading() && vertexCount_ != polyline_.numVertices())
    throw ccArchive::BadData("sketch polyline vertex count");
}

// ---- 45: ellipse, second form

long cc_UISketchOpEllipse2::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccVector<2> radii = r.readPoint();
  const ccRadian rotation = readAngle(r);
  const ccVector<2> center = r.readPoint();
  const ccEllipse2 e = decoded([&] { return ccEllipse2(radii, rotation, center); });
  mutating();
  ellipse_ = e;
  return consumed(r);
}

void cc_UISketchOpEllipse2::populateSketch(ccUISketch& s) const {
  cfSketchPutPoint(s, ellipse_.radii());
  cfSketchPutDouble(s, ellipse_.rotation().toDouble());
  cfSketchPutPoint(s, ellipse_.center());
}

void cc_UISketchOpEllipse2::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(ellipse_, h.props(), h.layer());
}

void cc_UISketchOpEllipse2::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  ellipse_.dispatchSerialize(ar);
}

// ---- 46: elliptical arc, second form

long cc_UISketchOpEllipseArc2::parseByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccVector<2> radii = r.readPoint();
  const ccRadian rotation = readAngle(r);
  const ccVector<2> center = r.readPoint();
  const bool reflected = r.readBool();
  const ccRadian phase = readAngle(r), start = readAngle(r), span = readAngle(r);
  const ccEllipseArc2 a = decoded([&] {
    return ccEllipseArc2(ccEllipse2(radii, rotation, center, reflected, phase), start, span);
  });
  mutating();
  arc_ = a;
  return consumed(r);
}

void cc_UISketchOpEllipseArc2::populateSketch(ccUISketch& s) const {
  const ccEllipse2& e = arc_.ellipse();
  cfSketchPutPoint(s, e.radii());
  cfSketchPutDouble(s, e.rotation().toDouble());
  cfSketchPutPoint(s, e.center());
  cfSketchPutBool(s, e.reflected());
  cfSketchPutDouble(s, e.phase().toDouble());
  cfSketchPutDouble(s, arc_.phiStart().toDouble());
  cfSketchPutDouble(s, arc_.phiSpan().toDouble());
}

void cc_UISketchOpEllipseArc2::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {
  t.draw(arc_, h.props(), h.layer());
}

void cc_UISketchOpEllipseArc2::serialize_(ccArchive& ar, unsigned char version) {
  checkVersion(version, __LINE__);
  cc_UISketchOpData::serialize_(ar, version);
  if (ar.isLoading()) mutating();
  arc_.dispatchSerialize(ar);
}

// ---- 34, 38: general polygon; 41: wireframe (one payload form, sketchgenpoly.cpp)

namespace {

void putGenPoly(ccUISketch& s, const ccGenPoly& g) {
  cfSketchStoreGenPoly(cfSketchReserve(s, cfSketchGenPolySize(g)), g);
}

// A polygon loaded from an archive and taken through the payload form, so that it is the
// polygon a stream gives (percentages 0.5, no labels, default colours) and is as valid as one.
template <class Poly>
Poly loadedGenPoly(ccArchive& ar) {
  Poly loaded;
  {
    const ccArchive::VisitScope scope(ar);  // the next local may lie at the same address
    loaded.dispatchSerialize(ar);
  }
  std::vector<unsigned char> payload(cfSketchGenPolySize(loaded));
  cfSketchStoreGenPoly(payload.data(), loaded);
  Poly canonical;
  cfSketchLoadGenPoly(payload.data(), payload.size(), canonical);
  return canonical;
}

}  // namespace

// The operation changes only when the whole payload (or archived polygon) was accepted.
#define DISPC_GENPOLY_OP(Class, Poly, field)                                \
  long Class::parseByteStream(const unsigned char* p, std::size_t n) {      \
    Poly parsed;                                                            \
    const std::size_t read = cfSketchLoadGenPoly(p, n, parsed);             \
    mutating();                                                             \
    field.swap(parsed);                                                     \
    return static_cast<long>(read);                                         \
  }                                                                         \
  void Class::populateSketch(ccUISketch& s) const { putGenPoly(s, field); } \
  void Class::draw(ccUITablet& t, cc_UISketchOpHeader& h) const {           \
    t.draw(field, h.props(), h.layer());                                    \
  }                                                                         \
  void Class::serialize_(ccArchive& ar, unsigned char version) {            \
    checkVersion(version, __LINE__);                                        \
    cc_UISketchOpData::serialize_(ar, version);                             \
    if (!ar.isLoading()) {                                                  \
      field.dispatchSerialize(ar);                                          \
      return;                                                               \
    }                                                                       \
    Poly loaded = loadedGenPoly<Poly>(ar);                                  \
    mutating();                                                             \
    field.swap(loaded);                                                     \
  }

DISPC_GENPOLY_OP(cc_UISketchOpGenPoly, ccGenPoly, poly_)
DISPC_GENPOLY_OP(cc_UISketchOpWireframe, cc2Wireframe, wireframe_)
#undef DISPC_GENPOLY_OP

// ---- Factory, generated from the opcode table

namespace {

using Maker = cc_UISketchOpData* (*)();
using Fits = bool (*)(const cc_UISketchOpData&);

template <class T>
cc_UISketchOpData* makeOp() {
  return new T;
}
template <class T>
bool isOp(const cc_UISketchOpData& d) {
  return typeid(d) == typeid(T);
}

cc_UISketchOpData* notAnOperation() { invalid("not an operation"); }
bool fitsNothing(const cc_UISketchOpData&) { return false; }

template <class T>
const std::type_info* typeOfOp() {
  return &typeid(T);
}
const std::type_info* noType() { return nullptr; }

using TypeOf = const std::type_info* (*)();
constexpr TypeOf kTypes[kSketchOpcodeCount] = {
#define DISPC_SKETCH_TYPE_OP(n, Name, Class, rule, rule0) &typeOfOp<Class>,
#define DISPC_SKETCH_TYPE_NOOP(n, Name, rule) &noType,
    DISPC_SKETCH_OPCODES(DISPC_SKETCH_TYPE_OP, DISPC_SKETCH_TYPE_NOOP)
#undef DISPC_SKETCH_TYPE_OP
#undef DISPC_SKETCH_TYPE_NOOP
};

constexpr Maker kMakers[kSketchOpcodeCount] = {
#define DISPC_SKETCH_MAKER_OP(n, Name, Class, rule, rule0) &makeOp<Class>,
#define DISPC_SKETCH_MAKER_NOOP(n, Name, rule) &notAnOperation,
    DISPC_SKETCH_OPCODES(DISPC_SKETCH_MAKER_OP, DISPC_SKETCH_MAKER_NOOP)
#undef DISPC_SKETCH_MAKER_OP
#undef DISPC_SKETCH_MAKER_NOOP
};

constexpr Fits kFits[kSketchOpcodeCount] = {
#define DISPC_SKETCH_FITS_OP(n, Name, Class, rule, rule0) &isOp<Class>,
#define DISPC_SKETCH_FITS_NOOP(n, Name, rule) &fitsNothing,
    DISPC_SKETCH_OPCODES(DISPC_SKETCH_FITS_OP, DISPC_SKETCH_FITS_NOOP)
#undef DISPC_SKETCH_FITS_OP
#undef DISPC_SKETCH_FITS_NOOP
};

}  // namespace

cc_UISketchOpData* cfCreateUISketchOpData(long opcode) {
  if (opcode < 0 || opcode >= kSketchOpcodeCount) invalid();
  return kMakers[opcode]();
}

bool cfUISketchOpDataFits(long opcode, const cc_UISketchOpData& d) {
  return opcode >= 0 && opcode < kSketchOpcodeCount && kFits[opcode](d);
}

const std::type_info* cfUISketchOpDataType(long opcode) {
  return opcode >= 0 && opcode < kSketchOpcodeCount ? kTypes[opcode]() : nullptr;
}

// ---- The walk over the operation objects

cc_UISketchOpData& ccSketchOpTable::at(long opcode) {
  if (opcode < 0 || opcode >= kSketchOpcodeCount) invalid("not an operation");
  std::unique_ptr<cc_UISketchOpData>& slot = ops_[opcode];
  if (!slot) slot.reset(cfCreateUISketchOpData(opcode));
  return *slot;
}

void cfSketchOpFailed(const ccSketchOperation& op, const ccException& e) {
  throw ccUIError::InvalidUISketch(cfSketchOpContext(op) + ": " +
                                   (e.message().empty() ? std::string(e.what()) : e.message()));
}
