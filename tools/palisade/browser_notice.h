// What the browser class says to the person running `palisade find-wsdl`.
#pragma once

#include "win32/com.h"

#include <functional>
#include <string>

namespace cli {

// The description of the thread's error information, taking it; empty when there is none.
std::string TakeErrorDescription();

// For as long as it lives, the browser class is reached through a class that hands each creation on
// and passes what a successful one left as error information (the browser runs without its sandbox,
// and why) to `tell`.
class BrowserStartNotice {
 public:
  explicit BrowserStartNotice(std::function<void(const std::string&)> tell);
  ~BrowserStartNotice();
  BrowserStartNotice(const BrowserStartNotice&) = delete;
  BrowserStartNotice& operator=(const BrowserStartNotice&) = delete;

 private:
  DWORD cookie_ = 0;
};

}  // namespace cli
