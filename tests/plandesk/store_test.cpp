// What a store puts on disk: the values, their form, the create flag and the file's mode.
#include "plandesk_test_support.h"

#include <sys/stat.h>

namespace plandesk_test {
namespace {

namespace fs = std::filesystem;

class PlanDeskStore : public PlanDeskTest {
 protected:
  unsigned Mode(const fs::path& file) {
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0);
    return st.st_mode & 07777;
  }
};

TEST_F(PlanDeskStore, FileHoldsExactlyTheValuesSet) {
  for (const char16_t* encoding : {u"textMessageEncoding", u"binaryMessageEncoding"}) {
    for (const char16_t* addressing : {u"", u"WSAddressingAugust2004", u"None"}) {
      for (const bool security : {false, true}) {
        SCOPED_TRACE(Utf8(encoding) + " / \"" + Utf8(addressing) + (security ? "\" / security" : "\""));
        Values values;
        values.messageEncoding = encoding;
        values.addressingVersion = addressing;
        if (security) values = {values.messageEncoding, values.transport, values.addressingVersion,
                                u"UserNameOverTransport", u"alice", u"s3cret"};
        const StoreCall call = Store(values);
        ASSERT_EQ(call.hr, S_OK);
        EXPECT_EQ(call.result, VARIANT_TRUE);
        const StoredBinding stored = ReadBinding(ConfigFile(u"Calculator"));
        ASSERT_TRUE(stored.found);
        EXPECT_EQ(stored.values, values);
        EXPECT_EQ(stored.encodingElement, Utf8(encoding));
        EXPECT_EQ(stored.transportElement, "KvHttpEngineTransport");
        EXPECT_EQ(stored.hasSecurity, security);
        // The values do not tell the SOAP version; a guessed one would be wrong for some requests.
        EXPECT_EQ(ReadFileBytes(ConfigFile(u"Calculator")).find("messageVersion"), std::string::npos);
      }
    }
  }
}

TEST_F(PlanDeskStore, MarkupAndNonAsciiValuesRoundTripAsUtf8) {
  const Values values{u"textMessageEncoding", u"KvHttpEngineTransport", u"",
                      u"UserNameOverTransport", u"J\u00FCrgen \u00C5str\u00F6m", u"<p&ss\"w'rd>\t\n\u20AC\U0001F511"};
  ASSERT_EQ(Store(values, u"Calculator", folder_.string(), 1, u"Port \"<1>\" & more").hr, S_OK);
  EXPECT_EQ(ReadBinding(ConfigFile(u"Calculator"), "Port \"<1>\" & more").values, values);
  const std::string bytes = ReadFileBytes(ConfigFile(u"Calculator"));
  EXPECT_NE(bytes.find("encoding=\"utf-8\""), std::string::npos);
  EXPECT_NE(bytes.find("J\xC3\xBCrgen"), std::string::npos) << "user name not in UTF-8";
  EXPECT_EQ(bytes.find("<p&"), std::string::npos) << "password not escaped";
}

TEST_F(PlanDeskStore, OtherValuesKeepTheirRawTextInGenericElements) {
  const struct {
    Values values;
    const char* encodingElement;
    const char* transportElement;
  } cases[] = {
      {{u"mtomMessageEncoding", u"tcpTransport", u"WSAddressing2003", u"", u"", u""}, "messageEncoding", "transport"},
      {{u"", u"", u"", u"", u"", u""}, "messageEncoding", "transport"},
      {{u"textMessageEncoding", u"KvHttpEngineTransport", u"WSAddressing2003", u"", u"", u""}, "textMessageEncoding",
       "KvHttpEngineTransport"},
      // A mode with empty credentials still writes the credentials, empty.
      {{u"textMessageEncoding", u"KvHttpEngineTransport", u"None", u"Certificate", u"", u""}, "textMessageEncoding",
       "KvHttpEngineTransport"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.encodingElement);
    ASSERT_EQ(Store(c.values).hr, S_OK);
    const StoredBinding stored = ReadBinding(ConfigFile(u"Calculator"));
    EXPECT_EQ(stored.values, c.values);
    EXPECT_EQ(stored.encodingElement, c.encodingElement);
    EXPECT_EQ(stored.transportElement, c.transportElement);
    EXPECT_EQ(stored.hasSecurity, !c.values.authenticationMode.empty());
  }
}

TEST_F(PlanDeskStore, CreateFlagDecidesOnlyWhetherAMissingFileIsMade) {
  Values values;
  StoreCall call = Store(values, u"Calculator", folder_.string(), 0);
  EXPECT_EQ(call.hr, S_OK);
  EXPECT_EQ(call.result, VARIANT_FALSE);
  EXPECT_TRUE(FolderEntries(folder_).empty());

  ASSERT_EQ(Store(values, u"Calculator", folder_.string(), 1).result, VARIANT_TRUE);
  const std::string createdWithOne = ReadFileBytes(ConfigFile(u"Calculator"));
  fs::remove(ConfigFile(u"Calculator"));
  ASSERT_EQ(Store(values, u"Calculator", folder_.string(), VARIANT_TRUE).result, VARIANT_TRUE);
  EXPECT_EQ(ReadFileBytes(ConfigFile(u"Calculator")), createdWithOne);

  // An existing file is updated whatever the flag says.
  values.addressingVersion = u"None";
  call = Store(values, u"Calculator", folder_.string(), 0);
  EXPECT_EQ(call.hr, S_OK);
  EXPECT_EQ(call.result, VARIANT_TRUE);
  EXPECT_EQ(ReadBinding(ConfigFile(u"Calculator")).values, values);
}

TEST_F(PlanDeskStore, FileIsPrivateOnCreationAndAfterEveryRewrite) {
  ASSERT_EQ(Store(Values{}).result, VARIANT_TRUE);
  EXPECT_EQ(Mode(ConfigFile(u"Calculator")), 0600u);
  fs::permissions(ConfigFile(u"Calculator"), fs::perms(0644));
  ASSERT_EQ(Store(Values{}).result, VARIANT_TRUE);
  EXPECT_EQ(Mode(ConfigFile(u"Calculator")), 0600u);
  EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{ConfigFile(u"Calculator").filename().string()})
      << "a temporary file was left behind";
}

TEST_F(PlanDeskStore, ScriptPathMayUseBackslashes) {
  fs::create_directories(folder_ / "sub" / "dir");
  const std::string windowsStyle = folder_.string() + "\\sub\\dir\\";
  ASSERT_EQ(Store(Values{}, u"Calculator", windowsStyle).result, VARIANT_TRUE);
  EXPECT_TRUE(ReadBinding(folder_ / "sub" / "dir" / ConfigFile(u"Calculator").filename()).found);
}

}  // namespace
}  // namespace plandesk_test
