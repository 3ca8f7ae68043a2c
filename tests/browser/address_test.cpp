#include "browser/address.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using browser::CompleteAddress;

TEST(CompleteAddress, KeepsAddressesWithASchemeAndCompletesTheRest) {
  const struct {
    const char* typed;
    const char* meant;
  } cases[] = {
      {"http://example.com/Service.asmx?wsdl", "http://example.com/Service.asmx?wsdl"},
      {"HTTPS://example.com/", "HTTPS://example.com/"},
      {"file:///srv/pages/Service.asmx.html", "file:///srv/pages/Service.asmx.html"},
      {"about:blank", "about:blank"},
      {"svn+ssh://host/x", "svn+ssh://host/x"},
      {"example.com/Service.asmx", "http://example.com/Service.asmx"},
      {"localhost:8080/Service.svc", "http://localhost:8080/Service.svc"},
      {"localhost:8080", "http://localhost:8080"},
      {"/no/such/page 1#2?.html", "file:///no/such/page%201%232%3F.html"},
      {"/srv/./pages/../Service%.html", "file:///srv/Service%25.html"},
      {"/srv/caf\xC3\xA9.html", "file:///srv/caf%C3%A9.html"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.meant, CompleteAddress(c.typed)) << c.typed;
}

TEST(CompleteAddress, TakesAnExistingRelativePathForAFile) {
  testing_support::TempDir dir;
  const std::string page = dir.Write("page.html", "<p>x</p>");
  const std::string relative = std::filesystem::relative(page).string();
  ASSERT_NE('/', relative.front());
  EXPECT_EQ("file://" + page, CompleteAddress(relative));
}

}  // namespace
