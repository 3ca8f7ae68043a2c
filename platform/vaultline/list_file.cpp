#include "list_file.h"

#include "key_fold.h"
#include "text_escape.h"

#include <array>
#include <charconv>
#include <iterator>
#include <limits>
#include <unordered_map>

namespace vaultline {
namespace {

constexpr std::size_t kPrefixLength = sizeof(kItemSectionPrefix) - 1;
constexpr std::size_t kFieldCount = std::size(kItemFields);
constexpr std::size_t kTypicalItemBytes = 400;  // a WSDL URL, a key and a few settings

bool IsListSection(const ini::Section& section) {
  return !section.header.empty() && section.name.size() >= kPrefixLength &&
         ini::SameName(std::string_view(section.name).substr(0, kPrefixLength), kItemSectionPrefix);
}

void AppendField(std::string& out, const ItemField& field, const ItemValues& values) {
  out += field.name;
  out += '=';
  if (field.text) {
    AppendEscapedValue(out, values.*field.text);
  } else {
    out += std::to_string(field.flag ? values.*field.flag : values.*field.number);
  }
}

// An item's entries are one line of the model, holding the line ends between them: the section is
// only ever written, and a line per entry would cost a dozen allocations per item.
ini::Section MakeItemSection(const ItemToWrite& item, std::string_view lineEnd) {
  ini::Section section;
  section.name = kItemSectionPrefix + EscapeSectionText(*item.key);
  section.header = "[" + section.name + "]";
  section.lines.reserve(2);
  std::string& entries = section.lines.emplace_back().raw;
  entries.reserve(kTypicalItemBytes);
  for (const ItemField& field : kItemFields) {
    if (&field != kItemFields) entries += lineEnd;
    AppendField(entries, field, *item.values);
  }
  section.lines.emplace_back().kind = ini::Line::Kind::Blank;
  return section;
}

// Moves the comments that close `from` (with the blank lines among and after them) to the end of
// `into`, so they stay in front of the section that follows.
void KeepClosingComments(ini::Section& from, ini::Section& into) {
  auto& lines = from.lines;
  std::size_t start = lines.size();
  while (start > 0 && (lines[start - 1].kind == ini::Line::Kind::Blank ||
                       lines[start - 1].kind == ini::Line::Kind::Comment)) {
    --start;
  }
  while (start < lines.size() && lines[start].kind == ini::Line::Kind::Blank) ++start;
  for (std::size_t i = start; i < lines.size(); ++i) into.lines.push_back(std::move(lines[i]));
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(start), lines.end());
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

// The key of an item section, as written by the list.
std::string SectionKey(const ini::Section& section) {
  return Unescape(std::string_view(section.name).substr(kPrefixLength));
}

// Ends `section` with a blank line unless it has one, so that a section added after it stands apart.
void SeparateFrom(ini::Section& section) {
  if (section.header.empty() && section.lines.empty()) return;  // an empty file
  if (!section.lines.empty() && section.lines.back().kind == ini::Line::Kind::Blank) return;
  ini::Line blank;
  blank.kind = ini::Line::Kind::Blank;
  section.lines.push_back(std::move(blank));
}

}  // namespace

void WriteListSections(ini::Document& doc, std::string_view lineEnd, const std::vector<ItemToWrite>& items) {
  std::unordered_map<std::string, std::size_t> position;  // FoldKey(key) -> index in items
  position.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) position.emplace(FoldKey(*items[i].key), i);
  std::vector<bool> written(items.size(), false);

  std::vector<ini::Section>& sections = doc.sections();
  std::vector<ini::Section> result;
  result.reserve(sections.size() + items.size());
  std::size_t lastItemSection = 0;  // in result; 0 (the lines before any header) for none
  for (ini::Section& section : sections) {
    if (!IsListSection(section)) {
      result.push_back(std::move(section));
      continue;
    }
    const auto found = position.find(FoldKey(SectionKey(section)));
    if (found == position.end()) {
      result.push_back(std::move(section));
    } else if (!written[found->second]) {
      written[found->second] = true;
      result.push_back(MakeItemSection(items[found->second], lineEnd));
      KeepClosingComments(section, result.back());
    } else {
      // result is never empty here: it starts with the lines before the first header.
      KeepClosingComments(section, result.back());
      continue;
    }
    lastItemSection = result.size() - 1;
  }

  std::vector<ini::Section> added;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!written[i]) added.push_back(MakeItemSection(items[i], lineEnd));
  }
  if (!added.empty()) {
    if (lastItemSection == 0) {
      lastItemSection = result.size() - 1;
    } else {
      KeepClosingComments(result[lastItemSection], added.back());
    }
    SeparateFrom(result[lastItemSection]);
    result.insert(result.begin() + static_cast<std::ptrdiff_t>(lastItemSection) + 1,
                  std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
  }
  sections = std::move(result);
}

std::vector<ItemRead> ReadListSections(const ini::Document& doc) {
  std::vector<ItemRead> items;
  items.reserve(doc.sections().size());
  for (const ini::Section& section : doc.sections()) {
    if (!IsListSection(section)) continue;
    ItemRead item;
    item.key = SectionKey(section);
    item.foldedKey = FoldKey(item.key);
    item.values = ReadValues(section);
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace vaultline
