// The WSDL locations of a folder's "WSDL\web_services.ini", read only.
#include "palisade/silverlight_objects_management.h"

#include "contracts/vaultline_interfaces.h"
#include "frame/conversions.h"
#include "persistence/list_access.h"

using Vaultline::IPersistSilverlightListItemRO;

bool SilverlightObjectsManagement::GetEntryFromWsdlIniFile(std::string mFilePath, std::string mEndPoint,
                                                           std::string& mWsdlLocation) {
  try {
    // Joined as given: a folder with a closing backslash gives a doubled one.
    const std::string fileName = mFilePath + "\\WSDL\\" + "web_services.ini";
    if (!mWsdlIniList || fileName != mWsdlIniListFile) CreateWsdlIniComObject(fileName);
    if (!mWsdlIniList) return false;
    const win32::Bstr key = frame::ToBstr(mEndPoint);
    if (mWsdlIniList->ContainsItemWithKey(key.get()) != VARIANT_TRUE) return false;
    CComPtr<IPersistSilverlightListItemRO> values = persistence::ItemByKey(mWsdlIniList, key.get());
    if (!values) return false;
    persistence::CopyText(values.p, &IPersistSilverlightListItemRO::get_WsdlUrl, mWsdlLocation);
    return true;
  } catch (...) {
    return false;
  }
}
