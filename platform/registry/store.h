// The machine's registry: one tree of keys and values shared by the kernel's
// Zw calls and the Win32 Reg calls. Key and value names are compared without
// regard to case and keep the case they were created with. Paths are native,
// backslash-separated: "\REGISTRY\Machine\Software\Touch\UsbConfig".
// Value data are the bytes the native calls see: REG_SZ text is UTF-16LE,
// with or without a stored NUL (the ANSI Win32 calls convert on the way).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform::registry {

struct Value {
    std::string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

class Key; // a node of the tree (opaque)
using KeyRef = std::shared_ptr<Key>;

// Every change, for the machine's trace.
struct Change {
    enum class Kind { SetValue, DeleteValue, CreateKey, DeleteKey };
    Kind kind;
    std::string path; // key path as created, native form
    std::string name; // value name, empty for key changes
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

class Store {
public:
    Store();
    ~Store();

    // Node-level operations. A KeyRef stays valid after the key is deleted;
    // operations on a deleted key fail (IsDeleted tells).
    KeyRef Open(const std::string& path) const; // nullptr: no such key
    KeyRef Open(const KeyRef& parent, const std::string& relative) const;
    // Creates missing keys along the path; *created tells whether the last one was new.
    KeyRef Create(const std::string& path, bool* created = nullptr);
    KeyRef Create(const KeyRef& parent, const std::string& relative, bool* created = nullptr);
    bool IsDeleted(const KeyRef& key) const;
    std::string PathOf(const KeyRef& key) const;

    std::optional<Value> GetValue(const KeyRef& key, const std::string& name) const;
    bool SetValue(const KeyRef& key, const std::string& name, uint32_t type, const void* data,
                  size_t size);
    bool DeleteValue(const KeyRef& key, const std::string& name);
    // Deletes a key that has no subkeys (as the Windows calls do). False if it has.
    bool DeleteKey(const KeyRef& key);
    std::vector<std::string> SubkeyNames(const KeyRef& key) const; // in creation order
    std::vector<Value> Values(const KeyRef& key) const;            // in creation order

    // Path-level conveniences for tests and scripts.
    bool SetValue(const std::string& path, const std::string& name, uint32_t type, const void* data,
                  size_t size); // creates the key
    std::optional<Value> GetValue(const std::string& path, const std::string& name) const;
    bool DeleteValue(const std::string& path, const std::string& name);
    bool DeleteTree(const std::string& path); // key and everything under it

    void SetObserver(std::function<void(const Change&)> observer);

    // Unique among all stores of the process, for layers that keep state per
    // store (a new store may reuse a dead one's address, never its serial).
    uint64_t Serial() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform::registry
