#include "list_file.h"

#include "key_fold.h"
#include "text_escape.h"

#include <array>
#include <charconv>
#include <iterator>
#include <limits>

namespace vaultline {
namespace {

constexpr std::size_t kPrefixLength = sizeof(kItemSectionPrefix) - 1;
constexpr std::size_t kFieldCount = std::size(kItemFields);

bool IsListSection(const ini::Section& section) {
  return !section.header.empty() && section.name.size() >= kPrefixLength &&
         ini::SameName(std::string_view(section.name).substr(0, kPrefixLength), kItemSectionPrefix);
}

std::string FieldText(const ItemField& field, const ItemValues& values) {
  if (field.text) return EscapeValue(values.*field.text);
  if (field.flag) return std::to_string(values.*field.flag);
  return std::to_string(values.*field.number);
}

ini::Section MakeItemSection(const ItemToWrite& item) {
  ini::Section section;
  section.name = kItemSectionPrefix + EscapeSectionText(*item.key);
  section.header = "[" + section.name + "]";
  section.lines.reserve(kFieldCount + 1);
  for (const ItemField& field : kItemFields) {
    section.lines.push_back(ini::Document::MakeEntry(field.name, FieldText(field, *item.values)));
  }
  ini::Line separator;
  separator.kind = ini::Line::Kind::Blank;
  section.lines.push_back(std::move(separator));
  return section;
}

// Moves the comments that close `dropped` (with the blank lines among and after them) to the end
// of `into`, so they stay in front of the section that follows.
void KeepClosingComments(ini::Section& dropped, ini::Section& into) {
  auto& lines = dropped.lines;
  std::size_t start = lines.size();
  while (start > 0 && (lines[start - 1].kind == ini::Line::Kind::Blank ||
                       lines[start - 1].kind == ini::Line::Kind::Comment)) {
    --start;
  }
  while (start < lines.size() && lines[start].kind == ini::Line::Kind::Blank) ++start;
  for (std::size_t i = start; i < lines.size(); ++i) into.lines.push_back(std::move(lines[i]));
}

template <class Number>
bool ParseNumber(const std::string& text, Number& out) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  if (value < std::numeric_limits<Number>::min() || value > std::numeric_limits<Number>::max()) return false;
  out = static_cast<Number>(value);
  return true;
}

void ReadField(const ItemField& field, const std::string& text, ItemValues& values) {
  if (field.text) {
    values.*field.text = Unescape(text);
  } else if (field.flag) {
    ParseNumber(text, values.*field.flag);
  } else {
    ParseNumber(text, values.*field.number);
  }
}

const std::array<std::string, kFieldCount>& FoldedFieldNames() {
  static const std::array<std::string, kFieldCount> names = [] {
    std::array<std::string, kFieldCount> folded;
    for (std::size_t i = 0; i < kFieldCount; ++i) folded[i] = FoldKey(kItemFields[i].name);
    return folded;
  }();
  return names;
}

ItemValues ReadValues(const ini::Section& section) {
  ItemValues values;
  std::array<bool, kFieldCount> seen{};
  const auto& names = FoldedFieldNames();
  for (const ini::Line& line : section.lines) {
    if (line.kind != ini::Line::Kind::Entry) continue;
    const std::string name = FoldKey(line.key);
    for (std::size_t i = 0; i < kFieldCount; ++i) {
      if (names[i] != name) continue;
      if (!seen[i]) ReadField(kItemFields[i], line.value, values);
      seen[i] = true;
      break;
    }
  }
  return values;
}

void AppendItems(std::vector<ini::Section>& sections, const std::vector<ItemToWrite>& items) {
  for (const ItemToWrite& item : items) sections.push_back(MakeItemSection(item));
}

}  // namespace

void WriteListSections(ini::Document& doc, const std::vector<ItemToWrite>& items) {
  std::vector<ini::Section>& sections = doc.sections();
  std::vector<ini::Section> result;
  result.reserve(sections.size() + items.size());
  bool written = false;
  for (ini::Section& section : sections) {
    if (!IsListSection(section)) {
      result.push_back(std::move(section));
      continue;
    }
    if (!written) {
      AppendItems(result, items);
      written = true;
    }
    // result is never empty here: it starts with the lines before the first header.
    KeepClosingComments(section, result.back());
  }
  if (!written) AppendItems(result, items);
  sections = std::move(result);
}

std::vector<ItemRead> ReadListSections(const ini::Document& doc) {
  std::vector<ItemRead> items;
  for (const ini::Section& section : doc.sections()) {
    if (!IsListSection(section)) continue;
    ItemRead item;
    item.key = Unescape(std::string_view(section.name).substr(kPrefixLength));
    item.foldedKey = FoldKey(item.key);
    item.values = ReadValues(section);
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace vaultline
