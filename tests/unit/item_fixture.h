// A package whose data and command profiles a test writes, loaded into an
// application with the product's registry keys, on a machine of its own.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/installer_app.h"
#include "command/registry.h"
#include "install/item.h"
#include "app_doubles.h"
#include "sim_fixture.h"

namespace testsupport {

constexpr char kItemInstalling[] = "Software\\Veltrix\\LP-100\\Installing";
constexpr char kItemInstalled[] = "Software\\Veltrix\\LP-100\\Installed";
constexpr char kItemUninstallInfo[] = "Software\\Veltrix\\LP-100\\UninstallInfo";

class ItemGlobal : public GlobalDouble {
public:
    bool BuildRegistryKeys() override {
        registryKeys.installing = kItemInstalling;
        registryKeys.installingHistory = std::string(kItemInstalling) + "\\InstHistory";
        registryKeys.installed = kItemInstalled;
        registryKeys.installedHistory = std::string(kItemInstalled) + "\\InstHistory";
        registryKeys.uninstallInfo = kItemUninstallInfo;
        return true;
    }
};

class ItemApp : public CInstallerApp {
public:
    ItemApp() : CInstallerApp(std::make_unique<ItemGlobal>()) {}
};

class ItemPackage {
public:
    explicit ItemPackage(const std::string& ini = std::string()) : m(ini.empty() ? FixedClockIni() : ini) {}

    // Setup.dat is the data profile; extra holds its item sections.
    bool Load(const std::string& data, const std::string& command = std::string(),
              const char* osDefine = "WINXP") {
        Write("Setup.dat",
              "[INSTALLER_FILE_INFO]\r\n"
              "CONFIGURE_FILE = .\\data\\vxinst.vxi\r\n"
              "COMMAND_FILE = .\\data\\vxinst.cmd\r\n"
              "STRING_FILE_FORMAT = .\\data\\String\\Lang_%s.str\r\n"
              "[VERSION]\r\nVERSION = 2.10\r\n" + data);
        Write("data/vxinst.vxi", "[NONE]\r\n");
        Write("data/vxinst.cmd", command.empty() ? "[NONE]\r\n" : command);
        Write("data/String/Lang_EN.str", "[MESSAGES]\r\n");
        app = std::make_unique<ItemApp>();
        if (!app->global().Initialize()) return false;
        CInstallTarget& t = app->global().target;
        t.osDefine = osDefine;
        t.installerDir = "D:";
        t.destinationInstallDir = "C:\\Program Files\\Veltrix\\LP-100";
        return true;
    }
    void Write(const std::string& relative, const std::string& text) {
        std::string path = m.package() + "/" + relative;
        for (size_t i = m.package().size() + 1; i < path.size(); ++i)
            if (path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0755);
        WriteHost(path, text);
    }
    CItem& items() { return app->items(); }
    CGlobalVar& global() { return app->global(); }
    std::vector<std::string> LogLines() {
        std::istringstream in(ReadHost(m.Host(app->log().FileName())));
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.size() > 12 && line[0] == '[' && line[9] == ']') lines.push_back(line.substr(12));
        }
        return lines;
    }
    bool Logged(const std::string& line) {
        std::vector<std::string> lines = LogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    SimMachine m;
    std::unique_ptr<ItemApp> app;
};

}  // namespace testsupport
