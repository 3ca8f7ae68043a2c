// The failed-WSDL list of a folder's "failed_wsdl_info.ini".
#include "palisade/silverlight_objects_management.h"

#include "contracts/vaultline_interfaces.h"
#include "frame/conversions.h"
#include "persistence/list_access.h"

using Vaultline::IPersistSilverlightConnectionSettings;
using Vaultline::IPersistSilverlightListItemRO;

namespace {

// Joined as given: a folder with a closing backslash gives a doubled one, an empty folder a path
// that starts with the backslash.
std::string ErrorFilePath(const std::string& folder) { return folder + "\\" + "failed_wsdl_info.ini"; }

using SettingsPut = HRESULT (STDMETHODCALLTYPE IPersistSilverlightConnectionSettings::*)(BSTR);

void PutIfNotEmpty(IPersistSilverlightConnectionSettings* settings, SettingsPut put, const std::string& text) {
  if (!text.empty()) (settings->*put)(frame::ToBstr(text).get());
}

}  // namespace

void SilverlightObjectsManagement::SaveErrorData(std::string mErrorFile, WsdlErrorData mWsdlErrorData) {
  try {
    const std::string path = ErrorFilePath(mErrorFile);
    // Another folder's list is not this one's: A's entries never reach B's file.
    if (!mErrorList || path != mErrorListFile) CreateErrorComObject(path);
    if (!mErrorList) return;
    CComPtr<IPersistSilverlightListItemRO> item = CreateNewItem();
    if (!item) return;
    CComPtr<IPersistSilverlightConnectionSettings> settings = item->GetConnectionSettings();
    if (!settings) return;
    const win32::Bstr endPoint = frame::ToBstr(mWsdlErrorData.endPoint);
    // Plain puts: their results are not examined.
    item->put_WsdlUrl(frame::ToBstr(mWsdlErrorData.wsdlUrl).get());
    item->put_ItemKey(endPoint.get());
    item->put_ItemName(endPoint.get());
    item->put_ItemText(frame::ToBstr(mWsdlErrorData.errorText).get());
    item->put_ItemFlag(VARIANT_FALSE);
    PutIfNotEmpty(settings, &IPersistSilverlightConnectionSettings::put_ConnectionText1, mWsdlErrorData.connectionText1);
    PutIfNotEmpty(settings, &IPersistSilverlightConnectionSettings::put_ConnectionText2, mWsdlErrorData.connectionText2);
    PutIfNotEmpty(settings, &IPersistSilverlightConnectionSettings::put_ConnectionText3, mWsdlErrorData.connectionText3);
    PutIfNotEmpty(settings, &IPersistSilverlightConnectionSettings::put_ConnectionText4, mWsdlErrorData.connectionText4);
    mErrorList->AddItemByKey(endPoint.get(), item);
    mErrorList->PutUseStatus(VARIANT_FALSE);
    // Merged into the file, not replacing it: the list in memory can lack entries the file holds
    // (another object or process saved them, or its load failed), and replacing the file would
    // lose them.
    mErrorList->SaveEx(frame::ToBstr(path).get(), 0);
  } catch (...) {
    // Nothing is reported: the entry stays in the list in memory for the next save.
  }
}

bool SilverlightObjectsManagement::GetEntryFromErrorDataFile(std::string mErrorFilePath, std::string mEndPoint,
                                                             WsdlErrorData& mWsdlErrorData) {
  try {
    const std::string path = ErrorFilePath(mErrorFilePath);
    if (!mErrorList || path != mErrorListFile) CreateErrorComObject(path);
    if (!mErrorList) return false;
    const win32::Bstr key = frame::ToBstr(mEndPoint);
    if (mErrorList->ContainsItemWithKey(key.get()) != VARIANT_TRUE) return false;
    CComPtr<IPersistSilverlightListItemRO> item = persistence::ItemByKey(mErrorList, key.get());
    if (!item) return false;
    using persistence::CopyText;
    CopyText(item.p, &IPersistSilverlightListItemRO::get_ItemText, mWsdlErrorData.errorText);
    CopyText(item.p, &IPersistSilverlightListItemRO::get_ItemKey, mWsdlErrorData.endPoint);
    CopyText(item.p, &IPersistSilverlightListItemRO::get_WsdlUrl, mWsdlErrorData.wsdlUrl);
    mWsdlErrorData.entryFound = true;
    return true;
  } catch (...) {
    return false;
  }
}
