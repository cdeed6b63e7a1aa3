#include <core/mutex.h>

ccMutex& ccMutex::global() {
  static ccMutex* m = new ccMutex;  // never destroyed: usable during static destruction
  return *m;
}
