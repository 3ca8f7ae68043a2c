// SilverlightObjectsManagement: the WSDL list of "silverlight_ro.ini", the WSDL locations of a
// folder's "WSDL\web_services.ini" and the failed-WSDL list of "failed_wsdl_info.ini".
//
// Each object enters its thread into a single-threaded COM apartment for its lifetime; use and
// destroy it on the thread that made it. Lists are loaded once per object and file, and shared by
// copies; a call that names another folder than the one a list came from gets that folder's list.
//
// The lists live in ini files kept by the Vaultline component; every operation catches what goes
// wrong and answers false or returns. A failed-WSDL save merges the list into its file rather than
// replacing it, so that entries the file holds and the list does not are never lost.
#pragma once

#include "palisade/export.h"
#include "palisade/wsdl_data.h"
#include "win32/apartment.h"
#include "win32/comptr.h"

#include <string>

namespace Vaultline {
struct IPersistSilverlightList;
struct IPersistSilverlightListItemRO;
}  // namespace Vaultline

class PALISADE_API SilverlightObjectsManagement {
 public:
  SilverlightObjectsManagement();
  // Shares the other object's lists (a reference each) and enters COM again.
  SilverlightObjectsManagement(const SilverlightObjectsManagement& other);
  // Shares the other object's lists; COM is not touched.
  SilverlightObjectsManagement& operator=(const SilverlightObjectsManagement& other);
  virtual ~SilverlightObjectsManagement();

  bool GetWsdlData(const char* mSectionName, WsdlData& mWsdlData);
  bool SaveWsdlData(const char* mSectionName, const char* mWsdlUrl);
  bool GetEntryFromWsdlIniFile(std::string mFilePath, std::string mEndPoint, std::string& mWsdlLocation);
  void SaveErrorData(std::string mErrorFile, WsdlErrorData mWsdlErrorData);
  bool GetEntryFromErrorDataFile(std::string mErrorFilePath, std::string mEndPoint, WsdlErrorData& mWsdlErrorData);

 private:
  void CreateHistoryComObject();
  CComPtr<Vaultline::IPersistSilverlightListItemRO> CreateNewItem();
  void CreateWsdlIniComObject(std::string mWsdlIniFileName);
  void CreateErrorComObject(std::string mErrorFilePath);

  // First, so that COM is left only after every pointer below has been released.
  win32::Apartment mApartment;
  CComPtr<Vaultline::IPersistSilverlightList> mHistoryList;
  CComPtr<Vaultline::IPersistSilverlightList> mErrorList;
  CComPtr<Vaultline::IPersistSilverlightList> mWsdlIniList;
  std::string mHistoryFilePath;
  // The files the error and WSDL ini lists were loaded from.
  std::string mErrorListFile;
  std::string mWsdlIniListFile;
};
