#include "platform/registry/store.h"

#include "platform/registry/names.h"

#include <atomic>
#include <utility>

namespace platform::registry {

// A node of the tree. A live key's parent is live, so the raw back pointer
// stays valid for as long as it is followed (only while the key is live).
class Key {
public:
    Key(std::string keyName, std::string keyPath, Key* parentKey)
        : name(std::move(keyName)), path(std::move(keyPath)), parent(parentKey) {}

    const std::string name; // as created
    const std::string path; // native path as created
    Key* parent;            // nullptr for the root
    std::vector<KeyRef> subkeys;
    std::vector<Value> values;
    bool deleted = false;
    bool permanent = false; // the root and its hives cannot be deleted
    KeyRef link;            // a registry link: every lookup through it lands here
};

namespace {

constexpr const char* kRootName = "REGISTRY";
constexpr const char* kHives[] = {"Machine", "User"};

KeyRef FindSubkey(const Key& parent, std::string_view name) {
    for (const auto& child : parent.subkeys) {
        if (NamesEqual(child->name, name)) {
            return child->link ? child->link : child;
        }
    }
    return nullptr;
}

Value* FindValue(Key& key, std::string_view name) {
    for (auto& value : key.values) {
        if (NamesEqual(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

} // namespace

struct Store::Impl {
    // One lock for the whole tree. Recursive so that the observer, which runs
    // under it to keep changes in order, may read the store.
    mutable std::recursive_mutex mutex;
    KeyRef root;
    std::function<void(const Change&)> observer;
    const uint64_t serial = NextSerial();

    static uint64_t NextSerial() {
        static std::atomic<uint64_t> counter{0};
        return ++counter;
    }

    Impl() {
        root = std::make_shared<Key>(kRootName, std::string("\\") + kRootName, nullptr);
        root->permanent = true;
        for (const char* hive : kHives) {
            auto key = std::make_shared<Key>(hive, root->path + "\\" + hive, root.get());
            key->permanent = true;
            root->subkeys.push_back(std::move(key));
        }
        // As on Windows, the current control set is a link to the set in use,
        // so the service key path a driver is given ("...\ControlSet001\Services\x")
        // and the one programs open ("...\CurrentControlSet\Services\x") meet.
        KeyRef system = CreatePath(root, {"Machine", "System"}, nullptr);
        KeyRef controlSet = CreatePath(system, {"ControlSet001"}, nullptr);
        auto current = std::make_shared<Key>("CurrentControlSet",
                                             system->path + "\\CurrentControlSet", system.get());
        current->permanent = true;
        current->link = controlSet;
        system->subkeys.push_back(std::move(current));
    }

    void Notify(Change change) const {
        if (observer) {
            observer(change);
        }
    }

    // The components of an absolute path below the root, or nullopt when the
    // path does not name something under "\REGISTRY".
    static std::optional<std::vector<std::string_view>> BelowRoot(std::string_view path) {
        auto parts = SplitPath(path.substr(path.empty() ? 0 : 1));
        if (path.empty() || path.front() != '\\' || !parts || parts->empty() ||
            !NamesEqual(parts->front(), kRootName)) {
            return std::nullopt;
        }
        parts->erase(parts->begin());
        return parts;
    }

    KeyRef Walk(const KeyRef& from, const std::vector<std::string_view>& parts) const {
        KeyRef key = from;
        for (auto part : parts) {
            if (!key || key->deleted) {
                return nullptr;
            }
            key = FindSubkey(*key, part);
        }
        return key && !key->deleted ? key : nullptr;
    }

    KeyRef CreatePath(const KeyRef& from, const std::vector<std::string_view>& parts,
                      bool* created) {
        if (created) {
            *created = false;
        }
        if (!from || from->deleted) {
            return nullptr;
        }
        KeyRef key = from;
        for (auto part : parts) {
            KeyRef next = FindSubkey(*key, part);
            bool isNew = !next;
            if (isNew) {
                if (key == root) {
                    return nullptr; // only the hives live directly under the root
                }
                next = std::make_shared<Key>(std::string(part),
                                             key->path + "\\" + std::string(part), key.get());
                key->subkeys.push_back(next);
                Notify({Change::Kind::CreateKey, next->path, {}, 0, {}});
            }
            if (created) {
                *created = isNew;
            }
            key = std::move(next);
        }
        return key;
    }

    void Unlink(KeyRef key) { // by value: erasing it from its parent must not free it
        auto& siblings = key->parent->subkeys;
        for (auto it = siblings.begin(); it != siblings.end(); ++it) {
            if (*it == key) {
                siblings.erase(it);
                break;
            }
        }
        key->deleted = true;
        key->parent = nullptr;
        key->values.clear();
        Notify({Change::Kind::DeleteKey, key->path, {}, 0, {}});
    }

    void DeleteSubtree(KeyRef key) {
        while (!key->subkeys.empty()) {
            DeleteSubtree(key->subkeys.back());
        }
        Unlink(key);
    }
};

Store::Store() : impl_(std::make_unique<Impl>()) {}
Store::~Store() = default;

KeyRef Store::Open(const std::string& path) const {
    std::lock_guard lock(impl_->mutex);
    auto parts = Impl::BelowRoot(path);
    return parts ? impl_->Walk(impl_->root, *parts) : nullptr;
}

KeyRef Store::Open(const KeyRef& parent, const std::string& relative) const {
    std::lock_guard lock(impl_->mutex);
    auto parts = SplitPath(relative);
    return parts ? impl_->Walk(parent, *parts) : nullptr;
}

KeyRef Store::Create(const std::string& path, bool* created) {
    std::lock_guard lock(impl_->mutex);
    auto parts = Impl::BelowRoot(path);
    if (!parts) {
        if (created) {
            *created = false;
        }
        return nullptr;
    }
    return impl_->CreatePath(impl_->root, *parts, created);
}

KeyRef Store::Create(const KeyRef& parent, const std::string& relative, bool* created) {
    std::lock_guard lock(impl_->mutex);
    auto parts = SplitPath(relative);
    if (!parts) {
        if (created) {
            *created = false;
        }
        return nullptr;
    }
    return impl_->CreatePath(parent, *parts, created);
}

bool Store::IsDeleted(const KeyRef& key) const {
    std::lock_guard lock(impl_->mutex);
    return !key || key->deleted;
}

std::string Store::PathOf(const KeyRef& key) const {
    return key ? key->path : std::string();
}

std::optional<Value> Store::GetValue(const KeyRef& key, const std::string& name) const {
    std::lock_guard lock(impl_->mutex);
    if (!key || key->deleted) {
        return std::nullopt;
    }
    const Value* value = FindValue(*key, name);
    return value ? std::optional<Value>(*value) : std::nullopt;
}

bool Store::SetValue(const KeyRef& key, const std::string& name, uint32_t type, const void* data,
                     size_t size) {
    std::lock_guard lock(impl_->mutex);
    if (!key || key->deleted || (size != 0 && data == nullptr)) {
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> copy(bytes, bytes + size);
    Value* value = FindValue(*key, name);
    if (value) {
        value->type = type;
        value->data = copy;
    } else {
        key->values.push_back({name, type, copy});
        value = &key->values.back();
    }
    impl_->Notify({Change::Kind::SetValue, key->path, value->name, type, std::move(copy)});
    return true;
}

bool Store::DeleteValue(const KeyRef& key, const std::string& name) {
    std::lock_guard lock(impl_->mutex);
    if (!key || key->deleted) {
        return false;
    }
    for (auto it = key->values.begin(); it != key->values.end(); ++it) {
        if (NamesEqual(it->name, name)) {
            std::string stored = std::move(it->name);
            key->values.erase(it);
            impl_->Notify({Change::Kind::DeleteValue, key->path, std::move(stored), 0, {}});
            return true;
        }
    }
    return false;
}

bool Store::DeleteKey(const KeyRef& key) {
    std::lock_guard lock(impl_->mutex);
    if (!key || key->deleted || key->permanent || !key->subkeys.empty()) {
        return false;
    }
    impl_->Unlink(key);
    return true;
}

std::vector<std::string> Store::SubkeyNames(const KeyRef& key) const {
    std::lock_guard lock(impl_->mutex);
    std::vector<std::string> names;
    if (key && !key->deleted) {
        for (const auto& child : key->subkeys) {
            names.push_back(child->name);
        }
    }
    return names;
}

std::vector<Value> Store::Values(const KeyRef& key) const {
    std::lock_guard lock(impl_->mutex);
    if (!key || key->deleted) {
        return {};
    }
    return key->values;
}

bool Store::SetValue(const std::string& path, const std::string& name, uint32_t type,
                     const void* data, size_t size) {
    std::lock_guard lock(impl_->mutex);
    KeyRef key = Create(path);
    return key && SetValue(key, name, type, data, size);
}

std::optional<Value> Store::GetValue(const std::string& path, const std::string& name) const {
    std::lock_guard lock(impl_->mutex);
    return GetValue(Open(path), name);
}

bool Store::DeleteValue(const std::string& path, const std::string& name) {
    std::lock_guard lock(impl_->mutex);
    KeyRef key = Open(path);
    return key && DeleteValue(key, name);
}

bool Store::DeleteTree(const std::string& path) {
    std::lock_guard lock(impl_->mutex);
    KeyRef key = Open(path);
    if (!key || key->permanent) {
        return false;
    }
    impl_->DeleteSubtree(key);
    return true;
}

void Store::SetObserver(std::function<void(const Change&)> observer) {
    std::lock_guard lock(impl_->mutex);
    impl_->observer = std::move(observer);
}

uint64_t Store::Serial() const {
    return impl_->serial;
}

} // namespace platform::registry
