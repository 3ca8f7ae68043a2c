// Feeds arbitrary bytes to the persist lists' file form. A file whose list is written back into it
// (as a save that keeps the file does) reads back as the same items, in the same order, and every
// section that is not the list's still means what it meant.
#include "list_file.h"

#include "config/ini_document.h"
#include "ini_meaning.h"
#include "key_fold.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using vaultline::ItemRead;

// The items a list loads: the first of each key.
std::vector<ItemRead> Loaded(const ini::Document& document) {
  std::vector<ItemRead> items;
  std::set<std::string> seen;
  for (ItemRead& item : vaultline::ReadListSections(document)) {
    if (seen.insert(item.foldedKey).second) items.push_back(std::move(item));
  }
  return items;
}

bool SameItems(const std::vector<ItemRead>& a, const std::vector<ItemRead>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].key != b[i].key) return false;
    for (const vaultline::ItemField& field : vaultline::kItemFields) {
      if (field.text && a[i].values.*field.text != b[i].values.*field.text) return false;
      if (field.flag && a[i].values.*field.flag != b[i].values.*field.flag) return false;
      if (field.number && a[i].values.*field.number != b[i].values.*field.number) return false;
    }
  }
  return true;
}

bool IsItemSection(const ini::Section& section) {
  const std::string_view prefix = vaultline::kItemSectionPrefix;
  return !section.header.empty() && ini::SameName(std::string_view(section.name).substr(0, prefix.size()), prefix);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ini::Document original = ini::Document::Parse(text);
  const std::vector<ItemRead> items = Loaded(original);

  ini::Document saved = ini::Document::Parse(text);
  std::vector<vaultline::ItemToWrite> toWrite;
  for (const ItemRead& item : items) toWrite.push_back({&item.key, &item.values});
  vaultline::WriteListSections(saved, saved.lineEnd(), toWrite);
  const ini::Document reread = ini::Document::Parse(saved.Serialize());

  if (!SameItems(items, Loaded(reread))) std::abort();
  if (Meaning(original, IsItemSection) != Meaning(reread, IsItemSection)) std::abort();
  return 0;
}
