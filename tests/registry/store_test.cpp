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
const std::string kSettings = "\\REGISTRY\\Machine\\Software\\Touch\\usbConfig";

bool SetText(Store& store, const KeyRef& key, const std::string& name, const std::string& text) {
    return store.SetValue(key, name, kSz, text.data(), text.size());
}

std::vector<std::string> ValueNames(const Store& store, const KeyRef& key) {
    std::vector<std::string> names;
    for (const auto& value : store.Values(key)) {
        names.push_back(value.name);
    }
    return names;
}

TEST(RegistryStore, OnlyPathsBelowTheHivesAreValid) {
    Store store;
    EXPECT_THAT(store.SubkeyNames(store.Open("\\registry")), ElementsAre("Machine", "User"));
    for (const char* path : {"", "REGISTRY\\Machine", "\\Other\\Machine", "\\REGISTRY\\\\Machine",
                             "\\REGISTRY\\Machine\\", "\\REGISTRY\\Hive"}) {
        EXPECT_EQ(store.Create(path), nullptr) << path;
    }
    EXPECT_FALSE(store.DeleteKey(store.Open("\\REGISTRY\\Machine")));
    EXPECT_FALSE(store.DeleteTree("\\REGISTRY\\User"));
    EXPECT_THAT(store.SubkeyNames(store.Open("\\REGISTRY")), ElementsAre("Machine", "User"));
}

TEST(RegistryStore, NamesMatchWithoutCaseAndKeepTheirFirstSpelling) {
    Store store;
    bool created = false;
    KeyRef key = store.Create("\\REGISTRY\\Machine\\SOFTWARE\\Touch\\UsbConfig", &created);
    EXPECT_TRUE(created);
    EXPECT_EQ(store.Create(kSettings, &created), key);
    EXPECT_FALSE(created);
    EXPECT_EQ(store.Open(store.Open("\\registry\\MACHINE"), "software\\TOUCH\\usbconfig"), key);
    EXPECT_EQ(store.PathOf(key), "\\REGISTRY\\Machine\\SOFTWARE\\Touch\\UsbConfig");

    ASSERT_TRUE(SetText(store, key, "donemode", "1"));
    ASSERT_TRUE(SetText(store, key, "doneMode", "2"));
    auto value = store.GetValue(kSettings, "DONEMODE");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->name, "donemode");
    EXPECT_EQ(value->data, (std::vector<uint8_t>{'2'}));
}

TEST(RegistryStore, ValuesKeepCreationOrderAndExactData) {
    Store store;
    KeyRef key = store.Create(kSettings);
    const char withNul[] = "30";
    ASSERT_TRUE(store.SetValue(key, "moveSlider", kSz, withNul, sizeof withNul));
    ASSERT_TRUE(SetText(store, key, "IsCfg", "no"));
    ASSERT_TRUE(SetText(store, key, "doneMode", "1"));
    ASSERT_TRUE(SetText(store, key, "MOVESLIDER", "40"));
    EXPECT_THAT(ValueNames(store, key), ElementsAre("moveSlider", "IsCfg", "doneMode"));
    EXPECT_TRUE(store.DeleteValue(key, "iscfg"));
    ASSERT_TRUE(SetText(store, key, "IsCfg", "YES"));
    EXPECT_THAT(ValueNames(store, key), ElementsAre("moveSlider", "doneMode", "IsCfg"));

    EXPECT_EQ(store.GetValue(key, "moveSlider")->data, (std::vector<uint8_t>{'4', '0'}));
    ASSERT_TRUE(store.SetValue(key, "moveSlider", kSz, withNul, sizeof withNul));
    EXPECT_EQ(store.GetValue(key, "moveSlider")->data, (std::vector<uint8_t>{'3', '0', 0}));
    EXPECT_FALSE(store.SetValue(key, "bad", kSz, nullptr, 4));
}

TEST(RegistryStore, DeletedKeyRefStaysValidButEveryOperationFails) {
    Store store;
    KeyRef key = store.Create(kSettings);
    ASSERT_TRUE(SetText(store, key, "doneMode", "1"));
    EXPECT_FALSE(store.DeleteKey(store.Open("\\REGISTRY\\Machine\\Software\\Touch")))
        << "it has a subkey";

    ASSERT_TRUE(store.DeleteKey(key));
    EXPECT_TRUE(store.IsDeleted(key));
    EXPECT_EQ(store.PathOf(key), kSettings);
    EXPECT_FALSE(store.DeleteKey(key));
    EXPECT_FALSE(store.GetValue(key, "doneMode"));
    EXPECT_FALSE(SetText(store, key, "doneMode", "2"));
    EXPECT_EQ(store.Create(key, "child"), nullptr);
    EXPECT_EQ(store.Open(kSettings), nullptr);

    KeyRef recreated = store.Create(kSettings);
    EXPECT_NE(recreated, key);
    EXPECT_FALSE(store.GetValue(recreated, "doneMode"));
}

TEST(RegistryStore, ObserverSeesEveryChangeInOrderAndMayReadTheStore) {
    Store store;
    std::vector<std::string> seen;
    store.SetObserver([&](const Change& change) {
        static const char* kinds[] = {"set", "delete-value", "create", "delete-key"};
        seen.push_back(std::string(kinds[static_cast<int>(change.kind)]) + " " + change.path +
                       (change.name.empty() ? "" : " " + change.name));
        store.SubkeyNames(store.Open("\\REGISTRY"));
    });
    KeyRef touch = store.Create("\\REGISTRY\\Machine\\Software\\Touch");
    KeyRef settings = store.Create(touch, "usbConfig\\Deeper");
    store.SetValue(kSettings, "doneMode", kSz, "2", 1);
    store.DeleteValue(kSettings, "DONEMODE");
    store.DeleteValue(kSettings, "missing");
    EXPECT_TRUE(store.DeleteTree("\\REGISTRY\\Machine\\software"));
    EXPECT_TRUE(store.IsDeleted(settings));

    const std::string t = "\\REGISTRY\\Machine\\Software\\Touch";
    EXPECT_THAT(
        seen, ElementsAre(
                  "create \\REGISTRY\\Machine\\Software", "create " + t,
                  "create " + t + "\\usbConfig", "create " + t + "\\usbConfig\\Deeper",
                  "set " + t + "\\usbConfig doneMode", "delete-value " + t + "\\usbConfig doneMode",
                  "delete-key " + t + "\\usbConfig\\Deeper", "delete-key " + t + "\\usbConfig",
                  "delete-key " + t, "delete-key \\REGISTRY\\Machine\\Software"));
}

TEST(RegistryStore, ConcurrentWritersAndDeletersKeepTheTreeConsistent) {
    Store store;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&store, t] {
            // Named, not temporaries: "literal" + temporary string makes GCC 12
            // at -O3 report a false -Wrestrict.
            const std::string half = std::to_string(t % 2), thread = std::to_string(t);
            const std::string path = "\\REGISTRY\\Machine\\Software\\T" + half;
            for (int i = 0; i < 200; ++i) {
                KeyRef key = store.Create(path + "\\k");
                store.SetValue(key, "v" + thread, kSz, "x", 1);
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
