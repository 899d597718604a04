// The "C" locale as an object, so that reading and writing numbers never depends
// on the locale a caller may have set: the decimal point is always '.'.
#pragma once

#include <locale.h>

namespace radcon {

// Created once, never freed.
locale_t cLocale();

// Makes the calling thread use the "C" locale while it lives.
class CLocaleScope {
 public:
  CLocaleScope() : previous_(uselocale(cLocale())) {}
  ~CLocaleScope() { uselocale(previous_); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t previous_;
};

}  // namespace radcon
