// The table of system functions looked up at run time, on simulated
// machines that have or lack them.
#include "sim_fixture.h"
#include "sys/api_function.h"

namespace {

using testsupport::SimMachine;
using testsupport::WithKey;

std::string Lacking(std::initializer_list<const char*> names) {
    std::string ini = sim::Machine::DefaultIni();
    for (const char* name : names) ini = WithKey(ini, "MissingFunctions", name, "1");
    return ini;
}

TEST(APIFunction, EveryOperationAnswersItsFailureValueWhenMissing) {
    SimMachine machine(Lacking(
        {"Msimg32.dll", "Kernel32.dll", "User32.dll", "SetupAPI.dll", "ADVAPI32.dll"}));
    CAPIFunction api;
    EXPECT_TRUE(api.Load());
    for (int lib = 0; lib < CAPIFunction::kLibraryCount; ++lib)
        EXPECT_FALSE(api.HasLibrary(static_cast<CAPIFunction::LibraryId>(lib))) << lib;

    int window = 0, descriptor[5] = {}, acl[8] = {};
    api::DeviceInterfaceFilter filter = {32, api::kDeviceTypeInterface, 0, api::kUsbDeviceInterface,
                                         {0}};
    api::TriVertex corners[2] = {};
    api::GradientRect rect = {0, 1};
    api::SidAuthority world = {{0, 0, 0, 0, 0, 1}};
    void* sid = &window;
    uint32_t line = 0, needed = 0;
    char text[64];
    EXPECT_EQ(nullptr, api.RegisterDeviceNotification(&window, &filter, 0));
    EXPECT_EQ(0, api.UnregisterDeviceNotification(&window));
    EXPECT_EQ(0xFFFFFFFFu, api.CMP_WaitNoPendingInstallEvents(1000));
    EXPECT_EQ(api::InvalidInf(), api.SetupOpenInfFile("C:\\a.inf", "Printer", api::kInfStyleWin4,
                                                      &line));
    EXPECT_EQ(0, api.SetupGetInfInformation(&window, api::kInfInformationByHandle, text,
                                            sizeof text, &needed));
    EXPECT_EQ(0, api.SetupQueryInfVersionInformation(text, 0, "CatalogFile", text, sizeof text,
                                                     &needed));
    api.SetupCloseInfFile(api::InvalidInf());
    EXPECT_EQ(0, api.MoveFileEx("C:\\a", "C:\\b", 4));
    EXPECT_EQ(0, api.GradientFill(&window, corners, 2, &rect, 1, api::kGradientFillRectH));
    EXPECT_EQ(0, api.InitializeSecurityDescriptor(descriptor, 1));
    EXPECT_EQ(0, api.AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &sid));
    EXPECT_EQ(&window, sid);  // untouched
    EXPECT_EQ(0, api.InitializeAcl(acl, sizeof acl, 4));
    EXPECT_EQ(0, api.AddAccessAllowedObjectAce(acl, 4, 0x12, 0xF003F, nullptr, nullptr, sid));
    EXPECT_EQ(0, api.SetSecurityDescriptorDacl(descriptor, 1, acl, 0));
    EXPECT_EQ(0, api.SetSecurityDescriptorControl(descriptor, 0x400, 0x400));
    EXPECT_EQ(nullptr, api.FreeSid(sid));
}

TEST(APIFunction, AFunctionTheMachineLacksIsEmptyAndItsLibraryStaysLoaded) {
    SimMachine machine(Lacking({"RegisterDeviceNotificationA"}));
    CAPIFunction api;
    api.Load();
    EXPECT_TRUE(api.HasLibrary(CAPIFunction::kUser32));
    EXPECT_FALSE(api.HasFunction(CAPIFunction::kRegisterDeviceNotification));
    EXPECT_TRUE(api.HasFunction(CAPIFunction::kUnregisterDeviceNotification));
    int window = 0;
    api::DeviceInterfaceFilter filter = {32, api::kDeviceTypeInterface, 0, api::kUsbDeviceInterface,
                                         {0}};
    EXPECT_EQ(nullptr, api.RegisterDeviceNotification(&window, &filter, 0));
}

TEST(APIFunction, CallsThroughToTheSystemFunctions) {
    SimMachine machine(WithKey(sim::Machine::DefaultIni(), "Machine", "PnPBusyMs", "2500"));
    CAPIFunction api;
    api.Load();
    // Plug and Play stays busy for 2.5 s of simulated time.
    EXPECT_EQ(258u, api.CMP_WaitNoPendingInstallEvents(1000));
    EXPECT_EQ(258u, api.CMP_WaitNoPendingInstallEvents(1000));
    EXPECT_EQ(0u, api.CMP_WaitNoPendingInstallEvents(1000));

    int window = 0;
    api::DeviceInterfaceFilter filter = {32, api::kDeviceTypeInterface, 0, api::kUsbDeviceInterface,
                                         {0}};
    api::DeviceNotify handle = api.RegisterDeviceNotification(&window, &filter, 0);
    ASSERT_NE(nullptr, handle);
    EXPECT_EQ(1, api.UnregisterDeviceNotification(handle));
    EXPECT_EQ(0, api.UnregisterDeviceNotification(handle));
}

TEST(APIFunction, LoadAgainStartsFromAnEmptyTable) {
    SimMachine machine;
    CAPIFunction api;
    EXPECT_FALSE(api.HasLibrary(CAPIFunction::kSetupApi));
    api.Load();
    EXPECT_TRUE(api.HasFunction(CAPIFunction::kWaitNoPendingInstallEvents));
    // A second machine, now the current one, lacks the library.
    SimMachine older(Lacking({"setupapi.dll"}));
    api.Load();
    EXPECT_FALSE(api.HasLibrary(CAPIFunction::kSetupApi));
    EXPECT_FALSE(api.HasFunction(CAPIFunction::kWaitNoPendingInstallEvents));
}

}  // namespace
