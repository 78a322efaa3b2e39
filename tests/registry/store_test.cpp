#include "platform/registry/store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace platform::registry {
namespace {

using ::testing::ElementsAre;

constexpr uint32_t kSz = 1;
constexpr uint32_t kBinary = 3;
constexpr uint32_t kDword = 4;
const std::string kSettings = "\\REGISTRY\\Machine\\Software\\Touch\\usbConfig";

bool SetText(Store& store, const KeyRef& key, const std::string& name, const std::string& text) {
    return store.SetValue(key, name, kSz, text.data(), text.size());
}

std::string Text(const Value& value) {
    return std::string(value.data.begin(), value.data.end());
}

std::vector<std::string> ValueNames(const Store& store, const KeyRef& key) {
    std::vector<std::string> names;
    for (const auto& value : store.Values(key)) {
        names.push_back(value.name);
    }
    return names;
}

TEST(RegistryStore, HivesExistFromTheStart) {
    Store store;
    EXPECT_NE(store.Open("\\REGISTRY"), nullptr);
    EXPECT_NE(store.Open("\\REGISTRY\\Machine"), nullptr);
    EXPECT_NE(store.Open("\\registry\\user"), nullptr);
    EXPECT_THAT(store.SubkeyNames(store.Open("\\REGISTRY")), ElementsAre("Machine", "User"));
}

TEST(RegistryStore, RejectsMalformedPathsAndKeysOutsideTheHives) {
    Store store;
    for (const char* path : {"", "REGISTRY\\Machine", "\\Other\\Machine", "\\REGISTRY\\\\Machine",
                             "\\REGISTRY\\Machine\\", "\\REGISTRY\\Machine\\a\\\\b"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(store.Open(path), nullptr);
        EXPECT_EQ(store.Create(path), nullptr);
    }
    bool created = true;
    EXPECT_EQ(store.Create("\\REGISTRY\\Hive", &created), nullptr);
    EXPECT_FALSE(created);
    EXPECT_THAT(store.SubkeyNames(store.Open("\\REGISTRY")), ElementsAre("Machine", "User"));
}

TEST(RegistryStore, NamesMatchWithoutCaseAndKeepTheirFirstSpelling) {
    Store store;
    bool created = false;
    KeyRef key = store.Create("\\REGISTRY\\Machine\\SOFTWARE\\Touch\\UsbConfig", &created);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(created);

    KeyRef again = store.Create(kSettings, &created);
    EXPECT_EQ(again, key);
    EXPECT_FALSE(created);
    EXPECT_EQ(store.Open("\\registry\\MACHINE\\software\\touch\\USBCONFIG"), key);
    EXPECT_EQ(store.PathOf(key), "\\REGISTRY\\Machine\\SOFTWARE\\Touch\\UsbConfig");

    ASSERT_TRUE(SetText(store, key, "donemode", "1"));
    ASSERT_TRUE(SetText(store, key, "doneMode", "2"));
    auto value = store.GetValue(key, "DONEMODE");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->name, "donemode");
    EXPECT_EQ(Text(*value), "2");
    EXPECT_THAT(ValueNames(store, key), ElementsAre("donemode"));
}

TEST(RegistryStore, CreateReportsOnlyTheLastComponentAsNew) {
    Store store;
    bool created = false;
    KeyRef software = store.Create("\\REGISTRY\\Machine\\Software", &created);
    EXPECT_TRUE(created);
    KeyRef leaf = store.Create(software, "Touch\\usbConfig", &created);
    ASSERT_NE(leaf, nullptr);
    EXPECT_TRUE(created);
    EXPECT_EQ(store.Open(software, "touch\\USBCONFIG"), leaf);
    EXPECT_EQ(store.Open(software, ""), software);

    store.Create(software, "touch\\Other", &created);
    EXPECT_TRUE(created);
    store.Create("\\REGISTRY\\Machine\\Software\\TOUCH", &created);
    EXPECT_FALSE(created);
    EXPECT_THAT(store.SubkeyNames(store.Open("\\REGISTRY\\Machine\\Software\\Touch")),
                ElementsAre("usbConfig", "Other"));
}

TEST(RegistryStore, ValuesKeepCreationOrderAcrossRewritesAndDeletes) {
    Store store;
    KeyRef key = store.Create(kSettings);
    for (const char* name : {"IsCfg", "doneMode", "moveSlider", "XArray"}) {
        ASSERT_TRUE(SetText(store, key, name, "x"));
    }
    ASSERT_TRUE(SetText(store, key, "ISCFG", "YES"));
    EXPECT_THAT(ValueNames(store, key), ElementsAre("IsCfg", "doneMode", "moveSlider", "XArray"));

    EXPECT_TRUE(store.DeleteValue(key, "DoneMode"));
    EXPECT_FALSE(store.DeleteValue(key, "doneMode"));
    ASSERT_TRUE(SetText(store, key, "doneMode", "3"));
    EXPECT_THAT(ValueNames(store, key), ElementsAre("IsCfg", "moveSlider", "XArray", "doneMode"));
}

TEST(RegistryStore, DataIsStoredExactlyAsWritten) {
    Store store;
    KeyRef key = store.Create(kSettings);
    const char withNul[] = "30";
    ASSERT_TRUE(store.SetValue(key, "moveSlider", kSz, withNul, sizeof withNul));
    ASSERT_TRUE(store.SetValue(key, "IsCfg", kSz, "YES", 3));
    ASSERT_TRUE(store.SetValue(key, "empty", kSz, nullptr, 0));
    const uint32_t two = 2;
    ASSERT_TRUE(store.SetValue(key, "doneMode", kDword, &two, sizeof two));

    EXPECT_EQ(store.GetValue(key, "moveSlider")->data, (std::vector<uint8_t>{'3', '0', 0}));
    EXPECT_EQ(store.GetValue(key, "IsCfg")->data, (std::vector<uint8_t>{'Y', 'E', 'S'}));
    EXPECT_TRUE(store.GetValue(key, "empty")->data.empty());
    auto dword = store.GetValue(key, "doneMode");
    EXPECT_EQ(dword->type, kDword);
    EXPECT_EQ(dword->data, (std::vector<uint8_t>{2, 0, 0, 0}));
    EXPECT_FALSE(store.SetValue(key, "bad", kBinary, nullptr, 4));
    EXPECT_FALSE(store.GetValue(key, "bad"));
}

TEST(RegistryStore, DeletedKeyRefStaysValidButEveryOperationFails) {
    Store store;
    KeyRef key = store.Create(kSettings);
    ASSERT_TRUE(SetText(store, key, "doneMode", "1"));
    KeyRef parent = store.Open("\\REGISTRY\\Machine\\Software\\Touch");

    ASSERT_TRUE(store.DeleteKey(key));
    EXPECT_TRUE(store.IsDeleted(key));
    EXPECT_EQ(store.PathOf(key), kSettings);
    EXPECT_FALSE(store.DeleteKey(key));
    EXPECT_FALSE(store.GetValue(key, "doneMode"));
    EXPECT_FALSE(SetText(store, key, "doneMode", "2"));
    EXPECT_FALSE(store.DeleteValue(key, "doneMode"));
    EXPECT_TRUE(store.Values(key).empty());
    EXPECT_EQ(store.Create(key, "child"), nullptr);
    EXPECT_EQ(store.Open(key, ""), nullptr);
    EXPECT_EQ(store.Open(kSettings), nullptr);
    EXPECT_TRUE(store.SubkeyNames(parent).empty());

    KeyRef recreated = store.Create(kSettings);
    ASSERT_NE(recreated, nullptr);
    EXPECT_NE(recreated, key);
    EXPECT_FALSE(store.GetValue(recreated, "doneMode"));
    EXPECT_TRUE(store.IsDeleted(key));
}

TEST(RegistryStore, DeleteKeyRefusesKeysWithSubkeysAndTheHives) {
    Store store;
    KeyRef touch = store.Create("\\REGISTRY\\Machine\\Software\\Touch");
    store.Create(touch, "usbConfig");
    EXPECT_FALSE(store.DeleteKey(touch));
    EXPECT_FALSE(store.IsDeleted(touch));
    EXPECT_FALSE(store.DeleteKey(store.Open("\\REGISTRY\\Machine")));
    EXPECT_FALSE(store.DeleteKey(store.Open("\\REGISTRY")));
    EXPECT_FALSE(store.DeleteTree("\\REGISTRY\\User"));
    EXPECT_FALSE(store.DeleteKey(nullptr));
}

TEST(RegistryStore, DeleteTreeRemovesTheKeyAndEverythingUnderIt) {
    Store store;
    KeyRef services = store.Create("\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services");
    KeyRef korvex = store.Create(services, "korvex");
    KeyRef backup = store.Create(korvex, "USBConfig");
    KeyRef deeper = store.Create(backup, "a\\b");
    KeyRef sibling = store.Create(services, "other");
    ASSERT_TRUE(SetText(store, backup, "doneMode", "1"));

    EXPECT_TRUE(
        store.DeleteTree("\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\KORVEX"));
    for (const KeyRef& key : {korvex, backup, deeper}) {
        EXPECT_TRUE(store.IsDeleted(key)) << store.PathOf(key);
    }
    EXPECT_FALSE(store.IsDeleted(sibling));
    EXPECT_THAT(store.SubkeyNames(services), ElementsAre("other"));
    EXPECT_FALSE(
        store.DeleteTree("\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\korvex"));
}

TEST(RegistryStore, PathConveniencesCreateOnWriteOnly) {
    Store store;
    EXPECT_FALSE(store.GetValue(kSettings, "IsCfg"));
    EXPECT_FALSE(store.DeleteValue(kSettings, "IsCfg"));
    EXPECT_EQ(store.Open(kSettings), nullptr);

    ASSERT_TRUE(store.SetValue(kSettings, "IsCfg", kSz, "no", 2));
    EXPECT_EQ(Text(*store.GetValue("\\REGISTRY\\MACHINE\\SOFTWARE\\TOUCH\\USBCONFIG", "iscfg")),
              "no");
    EXPECT_TRUE(store.DeleteValue(kSettings, "ISCFG"));
    EXPECT_FALSE(store.GetValue(kSettings, "IsCfg"));
    EXPECT_FALSE(store.SetValue("\\Elsewhere\\Key", "v", kSz, "x", 1));
}

TEST(RegistryStore, ObserverSeesEveryChangeInOrder) {
    Store store;
    std::vector<std::string> seen;
    store.SetObserver([&](const Change& change) {
        static const char* kinds[] = {"set", "delete-value", "create", "delete-key"};
        std::string line = std::string(kinds[static_cast<int>(change.kind)]) + " " + change.path;
        if (!change.name.empty()) {
            line += " " + change.name + "=" + std::string(change.data.begin(), change.data.end());
        }
        seen.push_back(line);
        // The observer may read the store while it is being told.
        EXPECT_THAT(store.SubkeyNames(store.Open("\\REGISTRY")), ElementsAre("Machine", "User"));
    });

    KeyRef key = store.Create("\\REGISTRY\\Machine\\Software\\Touch");
    store.Create(key, "usbConfig");
    store.SetValue(kSettings, "doneMode", kSz, "2", 1);
    store.DeleteValue(kSettings, "DONEMODE");
    store.DeleteValue(kSettings, "missing");
    store.DeleteTree("\\REGISTRY\\Machine\\Software");

    EXPECT_THAT(seen, ElementsAre("create \\REGISTRY\\Machine\\Software",
                                  "create \\REGISTRY\\Machine\\Software\\Touch",
                                  "create \\REGISTRY\\Machine\\Software\\Touch\\usbConfig",
                                  "set \\REGISTRY\\Machine\\Software\\Touch\\usbConfig doneMode=2",
                                  "delete-value \\REGISTRY\\Machine\\Software\\Touch\\usbConfig "
                                  "doneMode=",
                                  "delete-key \\REGISTRY\\Machine\\Software\\Touch\\usbConfig",
                                  "delete-key \\REGISTRY\\Machine\\Software\\Touch",
                                  "delete-key \\REGISTRY\\Machine\\Software"));
}

TEST(RegistryStore, ConcurrentWritersAndDeletersKeepTheTreeConsistent) {
    Store store;
    constexpr int kThreads = 4;
    constexpr int kRounds = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&store, t] {
            std::string path = "\\REGISTRY\\Machine\\Software\\T" + std::to_string(t % 2);
            for (int i = 0; i < kRounds; ++i) {
                KeyRef key = store.Create(path + "\\k");
                store.SetValue(key, "v" + std::to_string(t), kSz, "x", 1);
                store.GetValue(key, "v0");
                store.Values(key);
                if (i % 7 == t) {
                    store.DeleteTree(path);
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& name : store.SubkeyNames(store.Open("\\REGISTRY\\Machine\\Software"))) {
        KeyRef key = store.Open("\\REGISTRY\\Machine\\Software\\" + name + "\\k");
        ASSERT_NE(key, nullptr);
        EXPECT_LE(store.Values(key).size(), 2u);
    }
}

} // namespace
} // namespace platform::registry
