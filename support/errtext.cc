#include "support/errtext.h"

#include <cstdio>
#include <cstring>

const char* errno_text(int number) {
  static char fallback[43];
  const char* text = strerror(number);
  if (text) return text;
  snprintf(fallback, sizeof fallback, "undocumented error #%d", number);
  return fallback;
}
