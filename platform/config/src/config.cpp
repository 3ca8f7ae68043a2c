#include "config/config.h"

#include "config/ini_document.h"
#include "hostrt32/os_files.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <new>
#include <string>

namespace {

constexpr std::size_t kMaxFileBytes = std::size_t(64) << 20;

struct Store {
  std::deque<ini::Document> sources;  // deque: documents never move, so handed-out values stay valid
};

char* Duplicate(const char* text) {
  const std::size_t size = std::strlen(text) + 1;
  char* copy = static_cast<char*>(std::malloc(size));
  if (copy == nullptr) throw std::bad_alloc();
  std::memcpy(copy, text, size);
  return copy;
}

}  // namespace

void* new_config() { return new (std::nothrow) Store; }

int config_add_ini_file_source(void* mpvConfig, const char* mpszFileName) {
  if (mpvConfig == nullptr || mpszFileName == nullptr) return -1;
  std::string contents;
  if (const hostrt::FileError error = hostrt::ReadWholeFile(hostrt::NativePath(mpszFileName), contents, kMaxFileBytes)) {
    return error.kind == hostrt::FileError::Kind::TooLarge ? -3 : -2;
  }
  static_cast<Store*>(mpvConfig)->sources.push_back(ini::Document::Parse(contents));
  return 0;
}

const char* config_get_attrib_val(void* mpvConfig, const char*, const char* mpszSection, const char* mpszKey) {
  if (mpvConfig == nullptr || mpszSection == nullptr || mpszKey == nullptr) return nullptr;
  for (const ini::Document& doc : static_cast<Store*>(mpvConfig)->sources) {
    if (const std::string* value = doc.Find(mpszSection, mpszKey)) return value->c_str();
  }
  return nullptr;
}

void delete_config(void* mpvConfig) { delete static_cast<Store*>(mpvConfig); }

CKvBaseException::CKvBaseException() : mpszMessage(Duplicate("")) {}
CKvBaseException::CKvBaseException(const char* mpszMessage) : mpszMessage(Duplicate(mpszMessage ? mpszMessage : "")) {}
CKvBaseException::CKvBaseException(const CKvBaseException& other) : mpszMessage(Duplicate(other.mpszMessage)) {}
CKvBaseException::~CKvBaseException() { std::free(mpszMessage); }

CKvBaseException& CKvBaseException::operator=(const CKvBaseException& other) {
  if (this != &other) {
    char* copy = Duplicate(other.mpszMessage);
    std::free(mpszMessage);
    mpszMessage = copy;
  }
  return *this;
}

char* CKvBaseException::operator*() { return mpszMessage; }
