// The archive form of a sketch, written and read straight between the stream bytes and the
// archive.
//
// A sketch archives as version 1: a version byte, the number of operations (long), then per
// operation its header object and its payload object, each as a new persistent object (see
// sketchop.h). The operation objects archive the same bytes one by one; here no object is made
// per operation: storing walks the stream and writes each header from its record and each
// payload through the operation object of its opcode (one per opcode, reused); loading reads
// each header into the stream's record and each payload through the same objects into the
// sketch's buffer. A test keeps both paths byte-identical for every opcode.
//
// Version 0 (read only) is the raw stream with older payload forms, converted on loading.
#include <dispc/sketchop.h>
#include <dispc/uisketch.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <string>

namespace {

constexpr const char* kSource = "dispc/uisketch";
constexpr const char* kOpSource = "dispc/sketchop";
constexpr std::uint32_t kNoTag = std::numeric_limits<std::uint32_t>::max();

// The fewest bytes an operation takes in an archive: the header (object tag, version, hasProps,
// layer, colour of 7 bytes, opcode) and the payload (object tag, version).
constexpr std::size_t kMinArchivedOperation = 12 + 2;

std::string byteOffset(std::size_t at) { return "byte " + std::to_string(at); }

// Payloads that are a few doubles in both forms: in the archive, after the object's version
// byte and the version bytes of its value, the same bytes as in the stream. These (points,
// segments, circles) go straight through; the others through their operation objects.
struct PlainPayload {
  unsigned char valueVersions;  // 0: not such a payload
  unsigned char doubles;
  bool radius;  // the last double is a radius
};
constexpr PlainPayload plainPayload(long opcode) {
  switch (opcode) {
    case 0:   // point: ccPoint (version, x, y)
    case 1:   // point icon
    case 20:  // drawStart
    case 21:  // drawTo
      return {1, 2, false};
    case 2:  // line segment: ccLineSeg (version, shape version, p1, p2)
      return {2, 4, false};
    case 4:   // circle: ccCircle (version, shape version, centre, radius)
    case 29:  // filled circle
      return {2, 3, true};
    default:
      return {0, 0, false};
  }
}

// Throws what the shape's constructor throws for values it rejects.
void checkPlainValues(const unsigned char* p, const PlainPayload& k) {
  for (int i = 0; i < k.doubles; ++i)
    if (!std::isfinite(cfSketchLoadDouble(p + 8 * i)))
      throw ccShapesError::BadGeom(k.radius && i + 1 == k.doubles ? "non-finite value"
                                                                  : "non-finite coordinate");
  if (k.radius && cfSketchLoadDouble(p + 8 * (k.doubles - 1)) < 0)
    throw ccShapesError::BadRadius("negative radius");
}

// What e says, for a message.
std::string what(const std::exception& e) {
  if (const auto* x = dynamic_cast<const ccException*>(&e))
    if (!x->message().empty()) return x->message();
  return e.what();
}

}  // namespace

struct cc_SketchArchive {
  // ---- Storing

  static void store(ccArchive& ar, const ccUISketch& s) {
    const unsigned char* data = s.data();
    const auto size = static_cast<std::size_t>(s.length());
    try {
      // Everything that can be found wrong without decoding values is found before anything is
      // written: the walk counts the operations and checks each record and size.
      long n = 0;
      ccSketchWalker count(data, size);
      ccSketchOperation op;
      cc_UISketchOpHeader props;
      while (count.next(op)) {
        if (!cfUISketchOpDataType(op.opcode) || op.opcode == static_cast<long>(ccSketchOp::eSketch))
          throw ccUIError::NotImplemented(cfSketchOpContext(op) +
                                          ": the operation has no archive form");
        if (op.props && cfSketchLoadI32(op.props + 2) < 0) {  // a negative pen width
          try {
            props.take(op);
          } catch (const ccUIError::InvalidUISketch& e) {
            cfSketchOpFailed(op, e);
          }
        }
        ++n;
      }
      signed char version = 1;
      ar || version || n;
      std::uint32_t headerTag = kNoTag;
      std::uint32_t payloadTags[kSketchOpcodeCount];
      std::fill(payloadTags, payloadTags + kSketchOpcodeCount, kNoTag);
      ccSketchOpTable ops;
      ccSketchWalker walker(data, size);
      while (walker.next(op)) {
        storeHeader(ar, op, headerTag);
        std::uint32_t& tag = payloadTags[op.opcode];
        const PlainPayload plain = plainPayload(op.opcode);
        if (plain.doubles && storePlain(ar, op, plain, tag)) continue;
        cc_UISketchOpData& d = ops.at(op.opcode);
        try {
          d.parseByteStream(op.payload, op.payloadSize);
        } catch (const ccUIError::InvalidUISketch& e) {
          cfSketchOpFailed(op, e);
        }
        if (tag == kNoTag)
          tag = ar.beginObject(typeid(d));
        else
          ar.beginObject(tag);
        unsigned char objectVersion = 0;
        ar || objectVersion;
        const ccArchive::VisitScope scope(ar);  // d is archived again for the next operation
        d.serialize_(ar, objectVersion);
      }
    } catch (...) {
      ar.storingFailed();
      throw;
    }
  }

  // A payload of a few doubles, written from its bytes; false (nothing written) when a value
  // is rejected, for the operation object to say which.
  static bool storePlain(ccArchive& ar, const ccSketchOperation& op, const PlainPayload& k,
                         std::uint32_t& tag) {
    try {
      checkPlainValues(op.payload, k);
    } catch (const ccException&) {
      return false;
    }
    if (tag == kNoTag)
      tag = ar.beginObject(*cfUISketchOpDataType(op.opcode));
    else
      ar.beginObject(tag);
    const unsigned char versions[3] = {0, 0, 0};  // the object's, then its value's
    ar.writeBytes(versions, 1u + k.valueVersions);
    ar.writeBytes(op.payload, 8u * k.doubles);
    return true;
  }

  // The header's archive form (cc_UISketchOpHeader::serialize_) from the record's bytes.
  static void storeHeader(ccArchive& ar, const ccSketchOperation& op, std::uint32_t& tag) {
    if (tag == kNoTag)
      tag = ar.beginObject(typeid(cc_UISketchOpHeader));
    else
      ar.beginObject(tag);
    // At most: version, hasProps, props version, props (version, colour, width, 4 + 1 + 8 + 3),
    // layer, colour, opcode.
    unsigned char* p = ar.space(3 + 1 + 7 + 10 + 16 + 10 + 7 + 10);
    *p++ = 0;  // version
    *p++ = op.props ? 1 : 0;
    // ccColor: version, kind, index, then ccRGB: version, r, g, b.
    const unsigned char* c = op.color;
    const unsigned char color[7] = {0, c[0], c[1], 0, c[2], c[3], c[4]};
    if (op.props) {
      // The props version, then ccGraphicProps::serialize_ from the props record (version,
      // fill, width, style, join, cap, arrowHead, arrowHeadForward, showVertex): version, the
      // pen colour (the record's), width (long), style (int), fill, join, cap (ints), the flags.
      const unsigned char* r = op.props;
      *p++ = 0;
      *p++ = 0;
      std::memcpy(p, color, sizeof color);
      p = ccArchive::encodeLong(p + sizeof color, cfSketchLoadI32(r + 2));  // checked: not < 0
      std::memcpy(p, r + 6, 4);
      p[4] = r[1] != 0;
      std::memcpy(p + 5, r + 10, 8);
      for (int i = 0; i < 3; ++i) p[13 + i] = r[18 + i] != 0;
      p += 16;
    }
    p = ccArchive::encodeLong(p, op.layer);
    std::memcpy(p, color, sizeof color);
    p = ccArchive::encodeLong(p + sizeof color, op.opcode);
    ar.commitSpace(p);
  }

  // ---- Loading

  // Appends the operations of an archive of version 1 to out.
  static void loadVersion1(ccArchive& ar, ccUISketch& out) {
    long n = 0;
    ar || n;
    if (n < 0)
      throw ccArchive::BadData("negative sketch operation count at " + byteOffset(ar.position()));
    ar.checkCount(static_cast<std::uint64_t>(n), kMinArchivedOperation);
    // Room for the stream; what is not used is never touched (and given back at the end).
    const std::size_t reserve = std::min<std::size_t>(
        ar.remaining(), static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()));
    out.growTo(static_cast<std::int64_t>(reserve));
    ccSketchOpTable ops;
    Classes classes;
    for (long i = 0; i < n; ++i) {
      const std::size_t at = ar.position();
      long opcode = -1;
      try {
        opcode = loadHeader(ar, out, classes);
        loadPayload(ar, out, opcode, ops, classes);
      } catch (const ccArchive::UnknownVersion&) {
        throw;
      } catch (const ccUIError::NotImplemented&) {
        throw;
      } catch (const ccArchive::Errors& e) {
        rethrowInContext(e, i, opcode, at);
      } catch (const ccException& e) {
        throw ccArchive::BadData(context(i, opcode, at) + ": " + what(e));
      }
    }
    if (out.capacity() - out.length() > (1 << 20)) out.shrinkToFit();
  }

  // Which class each class tag of the archive is, as far as sketches care.
  struct Classes {
    enum Kind : signed char { eUnknown = -3, eHeader = -2, eOther = -1 };
    std::vector<signed char> kind;  // by tag: eHeader, eOther, or the first opcode of its class

    bool isHeader(const ccArchive& ar, std::uint32_t tag) { return of(ar, tag) == eHeader; }
    bool fits(const ccArchive& ar, std::uint32_t tag, long opcode) {
      const signed char k = of(ar, tag);
      return k >= 0 && cfUISketchOpDataType(k) == cfUISketchOpDataType(opcode);
    }
    signed char of(const ccArchive& ar, std::uint32_t tag) {
      if (tag >= kind.size()) kind.resize(tag + 1, eUnknown);
      signed char& k = kind[tag];
      if (k == eUnknown) {
        const std::type_info* type = ar.classType(tag);
        k = eOther;
        if (type && *type == typeid(cc_UISketchOpHeader)) k = eHeader;
        for (int op = 0; type && k == eOther && op < kSketchOpcodeCount; ++op)
          if (cfUISketchOpDataType(op) && *cfUISketchOpDataType(op) == *type)
            k = static_cast<signed char>(op);
      }
      return k;
    }
  };

  // Reads a header object (cc_UISketchOpHeader::serialize_) and appends its props prefix and
  // opcode record to out; returns the opcode.
  static long loadHeader(ccArchive& ar, ccUISketch& out, Classes& classes) {
    const std::uint32_t tag = ar.beginLoadedObject();
    if (!classes.isHeader(ar, tag))
      throw ccArchive::BadData("object of class " + ar.className(tag) +
                               " where a sketch operation header belongs");
    unsigned char version = 0;
    ar || version;
    if (version != 0) throw ccArchive::UnknownVersion(kOpSource, __LINE__);
    bool hasProps = false;
    ar || hasProps;
    signed char propsVersion = 0;
    ccGraphicProps props;
    if (hasProps) {
      ar || propsVersion;
      const ccArchive::VisitScope scope(ar);
      props.dispatchSerialize(ar);
    }
    const std::int64_t layer = ar.getLong();
    ccColor color;
    ar || color;
    const std::int64_t opcode = ar.getLong();
    if (hasProps && propsVersion != 0) throw ccArchive::BadData("sketch props version");
    if (layer < std::numeric_limits<signed char>::min() ||
        layer > std::numeric_limits<signed char>::max())
      throw ccArchive::BadData("sketch operation layer " + std::to_string(layer) + " out of range");
    if (!cfSketchOpIsValid(opcode))
      throw ccArchive::BadData("invalid sketch opcode " + std::to_string(opcode));
    if (hasProps) {
      props.penColor(color);
      out.opcode(kSketchPropsOpcode, props);
    }
    out.opcode(static_cast<signed char>(opcode), static_cast<signed char>(layer), color);
    return opcode;
  }

  // Reads the payload object of the opcode into d and appends its payload to out; a payload
  // that a replay would reject does not get in.
  static void loadPayload(ccArchive& ar, ccUISketch& out, long opcode, ccSketchOpTable& ops,
                          Classes& classes) {
    const std::uint32_t tag = ar.beginLoadedObject();
    if (!classes.fits(ar, tag, opcode))
      throw ccArchive::BadData("object of class " + ar.className(tag) + " does not fit the opcode");
    const PlainPayload plain = plainPayload(opcode);
    if (plain.doubles && ar.format() == ccArchive::kCurrentFormat) {
      const unsigned char* p = ar.readInPlace(1u + plain.valueVersions + 8u * plain.doubles);
      for (int i = 0; i <= plain.valueVersions; ++i)
        if (p[i] != 0) throw ccArchive::UnknownVersion(kOpSource, __LINE__);
      p += 1 + plain.valueVersions;
      checkPlainValues(p, plain);
      std::memcpy(out.append(8l * plain.doubles), p, 8u * plain.doubles);
      return;
    }
    cc_UISketchOpData& d = ops.at(opcode);
    unsigned char version = 0;
    ar || version;
    {
      const ccArchive::VisitScope scope(ar);
      d.serialize_(ar, version);
    }
    const long start = out.length();
    d.populateSketch(out);
    const long n = out.length() - start;
    if (d.parseByteStream(out.data() + start, static_cast<std::size_t>(n)) != n)
      throw ccUIError::InvalidUISketch("the payload does not parse back to its size");
  }

  static std::string context(long index, long opcode, std::size_t at) {
    const ccSketchOpInfo* info = cfSketchOpInfo(opcode);
    std::string s = "sketch operation " + std::to_string(index);
    if (info && cfSketchOpIsValid(opcode)) s += std::string(" (") + info->name + ")";
    return s + " at " + byteOffset(at);
  }

  [[noreturn]] static void rethrowInContext(const ccArchive::Errors& e, long index, long opcode,
                                            std::size_t at) {
    const std::string m = context(index, opcode, at) + ": " + what(e);
    if (dynamic_cast<const ccArchive::EndOfData*>(&e)) throw ccArchive::EndOfData(m);
    if (dynamic_cast<const ccArchive::UnknownClass*>(&e)) throw ccArchive::UnknownClass(m);
    throw ccArchive::BadData(m);
  }

  static void load(ccArchive& ar, ccUISketch& s) {
    signed char version = 0;
    ar || version;
    // The operations are rebuilt on the side, starting from this sketch's current props (the
    // props prefixes are written where they change), and taken over only when all went well.
    ccUISketch loaded;
    loaded.props_ = s.props_;
    if (version == 1) {
      loadVersion1(ar, loaded);
    } else if (version == 0) {
      // The raw stream, whose older payload forms are converted operation by operation.
      long c = 0;
      ar || c;
      if (c < 0)
        throw ccArchive::BadData("negative sketch byte count at " + byteOffset(ar.position()));
      ar.checkCount(static_cast<std::uint64_t>(c), 1);
      const unsigned char* raw = ar.readInPlace(static_cast<std::size_t>(c));
      cfSketchConvertVersion0(raw, static_cast<std::size_t>(c), loaded);
    } else {
      throw ccArchive::UnknownVersion(kSource, __LINE__);
    }
    const ccGraphicProps props = loaded.props_;
    if (s.isNull() && s.capacity() <= loaded.capacity()) {
      s = std::move(loaded);
    } else {
      s.append(loaded.data(), loaded.length());
    }
    s.props_ = props;
  }
};

ccArchive& operator||(ccArchive& ar, ccUISketch& s) {
  if (ar.isStoring())
    cc_SketchArchive::store(ar, s);
  else
    cc_SketchArchive::load(ar, s);
  return ar;
}
