// What the decoder's and the encoder's tests share: hex bodies, the published vectors and
// single-record examples, and a decode that checks the fast paths against the general handlers.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "nbfx_decoder.h"
#include "nbfx_internal.h"
#include "temp_dir.h"

namespace nbfx_test {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

inline Bytes FromHex(std::string_view hex) {
  Bytes out;
  int high = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else continue;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<unsigned char>(high << 4 | v));
      high = -1;
    }
  }
  return out;
}

inline std::string Serialize(const pugi::xml_document& doc) {
  std::ostringstream out;
  doc.save(out, "",
           pugi::format_raw | pugi::format_no_declaration | pugi::format_no_empty_element_tags);
  return out.str();
}

// Every id N names "strN", as the single-record examples assume.
inline const char* GenericLookup(void* context, uint32_t id, std::string_view& out) {
  auto& strings = *static_cast<std::map<uint32_t, std::string>*>(context);
  out = strings.try_emplace(id, "str" + std::to_string(id)).first->second;
  return nullptr;
}

struct Outcome {
  bool ok;
  std::string error;
  std::string xml;
};

// Decodes with the fast paths and again through the general handlers alone, which must agree.
inline Outcome DecodeBytes(const unsigned char* data, size_t size, bool generic = false) {
  Outcome outcomes[2];
  for (const bool fastPaths : {true, false}) {
    pugi::xml_document doc;
    std::map<uint32_t, std::string> strings;
    const soapkit::nbfx::DecodeResult r = soapkit::nbfx::detail::DecodeWith(
        data, size, doc, generic ? GenericLookup : soapkit::nbfx::detail::StaticLookup, &strings, fastPaths);
    if (!r.ok) {
      EXPECT_FALSE(doc.first_child()) << "a failed decode must leave the document empty";
    }
    EXPECT_EQ(r.ok, r.error.empty());
    outcomes[fastPaths ? 0 : 1] = {r.ok, r.error, Serialize(doc)};
  }
  EXPECT_EQ(outcomes[0].ok, outcomes[1].ok) << "fast paths against the general handlers";
  EXPECT_EQ(outcomes[0].error, outcomes[1].error) << "fast paths against the general handlers";
  EXPECT_EQ(outcomes[0].xml, outcomes[1].xml) << "fast paths against the general handlers";
  return outcomes[0];
}

inline Outcome DecodeBytes(const Bytes& bytes, bool generic = false) {
  return DecodeBytes(bytes.data(), bytes.size(), generic);
}

inline Outcome DecodeHex(std::string_view hex) { return DecodeBytes(FromHex(hex)); }

// The published example bodies: NAME.bin.hex beside NAME.xml.
inline std::vector<std::string> VectorNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(NBFX_VECTORS_DIR)) {
    const std::string file = entry.path().filename().string();
    const std::string suffix = ".bin.hex";
    if (file.size() > suffix.size() && file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0) {
      names.push_back(file.substr(0, file.size() - suffix.size()));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

inline std::string TestName(std::string name) {
  for (char& c : name) if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

struct RecordExample {
  std::string record, type, hex, xml;
};

inline std::vector<RecordExample> RecordExamples() {
  std::vector<RecordExample> rows;
  std::istringstream in(testing_support::ReadFile(fs::path(NBFX_VECTORS_DIR) / "nbfx-record-examples.tsv"));
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> cols;
    std::istringstream fields(line);
    for (std::string col; std::getline(fields, col, '\t');) cols.push_back(col);
    if (cols.size() >= 4) rows.push_back({cols[0], cols[1], cols[2], cols[3]});
  }
  return rows;
}

}  // namespace nbfx_test
