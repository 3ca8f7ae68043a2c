// What a store puts on disk: the values, their form, the create flag and the file's mode.
#include "plandesk_test_support.h"
#include "test_system.h"

namespace plandesk_test {
namespace {

namespace fs = std::filesystem;

class PlanDeskStore : public PlanDeskTest {};

using testing_support::FileIsPrivate;

TEST_F(PlanDeskStore, FileHoldsExactlyTheValuesSet) {
  for (const OLECHAR* encoding : {OLESTR("textMessageEncoding"), OLESTR("binaryMessageEncoding")}) {
    for (const OLECHAR* addressing : {OLESTR(""), OLESTR("WSAddressingAugust2004"), OLESTR("None")}) {
      for (const bool security : {false, true}) {
        SCOPED_TRACE(Utf8(encoding) + " / \"" + Utf8(addressing) + (security ? "\" / security" : "\""));
        Values values;
        values.messageEncoding = encoding;
        values.addressingVersion = addressing;
        if (security)
          values = {values.messageEncoding,          values.transport, values.addressingVersion,
                    OLESTR("UserNameOverTransport"), OLESTR("alice"),  OLESTR("s3cret")};
        const StoreCall call = Store(values);
        ASSERT_EQ(call.hr, S_OK);
        EXPECT_EQ(call.result, VARIANT_TRUE);
        const StoredBinding stored = ReadBinding(ConfigFile(OLESTR("Calculator")));
        ASSERT_TRUE(stored.found);
        EXPECT_EQ(stored.values, values);
        EXPECT_EQ(stored.encodingElement, Utf8(encoding));
        EXPECT_EQ(stored.transportElement, "KvHttpEngineTransport");
        EXPECT_EQ(stored.hasSecurity, security);
        // The values do not tell the SOAP version; a guessed one would be wrong for some requests.
        EXPECT_EQ(testing_support::ReadFile(ConfigFile(OLESTR("Calculator"))).find("messageVersion"), std::string::npos);
      }
    }
  }
}

TEST_F(PlanDeskStore, MarkupAndNonAsciiValuesRoundTripAsUtf8) {
  const Values values{OLESTR("textMessageEncoding"),
                      OLESTR("KvHttpEngineTransport"),
                      OLESTR(""),
                      OLESTR("UserNameOverTransport"),
                      OLESTR("J\u00FCrgen \u00C5str\u00F6m"),
                      OLESTR("<p&ss\"w'rd>\t\n\u20AC\U0001F511")};
  ASSERT_EQ(Store(values, OLESTR("Calculator"), folder_.string(), 1, OLESTR("Port \"<1>\" & more")).hr, S_OK);
  EXPECT_EQ(ReadBinding(ConfigFile(OLESTR("Calculator")), "Port \"<1>\" & more").values, values);
  const std::string bytes = testing_support::ReadFile(ConfigFile(OLESTR("Calculator")));
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
      {{OLESTR("mtomMessageEncoding"), OLESTR("tcpTransport"), OLESTR("WSAddressing2003"), OLESTR(""), OLESTR(""),
        OLESTR("")},
       "messageEncoding",
       "transport"},
      {{OLESTR(""), OLESTR(""), OLESTR(""), OLESTR(""), OLESTR(""), OLESTR("")}, "messageEncoding", "transport"},
      {{OLESTR("textMessageEncoding"), OLESTR("KvHttpEngineTransport"), OLESTR("WSAddressing2003"), OLESTR(""),
        OLESTR(""), OLESTR("")},
       "textMessageEncoding",
       "KvHttpEngineTransport"},
      // A mode with empty credentials still writes the credentials, empty.
      {{OLESTR("textMessageEncoding"), OLESTR("KvHttpEngineTransport"), OLESTR("None"), OLESTR("Certificate"),
        OLESTR(""), OLESTR("")},
       "textMessageEncoding",
       "KvHttpEngineTransport"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.encodingElement);
    ASSERT_EQ(Store(c.values).hr, S_OK);
    const StoredBinding stored = ReadBinding(ConfigFile(OLESTR("Calculator")));
    EXPECT_EQ(stored.values, c.values);
    EXPECT_EQ(stored.encodingElement, c.encodingElement);
    EXPECT_EQ(stored.transportElement, c.transportElement);
    EXPECT_EQ(stored.hasSecurity, !c.values.authenticationMode.empty());
  }
}

TEST_F(PlanDeskStore, CreateFlagDecidesOnlyWhetherAMissingFileIsMade) {
  Values values;
  StoreCall call = Store(values, OLESTR("Calculator"), folder_.string(), 0);
  EXPECT_EQ(call.hr, S_OK);
  EXPECT_EQ(call.result, VARIANT_FALSE);
  EXPECT_TRUE(FolderEntries(folder_).empty());

  ASSERT_EQ(Store(values, OLESTR("Calculator"), folder_.string(), 1).result, VARIANT_TRUE);
  const std::string createdWithOne = testing_support::ReadFile(ConfigFile(OLESTR("Calculator")));
  fs::remove(ConfigFile(OLESTR("Calculator")));
  ASSERT_EQ(Store(values, OLESTR("Calculator"), folder_.string(), VARIANT_TRUE).result, VARIANT_TRUE);
  EXPECT_EQ(testing_support::ReadFile(ConfigFile(OLESTR("Calculator"))), createdWithOne);

  // An existing file is updated whatever the flag says.
  values.addressingVersion = OLESTR("None");
  call = Store(values, OLESTR("Calculator"), folder_.string(), 0);
  EXPECT_EQ(call.hr, S_OK);
  EXPECT_EQ(call.result, VARIANT_TRUE);
  EXPECT_EQ(ReadBinding(ConfigFile(OLESTR("Calculator"))).values, values);
}

TEST_F(PlanDeskStore, FileIsPrivateOnCreationAndAfterEveryRewrite) {
  ASSERT_EQ(Store(Values{}).result, VARIANT_TRUE);
  EXPECT_TRUE(FileIsPrivate(ConfigFile(OLESTR("Calculator"))));
  fs::permissions(ConfigFile(OLESTR("Calculator")), fs::perms(0644));
  ASSERT_EQ(Store(Values{}).result, VARIANT_TRUE);
  EXPECT_TRUE(FileIsPrivate(ConfigFile(OLESTR("Calculator"))));
  EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{ConfigFile(OLESTR("Calculator")).filename().string()})
      << "a temporary file was left behind";
}

TEST_F(PlanDeskStore, ScriptPathMayUseBackslashes) {
  fs::create_directories(folder_ / "sub" / "dir");
  const std::string windowsStyle = folder_.string() + "\\sub\\dir\\";
  ASSERT_EQ(Store(Values{}, OLESTR("Calculator"), windowsStyle).result, VARIANT_TRUE);
  EXPECT_TRUE(ReadBinding(folder_ / "sub" / "dir" / ConfigFile(OLESTR("Calculator")).filename()).found);
}

}  // namespace
}  // namespace plandesk_test
