// The registrar against the in-memory registry: what register writes and what
// unregister leaves behind.
#include "platform/registry/Registrar.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kScript = R"(HKCR
{
	Demo.Thing.1 = s 'Demo Thing'
	{
		CLSID = s '%CLSID%'
	}
	NoRemove CLSID
	{
		ForceRemove %CLSID% = s 'Demo Thing'
		{
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Both'
			}
			'MiscStatus' = d '131473'
			'Quoted ''name''' = s 'it''s'
		}
	}
}
)";

class RegistrarTest : public ::testing::Test {
protected:
    void SetUp() override {
        Registry::Instance().SetVolatile(true);
        Registry::Instance().Reset();
        registrar_.AddReplacement("CLSID", "{11111111-2222-3333-4444-555555555555}");
        registrar_.AddReplacement("MODULE", "/opt/demo/libdemo.so");
    }
    Registry& registry() { return Registry::Instance(); }
    Registrar registrar_;
    const std::string key_ = "CLSID\\{11111111-2222-3333-4444-555555555555}";
};

TEST_F(RegistrarTest, RegisterWritesKeysValuesAndReplacements) {
    ASSERT_TRUE(registrar_.Run(kScript, Registrar::Mode::Register));
    EXPECT_EQ(registry().GetString("Demo.Thing.1", ""), "Demo Thing");
    EXPECT_EQ(registry().GetString("Demo.Thing.1\\CLSID", ""), "{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(registry().GetString(key_ + "\\InprocServer32", ""), "/opt/demo/libdemo.so");
    EXPECT_EQ(registry().GetString(key_ + "\\InprocServer32", "ThreadingModel"), "Both");
    EXPECT_EQ(registry().GetValue(key_ + "\\MiscStatus", "")->number, 131473u);
    EXPECT_EQ(registry().GetString(key_ + "\\Quoted 'name'", ""), "it's");
}

TEST_F(RegistrarTest, ForceRemoveReplacesOldContentOnRegister) {
    registry().SetString(key_ + "\\Stale", "", "old");
    ASSERT_TRUE(registrar_.Run(kScript, Registrar::Mode::Register));
    EXPECT_FALSE(registry().KeyExists(key_ + "\\Stale"));
}

TEST_F(RegistrarTest, UnregisterKeepsNoRemoveAndRemovesTheRest) {
    registry().SetString("CLSID\\{99999999-2222-3333-4444-555555555555}", "", "another class");
    registry().SetString("Demo.Thing.1\\Extra", "", "written by someone else");
    ASSERT_TRUE(registrar_.Run(kScript, Registrar::Mode::Register));
    ASSERT_TRUE(registrar_.Run(kScript, Registrar::Mode::Unregister));
    EXPECT_FALSE(registry().KeyExists(key_));
    EXPECT_TRUE(registry().KeyExists("CLSID"));
    EXPECT_TRUE(registry().KeyExists("CLSID\\{99999999-2222-3333-4444-555555555555}"));
    // A plain key that still holds foreign subkeys stays; its own subkey goes.
    EXPECT_TRUE(registry().KeyExists("Demo.Thing.1\\Extra"));
    EXPECT_FALSE(registry().KeyExists("Demo.Thing.1\\CLSID"));
}

struct BadScript {
    const char* text;
    const char* cause;
};

class BadScriptTest : public RegistrarTest, public ::testing::WithParamInterface<BadScript> {};

TEST_P(BadScriptTest, IsRefusedWithLineAndChangesNothing) {
    std::string error;
    EXPECT_FALSE(registrar_.Run(GetParam().text, Registrar::Mode::Register, &error));
    EXPECT_NE(error.find(GetParam().cause), std::string::npos) << error;
    EXPECT_TRUE(registry().SubKeys("").empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, BadScriptTest,
                         ::testing::Values(BadScript{"HKLM { A }", "only HKCR"},
                                           BadScript{"HKCR {\n A = s 'x'\n", "line 3: missing '}'"},
                                           BadScript{"HKCR { A = x 'y' }", "s 'text' or d 'number'"},
                                           BadScript{"HKCR { A = d '12x' }", "not a number"},
                                           BadScript{"HKCR { A = d '99999999999' }", "32-bit"},
                                           BadScript{"HKCR { A = s 'open }", "unclosed quote"},
                                           BadScript{"HKCR { val X = s 'y' }", "outside a key"}));

}  // namespace
