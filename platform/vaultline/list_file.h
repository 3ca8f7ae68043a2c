// How a list lives in an ini file, beside sections that are not its own.
//
// Each item is one section named "SilverlightList/" followed by its key (escaped as in
// text_escape.h), holding one entry per property. Only sections with that prefix (any case)
// belong to the list, so an item keyed "GENERAL" never touches the options section "GENERAL":
//
//     [GENERAL]
//     ; recording options
//     AutoDetectMode=1
//
//     [SilverlightList/GENERAL]
//     WsdlUrl=http://host/svc?wsdl
//     ItemKey=GENERAL
//     ItemName=
//     ItemText=line one\r\nline two
//     ItemFlag=-1
//     ConnectionFlag1=0
//     ConnectionText1=\x20padded\x20
//     ConnectionText2=C:\\certs\\client.pfx
//     ConnectionFlag2=0
//     ConnectionText3=
//     ConnectionNumber1=0
//     ProxyPortStr=8080
//     ConnectionText4=
//     ConnectionText5=
//
//     [SilverlightList/Jörg \x5Bbackup\x5D]      <- the key "Jörg [backup]"; the 'ö' is the one byte 0xF6
//     WsdlUrl=...
//
// Reading: sections in file order; when sections repeat a key (keys compare without case) the
// list keeps the first. Within a section the first entry of a name wins; a missing or
// unreadable entry leaves the new-item default (empty text, 0); flags and numbers are decimal
// and must fit their type. Anything else in the file is ignored.
//
// Writing: all of the list's sections are replaced by the current list, placed where the first
// of them stood (at the end when there was none); every other section and line stays where it
// was. A run of comments at the end of a list section is kept in place, since it introduces
// the section that follows; other lines inside list sections are the list's and are rewritten.
#pragma once

#include "item_values.h"

#include "config/ini_document.h"

#include <string>
#include <vector>

namespace vaultline {

// The prefix of every section that holds an item.
inline constexpr char kItemSectionPrefix[] = "SilverlightList/";

// An item as it is written.
struct ItemToWrite {
  const std::string* key;
  const ItemValues* values;
};

// An item as it was read.
struct ItemRead {
  std::string key;
  std::string foldedKey;  // FoldKey(key)
  ItemValues values;
};

// Replaces the list's sections of `doc` with `items`, in their order.
void WriteListSections(ini::Document& doc, const std::vector<ItemToWrite>& items);
// The items of `doc`, in file order; a key may repeat.
std::vector<ItemRead> ReadListSections(const ini::Document& doc);

}  // namespace vaultline
