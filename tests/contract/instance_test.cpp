// A second start of the installer while a first one runs.
#include "app/installer_app.h"
#include "app/messages.h"
#include "contract/contract_env.h"
#include "contract/first_instance.h"
#include "wizard/wizard.h"

namespace {

TEST(SingleInstance, ASecondStartBringsTheFirstToTheFront) {
    std::string program = contract::UniqueName("Contract Printer");
    contract::FirstInstance first;
    ASSERT_TRUE(contract::StartFirstInstance(program, &first));
    std::string logName;
    {
        CInstallerApp app;
        logName = app.log().FileName();
        app.global().programInfo.programName = program;
        EXPECT_TRUE(app.CheckSingleInstance());
        EXPECT_EQ(nullptr, app.instanceMutex());  // the first instance holds it
        CWizard wizard;
        EXPECT_EQ(CWizard::kAlreadyRunning, wizard.Create(program));
        EXPECT_EQ(nullptr, wizard.hwnd());
    }
    os::RemoveFile(logName.c_str());
    // Asked to come forward once by each of the two.
    EXPECT_EQ(2, contract::StopFirstInstance(program, &first));
}

TEST(SingleInstance, AFirstStartHoldsTheMutexAndCreatesTheFrame) {
    std::string program = contract::UniqueName("Contract Alone");
    std::string logName;
    {
        CInstallerApp app;
        logName = app.log().FileName();
        app.global().programInfo.programName = program;
        EXPECT_TRUE(app.CheckSingleInstance());
        EXPECT_NE(nullptr, app.instanceMutex());
        CWizard wizard;
        ASSERT_EQ(CWizard::kCreated, wizard.Create(program));
        EXPECT_EQ(program + " Installer Program", wizard.className());
        EXPECT_EQ(program, ui::WindowText(wizard.hwnd()));
        EXPECT_EQ(wizard.hwnd(), ui::FindTopLevelWindow(wizard.className().c_str()));
        wizard.Destroy();
        EXPECT_EQ(nullptr, ui::FindTopLevelWindow(wizard.className().c_str()));
    }
    os::RemoveFile(logName.c_str());
}

TEST(SingleInstance, AMutexWithoutAWindowRefusesTheStart) {
    std::string program = contract::UniqueName("Contract Orphan");
    os::Handle held = nullptr;
    ASSERT_EQ(0u, os::CreateNamedMutex(InstanceName(program).c_str(), &held));
    std::string logName;
    {
        CInstallerApp app;
        logName = app.log().FileName();
        app.global().programInfo.programName = program;
        EXPECT_FALSE(app.CheckSingleInstance());
    }
    os::RemoveFile(logName.c_str());
    os::CloseHandle(held);
}

}  // namespace
