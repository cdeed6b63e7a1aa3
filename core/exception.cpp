#include <core/archive.h>
#include <core/exception.h>

#include <cstdio>

void ccException::suicideAndRethrow() {
  ccException copy(*this);
  delete this;
  throw copy;
}

const char* ccException::what() const noexcept {
  try {
    char number[16];
    std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(errorNumber()));
    what_ = cfClassName(typeid(*this)) + " (" + number + ")";
    if (!message_.empty()) what_ += ": " + message_;
    return what_.c_str();
  } catch (...) {
    return "ccException";
  }
}

// Version 0: the message.
void ccException::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccException::serialize_(ar, version);
  setVisited(ar);
}

void ccException::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion("ccException", 0);
  ar || message_;
}

// Version 0: the ccException part (which holds the message).
void ccExceptionWithString::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccExceptionWithString::serialize_(ar, version);
  setVisited(ar);
}

void ccExceptionWithString::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion("ccExceptionWithString", 0);
  ccException::dispatchSerialize(ar);
}

ccStatusError::ccStatusError(std::int32_t status) : status_(status) {
  message_ = "status " + std::to_string(status);
}

void ccStatusError::suicideAndRethrow() {
  ccStatusError copy(*this);
  delete this;
  throw copy;
}

void ccStatusError::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccStatusError::serialize_(ar, version);
  setVisited(ar);
}

void ccStatusError::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion("ccStatusError", 0);
  ccException::dispatchSerialize(ar);
  ar || status_;
}

void cfThrowExceptionOnFailure(std::int32_t status) {
  if (status != 0) throw ccStatusError(status);
}
