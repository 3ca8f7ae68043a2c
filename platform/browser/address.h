// What an address typed by a person means to the browser.
#pragma once

#include <string>

namespace browser {

// An address with a scheme ("http:", "file:", "about:") is taken as it is. Otherwise a path that
// names an existing file or folder (relative ones from the current folder) becomes a file: URL, and
// anything else is taken for a host and path on the web ("example.com/Service.asmx" ->
// "http://example.com/Service.asmx"). UTF-8 in and out.
std::string CompleteAddress(const std::string& address);

}  // namespace browser
