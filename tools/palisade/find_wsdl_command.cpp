// palisade find-wsdl: the WSDL a service page links to.
#include "browser_notice.h"
#include "command_line.h"

#include "palisade/wsdl_data_utils.h"
#include "win32/apartment.h"
#include "win32/com.h"

#include <memory>

namespace cli {

void AddFindWsdlCommand(CLI::App& app, Action& action) {
  auto url = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand("find-wsdl", "Open a service page in a hidden browser and print its WSDL link");
  command->add_option("URL", *url, "Address of the page (http:, https:, file:, or a path)")->required();
  command->callback([&action, url] {
    action = [url] {
      win32::Apartment com;
      const BrowserStartNotice notice([](const std::string& text) { Fail(text); });
      SetErrorInfo(0, nullptr);
      std::string wsdl;
      const bool loaded = WsdlDataUtils(false).ReadWsdlLink(*url, wsdl);
      Print("loaded", loaded);
      Print("wsdl", wsdl);
      if (!loaded) {
        const std::string reason = TakeErrorDescription();
        Fail(reason.empty() ? "the page did not load" : "the page did not load: " + reason);
        return int(kFailed);
      }
      return int(wsdl.empty() ? kNotFound : kDone);
    };
  });
}

}  // namespace cli
