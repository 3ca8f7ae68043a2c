// A Burp XML export: <items><item><url/>...<request base64="true">the raw request</request></item>.
#include "capture/session_reader.h"

#include "base64.h"
#include "hostrt32/os_files.h"
#include "request_entry.h"

#include <pugixml.hpp>

#include <cstring>
#include <new>

namespace capture {
namespace {

// The whole file is parsed, so it must fit in memory twice over.
constexpr std::uint64_t kMaxExportBytes = std::uint64_t(1) << 30;

// pugixml's defaults, as the SOAP reader has them: the DOCTYPE that exports carry is skipped,
// never interpreted, so no entity it declares is expanded and nothing outside the file is read.
constexpr unsigned kParseOptions = pugi::parse_default;

// The text of an element, its text and CDATA children joined: an export writes a "]]>" inside
// the request as two CDATA sections.
std::string TextOf(pugi::xml_node node) {
  std::string text;
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
  }
  return text;
}

}  // namespace

bool ReadBurp(const std::string& path, const EntrySink& sink, std::string& error) {
  hostrt::PathInfo info;
  if (const hostrt::FileError examined = hostrt::Examine(path, info)) {
    error = examined.text;
    return false;
  }
  if (info.size > kMaxExportBytes) {
    error = "'" + path + "' is larger than " + std::to_string(kMaxExportBytes >> 20) + " MiB";
    return false;
  }
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_file(path.c_str(), kParseOptions);
  if (parsed.status == pugi::status_out_of_memory) throw std::bad_alloc();
  if (!parsed) {
    error = "malformed XML in '" + path + "' at byte " + std::to_string(parsed.offset) + ": " + parsed.description();
    return false;
  }
  const pugi::xml_node items = document.document_element();
  if (std::strcmp(items.name(), "items") != 0) {
    error = "'" + path + "' is XML but not a Burp export (its root is <" + std::string(items.name()) + ">)";
    return false;
  }
  std::size_t index = 0;
  for (pugi::xml_node item = items.child("item"); item; item = item.next_sibling("item"), ++index) {
    const std::string id = std::to_string(index);
    const std::string url = item.child_value("url");
    const pugi::xml_node request = item.child("request");
    const bool base64 = request.attribute("base64").as_bool();
    std::string text = TextOf(request);
    if (text.size() > (base64 ? kMaxEntryBytes / 3 * 4 + 4 : kMaxEntryBytes)) {
      sink(SkippedEntry(id, url, "the request is larger than " + std::to_string(kMaxEntryBytes >> 20) + " MiB"));
      continue;
    }
    std::string bytes;
    if (!base64) {
      bytes = std::move(text);
    } else if (!DecodeBase64(text, bytes)) {
      sink(SkippedEntry(id, url, "the request is not valid base64"));
      continue;
    }
    sink(EntryFromRequest(id, bytes, url));
  }
  return true;
}

}  // namespace capture
