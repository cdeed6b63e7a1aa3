#include <dispc/sketchformat.h>

#include <vector>

namespace {

[[noreturn]] void invalid(const char* what = "malformed payload") {
  throw ccUIError::InvalidUISketch(what);
}

std::string bytes(std::size_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

// A 32-bit count at offset `at` of the payload: present and not negative.
std::uint64_t countAt(const unsigned char* p, std::size_t available, std::size_t at) {
  if (available < at + 4) invalid("the payload runs past the end");
  const std::int32_t n = cfSketchLoadI32(p + at);
  if (n < 0) invalid("negative count");
  return static_cast<std::uint64_t>(n);
}

// The kind byte at offset 0 of the rectangle and fill payloads (non-zero: pixel form).
bool pixelKind(const unsigned char* p, std::size_t available) {
  if (available < 1) invalid("the payload runs past the end");
  return p[0] != 0;
}

// Point, second colour and text format come before the characters of the string payloads.
constexpr std::size_t kStringHead =
    kSketchPointFieldSize + kSketchColorFieldSize + kSketchFormatFieldSize;
static_assert(kStringHead == 30, "string payloads start with 30 bytes of fields");

// 8-bit image: point, bool, byte, transform, offset pair, width, height, bool.
constexpr std::size_t kPelBuf8Width = kSketchPointFieldSize + 2 + kSketchXformImageSize + 8;
constexpr std::size_t kPelBuf8Head = kPelBuf8Width + 4 + 4 + 1;
static_assert(kPelBuf8Head == 91, "8-bit image payloads start with 91 bytes of fields");

// Run-length image: point, bool, byte, bool, then the colour-map length.
constexpr std::size_t kRleMapLength = kSketchPointFieldSize + 3;

// General polygon: leading block, flag long, then the vertex count; per vertex 64 + 16 + 16 + 8.
constexpr std::size_t kGenPolyCount = kSketchGenPolyBlockSize + 4;
constexpr std::size_t kGenPolyPerVertex = 64 + 2 * kSketchPointFieldSize + 8;
static_assert(kGenPolyCount + 4 + 4 == 68 && kGenPolyPerVertex == 104, "68 + 104n");

std::uint64_t payloadSize(const ccSketchSizeRule& rule, const ccSketchSizeRule& current,
                          const unsigned char* payload, std::size_t available) {
  std::uint64_t n = 0;
  switch (rule.kind) {
    case ccSketchSizeRule::eFixed:
      n = rule.bytes;
      break;
    case ccSketchSizeRule::eComputed:
      n = rule.fn(payload, available);
      break;
    case ccSketchSizeRule::eSame:
      return payloadSize(current, current, payload, available);
    case ccSketchSizeRule::eInvalid:
    case ccSketchSizeRule::ePrefix:
      invalid("not an operation");
  }
  if (n > available) invalid("the payload runs past the end");
  return n;
}

}  // namespace

namespace ccSketchSize {

std::uint64_t string(const unsigned char* p, std::size_t available) {
  if (available <= kStringHead) invalid("the payload runs past the end");
  const void* end = std::memchr(p + kStringHead, 0, available - kStringHead);
  if (!end) invalid("text without terminator");
  return static_cast<const unsigned char*>(end) - p + 1;
}

std::uint64_t unicodeString(const unsigned char* p, std::size_t available) {
  for (std::size_t at = kStringHead; at + 2 <= available; at += 2)
    if (p[at] == 0 && p[at + 1] == 0) return at + 2;
  invalid("text without terminator");
}

std::uint64_t pelBuf8(const unsigned char* p, std::size_t available) {
  const std::uint64_t w = countAt(p, available, kPelBuf8Width);
  const std::uint64_t h = countAt(p, available, kPelBuf8Width + 4);
  return kPelBuf8Head + w * h;  // at most 91 + 2^62: no overflow
}

std::uint64_t rleBuf(const unsigned char* p, std::size_t available) {
  const std::uint64_t m = countAt(p, available, kRleMapLength);
  std::uint64_t at = kRleMapLength + 4 + m;  // past the colour map
  if (at > available) invalid("the payload runs past the end");
  at += 4;  // width
  const std::uint64_t rows = countAt(p, available, static_cast<std::size_t>(at));
  at += 4;
  // Each row is 2-byte entries up to and including the first whose second byte is 0.
  if (rows > (available - at) / 2) invalid("the payload runs past the end");
  for (std::uint64_t r = 0; r < rows; ++r) {
    for (;;) {
      if (at + 2 > available) invalid("the payload runs past the end");
      at += 2;
      if (p[at - 1] == 0) break;
    }
  }
  return at;
}

std::uint64_t sketch(const unsigned char* p, std::size_t available) {
  return kSketchPointFieldSize + 4 + countAt(p, available, kSketchPointFieldSize);
}

std::uint64_t setRect(const unsigned char* p, std::size_t available) {
  return 1 + (pixelKind(p, available) ? kSketchUIRectFieldSize : kSketchRectImageSize);
}

std::uint64_t fill(const unsigned char* p, std::size_t available) {
  return 1 + (pixelKind(p, available) ? 8 : kSketchPointFieldSize) + kSketchColorFieldSize + 4;
}

std::uint64_t outline3d(const unsigned char* p, std::size_t available) {
  return setRect(p, available) + 2 * kSketchColorFieldSize + 4;
}

std::uint64_t polygon(const unsigned char* p, std::size_t available) {
  return 8 + kSketchPointFieldSize * countAt(p, available, 4);
}

std::uint64_t genShape(const unsigned char* p, std::size_t available) {
  const std::size_t head = kSketchColorFieldSize + kSketchGenShapeTagSize;
  return head + 4 + countAt(p, available, head);
}

std::uint64_t genPoly(const unsigned char* p, std::size_t available) {
  return kGenPolyCount + 4 + 4 + kGenPolyPerVertex * countAt(p, available, kGenPolyCount);
}

std::uint64_t cubicSpline(const unsigned char* p, std::size_t available) {
  return 4 + kSketchBezierSize * countAt(p, available, 0);
}

std::uint64_t polyline(const unsigned char* p, std::size_t available) {
  return 4 + kSketchPointFieldSize * countAt(p, available, 0) + 1;
}

std::uint64_t setRectV0(const unsigned char* p, std::size_t available) {
  return 1 + (pixelKind(p, available) ? kSketchUIRectFieldSize : 4 * 8);
}

std::uint64_t outline3dV0(const unsigned char* p, std::size_t available) {
  return setRectV0(p, available) + kSketchColorFieldSize + 4;
}

std::uint64_t genShapeV0(const unsigned char* p, std::size_t available) {
  return kSketchGenShapeTagSize + 4 + countAt(p, available, kSketchGenShapeTagSize);
}

}  // namespace ccSketchSize

std::size_t cfSketchPayloadSize(long op, const unsigned char* payload, std::size_t available) {
  const ccSketchOpInfo* info = cfSketchOpInfo(op);
  if (!info) invalid("not an operation");
  return static_cast<std::size_t>(payloadSize(info->rule, info->rule, payload, available));
}

std::size_t cfSketchPayloadSizeV0(long op, const unsigned char* payload, std::size_t available) {
  const ccSketchOpInfo* info = cfSketchOpInfo(op);
  if (!info) invalid("not an operation");
  return static_cast<std::size_t>(payloadSize(info->rule0, info->rule, payload, available));
}

ccUIRect ccSketchReader::readUIRect() {
  const unsigned char* p = bytes(kSketchUIRectFieldSize);
  return ccUIRect(cfSketchLoadI32(p), cfSketchLoadI32(p + 4), cfSketchLoadI32(p + 8),
                  cfSketchLoadI32(p + 12));
}

ccUIFormat ccSketchReader::readFormat() {
  require(kSketchFormatFieldSize);
  const unsigned char* p = current();
  const std::int32_t alignment = cfSketchLoadI32(p + 4);
  if (alignment < ccUIFormat::eTopLeft || alignment > ccUIFormat::eBottomRight)
    invalid("text alignment out of range");
  pos_ += kSketchFormatFieldSize;
  return ccUIFormat(cfSketchLoadI32(p), static_cast<ccUIFormat::Alignment>(alignment));
}

void ccSketchReader::readProps(ccGraphicProps& props) {
  require(kSketchPropsRecordSize);
  const unsigned char* p = current();
  if (p[0] != 0) invalid("props version not 0");
  props.readSketchForm(p + 1);  // throws before changing anything
  pos_ += kSketchPropsRecordSize;
}

const char* ccSketchReader::readCString(std::size_t& length) {
  const unsigned char* p = current();
  const void* end = atEnd() ? nullptr : std::memchr(p, 0, remaining());
  if (!end) invalid("text without terminator");
  length = static_cast<std::size_t>(static_cast<const unsigned char*>(end) - p);
  pos_ += length + 1;
  return reinterpret_cast<const char*>(p);
}

const unsigned char* ccSketchReader::readU16String(std::size_t& units) {
  const unsigned char* p = current();
  const std::size_t left = remaining();
  for (std::size_t at = 0; at + 2 <= left; at += 2) {
    if (p[at] == 0 && p[at + 1] == 0) {
      units = at / 2;
      pos_ += at + 2;
      return p;
    }
  }
  invalid("text without terminator");
}

std::size_t cfSketchReadRecord(const unsigned char* data, std::size_t size, std::size_t offset,
                               ccSketchOperation& op) {
  const unsigned char* p = data + offset;
  const std::size_t available = size - offset;
  auto bad = [offset](const std::string& what) {
    throw ccUIError::InvalidUISketch("operation at byte " + std::to_string(offset) + ": " + what);
  };
  auto need = [&](std::size_t n) {
    if (n > available)
      bad("the operation runs past the end of the stream (" + bytes(available) + " left)");
  };
  std::size_t at = 0;
  need(1);
  const unsigned char* props = nullptr;
  auto code = static_cast<signed char>(p[0]);
  if (code == kSketchPropsOpcode) {
    need(2);
    props = p + 1;
    if (props[0] != 0) bad("props version " + std::to_string(props[0]) + ", not 0");
    need(1 + kSketchPropsRecordSize + 1);
    at = 1 + kSketchPropsRecordSize;
    code = static_cast<signed char>(p[at]);
    if (code == kSketchPropsOpcode) bad("two props prefixes in a row");
  }
  if (!cfSketchOpIsValid(code)) bad("opcode " + std::to_string(code) + " is not an operation");
  need(at + kSketchOpRecordSize);
  const auto layer = static_cast<signed char>(p[at + 1]);
  op.offset = offset;
  op.props = props;
  op.opcode = code;
  op.layer = layer;
  op.color = p + at + 2;
  op.payload = p + at + kSketchOpRecordSize;
  return at + kSketchOpRecordSize;
}

bool ccSketchWalker::next(ccSketchOperation& op) {
  if (pos_ == size_) return false;
  ccSketchOperation split;
  const std::size_t head = cfSketchReadRecord(data_, size_, pos_, split);
  const std::size_t available = size_ - pos_ - head;
  const ccSketchSizeRule& rule = kSketchOpTable[split.opcode].rule;
  if (form_ == ccSketchForm::eCurrent && rule.kind == ccSketchSizeRule::eFixed &&
      rule.bytes <= available) {
    split.payloadSize = rule.bytes;  // the common case, without the general rule's call
  } else {
    try {
      split.payloadSize = form_ == ccSketchForm::eCurrent
                              ? cfSketchPayloadSize(split.opcode, split.payload, available)
                              : cfSketchPayloadSizeV0(split.opcode, split.payload, available);
    } catch (const ccUIError::InvalidUISketch& e) {
      throw ccUIError::InvalidUISketch(cfSketchOpContext(split) + ": " + e.message());
    }
  }
  split.size = head + split.payloadSize;
  op = split;
  pos_ += split.size;
  return true;
}

std::string cfSketchOpContext(const ccSketchOperation& op) {
  const ccSketchOpInfo* info = cfSketchOpInfo(op.opcode);
  return "opcode " + std::to_string(op.opcode) + " (" + (info ? info->name : "?") + ") at byte " +
         std::to_string(op.offset);
}

std::size_t cfSketchCountOperations(const unsigned char* data, std::size_t size,
                                    ccSketchForm form) {
  ccSketchWalker w(data, size, form);
  ccSketchOperation op;
  std::size_t n = 0;
  while (w.next(op)) ++n;
  return n;
}

void cfSketchValidate(const unsigned char* data, std::size_t size) {
  struct Range {
    const unsigned char* data;
    std::size_t size;
  };
  std::vector<Range> pending{{data, size}};
  while (!pending.empty()) {
    const Range range = pending.back();
    pending.pop_back();
    ccSketchWalker w(range.data, range.size);
    ccSketchOperation op;
    while (w.next(op)) {
      if (op.opcode == static_cast<signed char>(ccSketchOp::eSketch))
        pending.push_back(
            {op.payload + kSketchPointFieldSize + 4, op.payloadSize - kSketchPointFieldSize - 4});
    }
  }
}
