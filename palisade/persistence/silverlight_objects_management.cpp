// SilverlightObjectsManagement: the members, their lifetimes, the creation of the lists and the
// WSDL entries of the history file.
#include "palisade/silverlight_objects_management.h"

#include "contracts/vaultline_interfaces.h"
#include "frame/com_creation.h"
#include "frame/data_file.h"
#include "persistence/list_access.h"

using Vaultline::IPersistSilverlightConnectionSettings;
using Vaultline::IPersistSilverlightList;
using Vaultline::IPersistSilverlightListItemRO;

namespace {

const char HISTORY_FILE_NAME[] = "silverlight_ro.ini";

CComPtr<IPersistSilverlightList> CreateList() {
  return frame::CreateByProgId<IPersistSilverlightList>(Vaultline::kProgIdSilverlightList);
}

// Whether the file holds `key`, as a list loaded from it now tells; raises when it cannot be read.
bool FileHolds(const std::string& file, BSTR key) {
  CComPtr<IPersistSilverlightList> list = CreateList();
  if (!list) throw _com_error(REGDB_E_CLASSNOTREG);
  list->Load(frame::ToBstr(file).get());
  return list->ContainsItemWithKey(key) != 0;
}

}  // namespace

// Each object and each copy enter COM (win32::Apartment); the lists are shared by copies and
// released before COM is left.
SilverlightObjectsManagement::SilverlightObjectsManagement() = default;
SilverlightObjectsManagement::SilverlightObjectsManagement(const SilverlightObjectsManagement& other) = default;
SilverlightObjectsManagement& SilverlightObjectsManagement::operator=(const SilverlightObjectsManagement& other) =
    default;
SilverlightObjectsManagement::~SilverlightObjectsManagement() = default;

void SilverlightObjectsManagement::CreateHistoryComObject() {
  try {
    char path[frame::kPathBuffer];
    // Without a module directory (or with one too long for the path) the path stays empty: the
    // list then loads nothing and is never saved, since no other file may stand in for this one.
    mHistoryFilePath = frame::LocateDataFile(HISTORY_FILE_NAME, path) ? path : "";
    mHistoryList = CreateList();
    if (mHistoryList && !mHistoryFilePath.empty()) mHistoryList->Load(frame::ToBstr(mHistoryFilePath).get());
  } catch (...) {
    // The list stays as created; a file that cannot be loaded gives an empty list.
  }
}

CComPtr<IPersistSilverlightListItemRO> SilverlightObjectsManagement::CreateNewItem() {
  return frame::CreateByProgId<IPersistSilverlightListItemRO>(Vaultline::kProgIdSilverlightListItemRO);
}

bool SilverlightObjectsManagement::SaveWsdlData(const char* mSectionName, const char* mWsdlUrl) {
  try {
    if (!mHistoryList) CreateHistoryComObject();
    if (!mHistoryList) return false;
    const win32::Bstr key = frame::ToBstr(mSectionName);
    // An existing entry is never replaced.
    if (mHistoryList->ContainsItemWithKey(key.get()) != 0) {
      // Taken, unless it is in the list only because the save that added it failed: this save
      // then writes it (and whatever else the list holds), and answers for itself.
      if (mHistoryFilePath.empty() || FileHolds(mHistoryFilePath, key.get())) return false;
      mHistoryList->SaveEx(frame::ToBstr(mHistoryFilePath).get(), 0);
      return true;
    }
    CComPtr<IPersistSilverlightListItemRO> item = CreateNewItem();
    if (!item) return false;
    CComPtr<IPersistSilverlightConnectionSettings> settings = item->GetConnectionSettings();
    if (!settings) return false;
    const win32::Bstr empty = frame::ToBstr("");
    // Plain puts: their results are not examined.
    item->put_WsdlUrl(frame::ToBstr(mWsdlUrl).get());
    item->put_ItemKey(key.get());
    item->put_ItemFlag(VARIANT_TRUE);
    settings->put_ConnectionText1(empty.get());
    settings->put_ConnectionText2(empty.get());
    settings->put_ConnectionText3(empty.get());
    settings->put_ConnectionText4(empty.get());
    settings->put_ConnectionNumber1(0);
    settings->put_ConnectionText5(empty.get());
    mHistoryList->AddItemByKey(key.get(), item);
    if (mHistoryFilePath.empty()) return false;  // nowhere to save it; it stays in the list
    mHistoryList->SaveEx(frame::ToBstr(mHistoryFilePath).get(), 0);
    return true;
  } catch (...) {
    return false;
  }
}

bool SilverlightObjectsManagement::GetWsdlData(const char* mSectionName, WsdlData& mWsdlData) {
  try {
    if (!mHistoryList) CreateHistoryComObject();
    if (!mHistoryList) return false;
    const win32::Bstr key = frame::ToBstr(mSectionName);
    if (mHistoryList->ContainsItemWithKey(key.get()) != VARIANT_TRUE) return false;
    CComPtr<IPersistSilverlightListItemRO> item = persistence::ItemByKey(mHistoryList, key.get());
    if (!item) return false;
    CComPtr<IPersistSilverlightConnectionSettings> settings = item->GetConnectionSettings();
    if (!settings) return false;
    using persistence::CopyFlag;
    using persistence::CopyText;
    CopyFlag(settings.p, &IPersistSilverlightConnectionSettings::get_ConnectionFlag1, mWsdlData.connectionFlag1);
    CopyText(item.p, &IPersistSilverlightListItemRO::get_WsdlUrl, mWsdlData.wsdlUrl);
    CopyText(settings.p, &IPersistSilverlightConnectionSettings::get_ConnectionText1, mWsdlData.connectionText1);
    CopyText(settings.p, &IPersistSilverlightConnectionSettings::get_ConnectionText2, mWsdlData.connectionText2);
    CopyFlag(settings.p, &IPersistSilverlightConnectionSettings::get_ConnectionFlag2, mWsdlData.connectionFlag2);
    CopyText(settings.p, &IPersistSilverlightConnectionSettings::get_ConnectionText3, mWsdlData.connectionText3);
    CopyText(settings.p, &IPersistSilverlightConnectionSettings::get_ConnectionText4, mWsdlData.connectionText4);
    mWsdlData.proxyPortStr = frame::FromBstr(settings->GetProxyPortStr().get());  // raises on failure
    CopyText(settings.p, &IPersistSilverlightConnectionSettings::get_ConnectionText5, mWsdlData.connectionText5);
    return true;
  } catch (...) {
    return false;
  }
}

void SilverlightObjectsManagement::CreateWsdlIniComObject(std::string mWsdlIniFileName) {
  try {
    mWsdlIniListFile = mWsdlIniFileName;
    mWsdlIniList = CreateList();
    if (mWsdlIniList) mWsdlIniList->Load(frame::ToBstr(mWsdlIniFileName).get());
  } catch (...) {
    // The list keeps what the load left in it: nothing for a missing file.
  }
}

void SilverlightObjectsManagement::CreateErrorComObject(std::string mErrorFilePath) {
  mErrorListFile = mErrorFilePath;
  mErrorList = CreateList();
  // A failing load is raised to the caller, with the list already in place.
  if (mErrorList) mErrorList->Load(frame::ToBstr(mErrorFilePath).get());
}
