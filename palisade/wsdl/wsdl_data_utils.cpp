#include "palisade/wsdl_data_utils.h"

#include "config/config.h"
#include "frame/bool_text.h"
#include "frame/data_file.h"
#include "frame/scope_exit.h"

#include <string>

namespace {

const char GENERAL_SECTION_KEY[] = "GENERAL";
const char WSDL_AUTODETECT_KEY[] = "AutoDetectMode";
const char GENERATE_WEB_SERVICE_CALL_KEY[] = "GenerateWebServiceCall";
const char GENERATE_ONLY_FROM_LIST_KEY[] = "ImportWsdlOnlyFromList";
const char OPTIONS_FILE_NAME[] = "silverlight_ro.ini";

}  // namespace

WsdlDataUtils::WsdlDataUtils(bool isSilverLight)
    : mConfigHandle(nullptr), mAutoDetect(false), mGenerateWebServiceCall(false), mImportOnlyFromList(false) {
  if (isSilverLight) ReadDataFromFile();
}

WsdlDataUtils::WsdlDataUtils(const WsdlDataUtils& other) = default;
WsdlDataUtils& WsdlDataUtils::operator=(const WsdlDataUtils& other) = default;
WsdlDataUtils::~WsdlDataUtils() = default;

void WsdlDataUtils::ReadDataFromFile() {
  mConfigHandle = new_config();
  // The store goes on every way out; an error that is not the store's own still reaches the caller.
  const frame::ScopeExit release([this] {
    delete_config(mConfigHandle);
    mConfigHandle = nullptr;
  });
  char path[frame::kPathBuffer];
  // No module directory, or one too long for the path buffer: nothing is read.
  if (frame::LocateDataFile(OPTIONS_FILE_NAME, path) && config_add_ini_file_source(mConfigHandle, path) == 0) {
    try {
      GetGeneralOptions();
    } catch (const std::string&) {
      // The options read before the throw keep their new values.
    }
  }
}

void WsdlDataUtils::GetGeneralOptions() {
  struct Option {
    const char* key;
    bool WsdlDataUtils::*member;
  };
  static const Option kOptions[] = {
      {WSDL_AUTODETECT_KEY, &WsdlDataUtils::mAutoDetect},
      {GENERATE_WEB_SERVICE_CALL_KEY, &WsdlDataUtils::mGenerateWebServiceCall},
      {GENERATE_ONLY_FROM_LIST_KEY, &WsdlDataUtils::mImportOnlyFromList},
  };
  for (const Option& option : kOptions) {
    if (mConfigHandle == nullptr) continue;
    const char* value = config_get_attrib_val(mConfigHandle, nullptr, GENERAL_SECTION_KEY, option.key);
    this->*option.member = value != nullptr && value[0] != '\0' && xfbKvwiWebInfraGetBoolFromString(value, false);
  }
}

bool WsdlDataUtils::IsAutoDetect() { return mAutoDetect; }
bool WsdlDataUtils::IsGenerateWebServiceCall() { return mGenerateWebServiceCall; }
bool WsdlDataUtils::IsImportOnlyFromList() { return mImportOnlyFromList; }
