// What an ini document means, for the fuzz targets to compare a document with its written-back form.
#pragma once

#include "config/ini_document.h"

#include <string>
#include <vector>

// The sections and their entries, sections for which `skip` is true left out; lines that mean
// nothing are left out too.
template <class Skip>
std::vector<std::string> Meaning(const ini::Document& document, Skip skip) {
  std::vector<std::string> meaning;
  for (const ini::Section& section : document.sections()) {
    if (skip(section)) continue;
    meaning.push_back("[" + section.name + "]");
    for (const ini::Line& line : section.lines) {
      if (line.kind == ini::Line::Kind::Entry) meaning.push_back(line.key + "=" + line.value);
    }
  }
  return meaning;
}
