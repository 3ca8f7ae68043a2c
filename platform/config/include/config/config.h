// config: the product's ini configuration store.
//
// A store reads ini files (syntax: config/ini_document.h) and answers value look-ups. With several
// sources, they are asked in the order they were added and the first that holds the key answers.
// Files are read when added; a file larger than 64 MiB is refused. Paths may use '\' as separator.
#pragma once

#if defined(_WIN32)
#if defined(CONFIG_BUILD)
#define CONFIG_API __declspec(dllexport)
#else
#define CONFIG_API __declspec(dllimport)
#endif
#else
#define CONFIG_API __attribute__((visibility("default")))
#endif

// A new, empty store; NULL when memory runs out.
CONFIG_API void* new_config();
// Reads `mpszFileName` into the store: 0 when added; -1 for a NULL store or name, -2 when the
// file cannot be read, -3 when it is too large.
CONFIG_API int config_add_ini_file_source(void* mpvConfig, const char* mpszFileName);
// The value of `mpszKey` in section `mpszSection`, owned by the store and valid until
// delete_config; NULL when absent. `mpszContext` is reserved and must be NULL.
CONFIG_API const char* config_get_attrib_val(void* mpvConfig, const char* mpszContext, const char* mpszSection,
                                             const char* mpszKey);
// Releases the store and every text it handed out. NULL is ignored.
CONFIG_API void delete_config(void* mpvConfig);

// The store's exception type. It carries a message text.
class CONFIG_API CKvBaseException {
 public:
  CKvBaseException();
  explicit CKvBaseException(const char* mpszMessage);
  CKvBaseException(const CKvBaseException& other);
  virtual ~CKvBaseException();
  CKvBaseException& operator=(const CKvBaseException& other);
  // The message; never NULL (empty for a default-constructed exception).
  char* operator*();

 private:
  char* mpszMessage;
};
