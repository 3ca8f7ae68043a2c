// Local pages for a browser that runs as another account than this process.
#pragma once

#include <string>

namespace browser {

// The local file a file: URL names ("file:///srv/a%20b.html" -> "/srv/a b.html"); empty for any
// other address, one with a host, or one whose escapes do not decode.
std::string LocalPathOf(const std::string& url);

// A copy of the local page `url` names, for a browser whose account may not read it: read by this
// process (which may read where that account may not) and written into `folder`,
// which this process owns and the account may only pass through. An HTML page without a base
// address of its own gets one naming where it really is, so that its links resolve as they would
// there. The copy's file: URL, or empty when `url` names no readable local file of at most 64 MiB:
// the browser is then sent to the page itself and sees what its account may see.
std::string CopyLocalPage(const std::string& url, const std::string& folder);

}  // namespace browser
