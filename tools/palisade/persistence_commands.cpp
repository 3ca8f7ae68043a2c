// palisade wsdl / wsdl-ini / errors: the persistent WSDL lists. Each command makes one
// SilverlightObjectsManagement, which holds the thread's COM while it works.
#include "command_line.h"

#include "hostrt32/os_files.h"
#include "palisade/silverlight_objects_management.h"

#include <filesystem>
#include <memory>
#include <system_error>

namespace cli {
namespace {

void PrintWsdlData(const WsdlData& data) {
  Print("wsdlUrl", data.wsdlUrl);
  Print("connectionFlag1", data.connectionFlag1);
  Print("connectionText1", data.connectionText1);
  Print("connectionText2", data.connectionText2);
  Print("connectionFlag2", data.connectionFlag2);
  Print("connectionText3", data.connectionText3);
  Print("proxyPortStr", data.proxyPortStr);
  Print("connectionText4", data.connectionText4);
  Print("connectionText5", data.connectionText5);
}

void AddWsdlCommands(CLI::App& app, Action& action) {
  CLI::App* wsdl = app.add_subcommand("wsdl", "WSDL entries of dat/silverlight_ro.ini");
  wsdl->require_subcommand(1);

  struct SaveArgs {
    std::string section, url;
  };
  auto save = std::make_shared<SaveArgs>();
  CLI::App* saveCommand = wsdl->add_subcommand("save", "File a WSDL URL under a section name that is not taken");
  saveCommand->add_option("SECTION", save->section, "Section name (the key)")->required();
  saveCommand->add_option("URL", save->url, "WSDL URL")->required();
  saveCommand->callback([&action, save] {
    action = [save] {
      SilverlightObjectsManagement objects;
      WsdlData existing;
      if (objects.GetWsdlData(save->section.c_str(), existing)) {
        Fail("the list already holds \"" + save->section + "\"; entries are never replaced");
        return int(kFailed);
      }
      if (!objects.SaveWsdlData(save->section.c_str(), save->url.c_str())) {
        Fail("the entry could not be saved into the history file");
        return int(kFailed);
      }
      return int(kDone);
    };
  });

  auto section = std::make_shared<std::string>();
  CLI::App* get = wsdl->add_subcommand("get", "Print the WSDL entry of a section");
  get->add_option("SECTION", *section, "Section name (the key)")->required();
  get->callback([&action, section] {
    action = [section] {
      WsdlData data;
      const bool found = SilverlightObjectsManagement().GetWsdlData(section->c_str(), data);
      PrintWsdlData(data);
      return int(found ? kDone : kNotFound);
    };
  });
}

void AddWsdlIniCommand(CLI::App& app, Action& action) {
  CLI::App* wsdlIni = app.add_subcommand("wsdl-ini", "WSDL locations by endpoint in DIR\\WSDL\\web_services.ini");
  wsdlIni->require_subcommand(1);
  struct GetArgs {
    std::string folder, endPoint;
  };
  auto args = std::make_shared<GetArgs>();
  CLI::App* get = wsdlIni->add_subcommand("get", "Print the WSDL location recorded for an endpoint");
  get->add_option("DIR", args->folder, "Folder holding the WSDL folder")->required();
  get->add_option("ENDPOINT", args->endPoint, "Service endpoint (the key)")->required();
  get->callback([&action, args] {
    action = [args] {
      std::string location;
      const bool found = SilverlightObjectsManagement().GetEntryFromWsdlIniFile(args->folder, args->endPoint, location);
      Print("wsdlLocation", location);
      return int(found ? kDone : kNotFound);
    };
  });
}

void AddErrorsCommands(CLI::App& app, Action& action) {
  CLI::App* errors = app.add_subcommand("errors", "Failed-WSDL entries in DIR\\failed_wsdl_info.ini");
  errors->require_subcommand(1);

  struct SaveArgs {
    std::string folder;
    WsdlErrorData data;
  };
  auto save = std::make_shared<SaveArgs>();
  CLI::App* saveCommand = errors->add_subcommand("save", "Record a failed WSDL for an endpoint");
  saveCommand->add_option("DIR", save->folder, "Folder of the list file")->required();
  saveCommand->add_option("--endpoint", save->data.endPoint, "Service endpoint (the key; may be empty)")->required();
  saveCommand->add_option("--url", save->data.wsdlUrl, "WSDL URL that failed");
  saveCommand->add_option("--text", save->data.errorText, "Text stored with the entry");
  saveCommand->callback([&action, save] {
    action = [save] {
      // The library reports nothing about a save, so a folder that is not there is caught here.
      std::error_code error;
      if (!std::filesystem::is_directory(hostrt::NativePath(save->folder), error)) {
        Fail("no folder '" + save->folder + "' to save into");
        return int(kFailed);
      }
      SilverlightObjectsManagement().SaveErrorData(save->folder, save->data);
      return int(kDone);
    };
  });

  struct GetArgs {
    std::string folder, endPoint;
  };
  auto get = std::make_shared<GetArgs>();
  CLI::App* getCommand = errors->add_subcommand("get", "Print the failed-WSDL entry of an endpoint");
  getCommand->add_option("DIR", get->folder, "Folder of the list file")->required();
  getCommand->add_option("ENDPOINT", get->endPoint, "Service endpoint (the key)")->required();
  getCommand->callback([&action, get] {
    action = [get] {
      WsdlErrorData data;
      const bool found = SilverlightObjectsManagement().GetEntryFromErrorDataFile(get->folder, get->endPoint, data);
      Print("wsdlUrl", data.wsdlUrl);
      Print("endPoint", data.endPoint);
      Print("errorText", data.errorText);
      Print("entryFound", data.entryFound);
      return int(found ? kDone : kNotFound);
    };
  });
}

}  // namespace

void AddPersistenceCommands(CLI::App& app, Action& action) {
  AddWsdlCommands(app, action);
  AddWsdlIniCommand(app, action);
  AddErrorsCommands(app, action);
}

}  // namespace cli
