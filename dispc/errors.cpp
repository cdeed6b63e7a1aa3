#include <dispc/errors.h>

// Version 0: the ccException part.
void ccUIError::Errors::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  Errors::serialize_(ar, version);
  setVisited(ar);
}

void ccUIError::Errors::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion("ccUIError::Errors", 0);
  ccException::dispatchSerialize(ar);
}
