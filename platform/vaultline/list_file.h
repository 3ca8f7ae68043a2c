// How a list lives in an ini file, beside sections that are not its own.
//
// Each item is one section named "SilverlightList/" followed by its key (escaped as in
// text_escape.h), holding one entry per property. Only sections with that prefix (any case)
// hold items, so an item keyed "GENERAL" never touches the options section "GENERAL":
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
// Writing into a file that is kept: the section of each key the list holds is rewritten where it
// stood (later sections of the same key are dropped); new keys follow the last item section, or
// end the file when there is none. Item sections of keys the list does not hold stay as they are:
// another list or process saved them since this list was loaded, and a save must not lose them.
// Every other section and line stays where it was. A run of comments at the end of an item
// section is kept in front of the section that follows it, since it introduces that one; other
// lines inside a rewritten section are the list's and are not kept.
#pragma once

#include "item_values.h"

#include "config/ini_document.h"

#include <string>
#include <string_view>
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

// Writes `items` (unique keys, in list order) into `doc` as described above, their lines ending
// in `lineEnd`; `doc` is then only fit to be serialized.
void WriteListSections(ini::Document& doc, std::string_view lineEnd, const std::vector<ItemToWrite>& items);
// The items of `doc`, in file order; a key may repeat.
std::vector<ItemRead> ReadListSections(const ini::Document& doc);

}  // namespace vaultline
