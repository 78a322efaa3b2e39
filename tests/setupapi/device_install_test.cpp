// Root devices through device information sets and the class installer,
// with the media's own pelmoxp.inf, on an NT registry.
#include "tests/setupapi/setupapi_fixture.h"

#include "platform/setupapi/inf_file.h"

#include <fstream>
#include <sstream>

namespace setupapi_testing {
namespace {

// {4D36E96F-E325-11CE-BFC1-08002BE10318}, the Mouse setup class.
const GUID kMouseClass = {
    0x4D36E96F, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const std::string kEnum = "SYSTEM\\CurrentControlSet\\Enum\\";
const std::string kMouseKey =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96F-E325-11CE-BFC1-08002BE10318}";
const char* kInf = "D:\\win2kxp\\pelmoxp.inf";

std::string MediaFile(const std::string& name) {
    std::ifstream in(std::string(MEDIA_DIR) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class DeviceInstall : public SetupApiTest {
protected:
    DeviceInstall() {
        // What an installed 2000/XP has: the Mouse class key.
        HKEY key;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMouseKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr);
        SetString(key, "Class", "Mouse");
        RegCloseKey(key);
        disk.Put(kInf, MediaFile("win2kxp/pelmoxp.inf"));
        disk.Put("D:\\win2kxp\\pelmoxp.sys", "image");
    }

    static void SetString(HKEY key, const char* name, const char* text) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(strlen(text) + 1));
    }

    // The steps a setup program takes for one root mouse device.
    void InstallRoot(const char* id) {
        HINF inf = SetupOpenInfFileA(kInf, "MOUSE", INF_STYLE_WIN4, nullptr);
        ASSERT_NE(inf, INVALID_HANDLE_VALUE);
        HDEVINFO set = SetupDiCreateDeviceInfoList(&kMouseClass, nullptr);
        SP_DEVINFO_DATA data{sizeof data, {}, 0, 0};
        ASSERT_TRUE(
            SetupDiCreateDeviceInfoA(set, id, &kMouseClass, "root mouse", nullptr, 0, &data));
        ASSERT_TRUE(SetupDiRegisterDeviceInfo(set, &data, 0, nullptr, nullptr, nullptr));
        SP_DEVINSTALL_PARAMS_A params{};
        params.cbSize = sizeof params;
        params.Flags = DI_ENUMSINGLEINF | DI_NOFILECOPY;
        strcpy(params.DriverPath, kInf);
        ASSERT_TRUE(SetupDiSetDeviceInstallParamsA(set, &data, &params));
        HKEY key =
            SetupDiCreateDevRegKeyA(set, &data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, inf, "pelmoxp1");
        ASSERT_NE(key, static_cast<HKEY>(INVALID_HANDLE_VALUE));
        RegCloseKey(key);
        key = SetupDiCreateDevRegKeyA(set, &data, DICS_FLAG_GLOBAL, 0, DIREG_DRV, inf, "pelmoxp");
        ASSERT_NE(key, static_cast<HKEY>(INVALID_HANDLE_VALUE));
        RegCloseKey(key);
        ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &data));
        ASSERT_TRUE(SetupDiCallClassInstaller(DIF_SELECTDEVICE, set, &data));
        ASSERT_TRUE(SetupDiCallClassInstaller(DIF_INSTALLDEVICE, set, &data));
        ASSERT_TRUE(SetupDiDestroyDeviceInfoList(set));
        SetupCloseInfFile(inf);
    }

    std::vector<std::string> PresentRootTouchDevices() {
        std::vector<std::string> ids;
        HDEVINFO set =
            SetupDiGetClassDevsA(&kMouseClass, "ROOT\\TOUCHSCREEN", nullptr, DIGCF_PRESENT);
        if (set == INVALID_HANDLE_VALUE)
            return ids;
        SP_DEVINFO_DATA data{sizeof data, {}, 0, 0};
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i)
            ids.push_back(std::to_string(i));
        SetupDiDestroyDeviceInfoList(set);
        return ids;
    }
};

TEST_F(DeviceInstall, ClassInstallCopiesTheDriverAndKeepsTheMouseFilter) {
    ASSERT_TRUE(SetupDiInstallClassA(nullptr, kInf, DI_FORCECOPY, nullptr));
    EXPECT_TRUE(disk.Has("C:\\WINDOWS\\system32\\drivers\\pelmoxp.sys"));
    EXPECT_EQ(Text(kMouseKey, "Class"), "Mouse");
    EXPECT_EQ(Text(kMouseKey, ""), "Mice and other pointing devices");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMouseKey.c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    char filters[64] = {};
    DWORD size = sizeof filters, type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "UpperFilters", nullptr, &type,
                               reinterpret_cast<BYTE*>(filters), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
    EXPECT_EQ(std::string(filters, size), std::string("mouclass\0\0", 10));

    SetLastError(kPoison);
    EXPECT_FALSE(SetupDiInstallClassA(nullptr, "D:\\win2kxp\\absent.inf", DI_FORCECOPY, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

// The registry of an installed root device as 2000/XP keep it (Microsoft,
// "Driver Information in the Registry": instance key with ClassGUID,
// Driver, Service; driver key below Control\Class\{GUID}\NNNN).
TEST_F(DeviceInstall, InstalledRootDeviceHasItsKeysServiceAndNode) {
    InstallRoot("ROOT\\TOUCHSCREEN\\0000");
    const std::string instance = kEnum + "ROOT\\TOUCHSCREEN\\0000";
    EXPECT_EQ(Text(instance, "ClassGUID"), "{4D36E96F-E325-11CE-BFC1-08002BE10318}");
    EXPECT_EQ(Text(instance, "Class"), "Mouse");
    EXPECT_EQ(Text(instance, "Driver"), "{4D36E96F-E325-11CE-BFC1-08002BE10318}\\0000");
    EXPECT_EQ(Text(instance, "Service"), "pelmoxp");
    EXPECT_EQ(Text(instance, "DeviceDesc"), "win2kxp usb infrared touchscreen Service");
    EXPECT_EQ(Text(instance + "\\Device Parameters", "DeviceType"), "1");
    EXPECT_EQ(Text(kMouseKey + "\\0000", "InfSection"), "pelmoxp");
    EXPECT_EQ(Text(kMouseKey + "\\0000", "MatchingDeviceId"), "ROOT\\TOUCHSCREEN");
    EXPECT_EQ(Text("SYSTEM\\CurrentControlSet\\Services\\pelmoxp", "ImagePath"),
              "system32\\drivers\\pelmoxp.sys");
    EXPECT_EQ(tree.events, (std::vector<std::string>{"created ROOT\\TOUCHSCREEN\\0000",
                                                     "installed ROOT\\TOUCHSCREEN\\0000"}));
    EXPECT_FALSE(disk.Has("C:\\WINDOWS\\system32\\drivers\\pelmoxp.sys")); // DI_NOFILECOPY
}

TEST_F(DeviceInstall, CreationRefusesTakenAndMalformedIds) {
    InstallRoot("ROOT\\TOUCHSCREEN\\0000");
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kMouseClass, nullptr);
    const GUID kOther = {
        0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
    const struct {
        const char* id;
        const GUID* guid;
        DWORD error;
    } cases[] = {
        {"ROOT\\TOUCHSCREEN\\0000", &kMouseClass, ERROR_DEVINST_ALREADY_EXISTS},
        {"root\\touchscreen\\0000", &kMouseClass, ERROR_DEVINST_ALREADY_EXISTS},
        {"ROOT\\TOUCHSCREEN", &kMouseClass, ERROR_INVALID_DEVINST_NAME},
        {"ROOT\\\\0001", &kMouseClass, ERROR_INVALID_DEVINST_NAME},
        {"ROOT\\TOUCH SCREEN\\0001", &kMouseClass, ERROR_INVALID_DEVINST_NAME},
        {"ROOT\\TOUCHSCREEN\\0001", &kOther, ERROR_CLASS_MISMATCH},
    };
    for (const auto& c : cases) {
        SP_DEVINFO_DATA data{sizeof data, {}, kPoison, 0};
        SetLastError(kPoison);
        EXPECT_FALSE(SetupDiCreateDeviceInfoA(set, c.id, c.guid, "x", nullptr, 0, &data)) << c.id;
        EXPECT_EQ(GetLastError(), c.error) << c.id;
        EXPECT_EQ(data.DevInst, kPoison) << c.id;
    }
    SP_DEVINFO_DATA data{sizeof data, {}, 0, 0};
    EXPECT_TRUE(SetupDiCreateDeviceInfoA(set, "ROOT\\TOUCHSCREEN\\0001", &kMouseClass, "x", nullptr,
                                         0, &data));
    SetLastError(kPoison);
    EXPECT_FALSE(SetupDiCreateDeviceInfoA(set, "ROOT\\TOUCHSCREEN\\0001", &kMouseClass, "x",
                                          nullptr, 0, &data));
    EXPECT_EQ(GetLastError(),
              DWORD(ERROR_DEVINST_ALREADY_EXISTS)); // a phantom of this set holds it
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_FALSE(KeyExists(kEnum + "ROOT\\TOUCHSCREEN\\0001")); // never registered
}

TEST_F(DeviceInstall, PresentDevicesOfAnEnumeratorAreRemovedWithTheirKeys) {
    InstallRoot("ROOT\\TOUCHSCREEN\\0000");
    InstallRoot("ROOT\\TOUCHSCREEN\\0003");
    EXPECT_EQ(PresentRootTouchDevices().size(), 2u);
    tree.present.erase("ROOT\\TOUCHSCREEN\\0003"); // registered but not present
    EXPECT_EQ(PresentRootTouchDevices().size(), 1u);

    HDEVINFO set = SetupDiGetClassDevsA(&kMouseClass, "ROOT\\TOUCHSCREEN", nullptr, DIGCF_PRESENT);
    SP_DEVINFO_DATA data{sizeof data, {}, 0, 0};
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &data));
    ASSERT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set, &data));
    SetLastError(kPoison);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 1, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_ITEMS));
    SetupDiDestroyDeviceInfoList(set);

    EXPECT_FALSE(KeyExists(kEnum + "ROOT\\TOUCHSCREEN\\0000"));
    EXPECT_FALSE(KeyExists(kMouseKey + "\\0000"));
    EXPECT_TRUE(KeyExists(kEnum + "ROOT\\TOUCHSCREEN\\0003"));
    EXPECT_EQ(tree.events.back(), "removed ROOT\\TOUCHSCREEN\\0000");
    auto lines = Trace();
    EXPECT_NE(std::find_if(
                  lines.begin(), lines.end(),
                  [](const std::string& l) {
                      return l.find(
                                 " device create instance=ROOT\\TOUCHSCREEN\\0000 class=Mouse") !=
                             std::string::npos;
                  }),
              lines.end());
    EXPECT_NE(lines.back().find(" device remove instance=ROOT\\TOUCHSCREEN\\0000"),
              std::string::npos);
    // The list of an enumerator with no devices cannot be built.
    SetLastError(kPoison);
    EXPECT_EQ(SetupDiGetClassDevsA(&kMouseClass, "ROOT\\NOSUCH", nullptr, DIGCF_PRESENT),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
}

TEST_F(DeviceInstall, InstallWithoutASelectedDriverFails) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kMouseClass, nullptr);
    SP_DEVINFO_DATA data{sizeof data, {}, 0, 0};
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, "ROOT\\TOUCHSCREEN\\0000", &kMouseClass, "x", nullptr,
                                         0, &data));
    const struct {
        DI_FUNCTION function;
        DWORD error;
    } cases[] = {{DIF_INSTALLDEVICE, ERROR_NO_DRIVER_SELECTED},
                 {DIF_SELECTDEVICE, ERROR_NO_DRIVER_SELECTED}, // no single INF to choose from
                 {DIF_REMOVE, ERROR_NO_SUCH_DEVINST}};         // a phantom
    for (const auto& c : cases) {
        SetLastError(kPoison);
        EXPECT_FALSE(SetupDiCallClassInstaller(c.function, set, &data)) << c.function;
        EXPECT_EQ(GetLastError(), c.error) << c.function;
    }
    SetupDiDestroyDeviceInfoList(set);
}

} // namespace
} // namespace setupapi_testing

namespace setupapi_testing {
namespace {

// Each INF of the media opens as setup opens it and has the sections setup runs.
TEST_F(SetupApiTest, MediaInfFilesHaveTheirSections) {
    const struct {
        const char* file;
        const char* infClass;
        std::vector<const char*> sections;
    } cases[] = {
        {"win98/pelmo98.inf",
         nullptr,
         {"DidIzer.Install", "DidIzer.Install1", "DidIzer.Install2", "ClassInstall"}},
        {"win98/Trillo98.inf", "USB", {"korvex", "Orvan.Mfg"}},
        {"win2kxp/pelmoxp.inf",
         "MOUSE",
         {"pelmoxp1", "pelmoxp", "Orvan.Mfg", "pelmoxp.Services", "ClassInstall32"}},
        {"win2kxp/trilloxp.inf", nullptr, {"korvex.NT", "Orvan.Mfg", "korvex.NT.Services"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        disk.Put("D:\\media.inf", MediaFile(c.file));
        UINT line = 0;
        HINF handle = SetupOpenInfFileA("D:\\media.inf", c.infClass, INF_STYLE_WIN4, &line);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE) << std::hex << GetLastError() << " line " << line;
        auto* inf = platform::setupapi::detail::InfFromHandle(handle);
        for (const char* section : c.sections)
            EXPECT_NE(inf->Find(section), nullptr) << section;
        SetupCloseInfFile(handle);
    }
}

} // namespace
} // namespace setupapi_testing

namespace setupapi_testing {
namespace {

// The screen's arrival without a driver: the INF in the INF directory names
// its driver, per system where that system keeps it.
TEST_F(SetupApiTest, NewDeviceIsInstalledFromTheInfThatListsIt) {
    const struct {
        OsKind os;
        const char* inf;
        const char* instanceKey;
        const char* driverKey;
        const char* name;  // of the value that names the driver
        const char* value; // that value
    } cases[] = {
        {OsKind::WindowsXP, "win2kxp/trilloxp.inf",
         "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_595A&PID_0001\\1", nullptr, "Service",
         "korvex"},
        {OsKind::Windows98, "win98/Trillo98.inf", "Enum\\USB\\VID_595A&PID_0001\\1",
         "System\\CurrentControlSet\\Services\\Class\\USB\\0000", "NTMPDriver", "korvex.sys"},
    };
    for (const auto& c : cases) {
        system.SetOs(c.os);
        disk.Put("C:\\WINDOWS\\INF\\other.inf", "[Version]\nSignature=\"$Chicago$\"\n");
        disk.Put("C:\\WINDOWS\\INF\\touch.inf", MediaFile(c.inf));
        std::string used;
        EXPECT_FALSE(platform::setupapi::InstallNewDevice({"C:\\WINDOWS\\INF\\touch.inf"},
                                                          "USB\\VID_1234&PID_0001\\1",
                                                          {"USB\\VID_1234&PID_0001"}, &used));
        ASSERT_TRUE(platform::setupapi::InstallNewDevice(
            {"C:\\WINDOWS\\INF\\other.inf", "C:\\WINDOWS\\INF\\touch.inf"},
            "USB\\VID_595A&PID_0001\\1",
            {"USB\\VID_595A&PID_0001&REV_0100", "USB\\VID_595A&PID_0001"}, &used));
        EXPECT_EQ(used, "C:\\WINDOWS\\INF\\touch.inf");
        EXPECT_EQ(Text(c.driverKey ? c.driverKey : c.instanceKey, c.name), c.value);
        EXPECT_EQ(Text(c.instanceKey, "Class"), "USB");
    }
}

// 98 keeps classes by name below Services\Class (Microsoft, "Windows 98
// DDK: Registry Keys for Drivers").
TEST_F(SetupApiTest, NinetyEightClassInstallAndDeviceSectionsOnTheirKeys) {
    system.SetOs(OsKind::Windows98);
    disk.Put("D:\\win98\\pelmo98.inf", MediaFile("win98/pelmo98.inf"));
    ASSERT_TRUE(SetupDiInstallClassA(nullptr, "D:\\win98\\pelmo98.inf", DI_FORCECOPY, nullptr));
    EXPECT_EQ(Text("System\\CurrentControlSet\\Services\\Class\\TouchScreen", ""), "Touch screen");

    HINF inf = SetupOpenInfFileA("D:\\win98\\pelmo98.inf", nullptr, INF_STYLE_WIN4, nullptr);
    const struct {
        const char* key;
        const char* section;
        const char* name;
        const char* value;
    } cases[] = {
        {"System\\CurrentControlSet\\Services\\class\\TouchScreen\\0000", "DidIzer.Install1",
         "InfSection", "DidIzer.Install"},
        {"System\\CurrentControlSet\\Services\\class\\TouchScreen\\0000", "DidIzer.Install1",
         "NTMPDriver", "Pelmo98.sys"},
        {"Enum\\Root\\TouchScreen\\0000", "DidIzer.Install2", "DeviceDesc",
         "win98 usb infrared touchscreen Service"},
        {"Enum\\Root\\TouchScreen\\0000", "DidIzer.Install2", "Driver", "TouchScreen\\0000"},
    };
    for (const auto& c : cases) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, c.key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_TRUE(SetupInstallFromInfSectionA(nullptr, inf, c.section,
                                                SPINST_INIFILES | SPINST_REGISTRY, key, "D:\\",
                                                SP_COPY_NEWER, nullptr, nullptr, nullptr, nullptr));
        RegCloseKey(key);
        EXPECT_EQ(Text(c.key, c.name), c.value) << c.name;
    }
    SetupCloseInfFile(inf);
}

} // namespace
} // namespace setupapi_testing
