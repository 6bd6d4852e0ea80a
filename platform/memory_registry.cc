// An in-memory registry with the API's rules for names, order and capacities.
#include "platform/memory_registry.h"

#include <algorithm>

#include "platform/ascii.h"

namespace korvane {
namespace {

constexpr long kErrorInvalidHandle = 6;

std::string DenyKey(RootKey root, const std::vector<std::string>& parts) {
  std::string key = std::to_string(static_cast<uint32_t>(root)) + "\\";
  for (const std::string& part : parts) key += AsciiLower(part) + "\\";
  return key;
}

void CopyContents(const MemoryRegistry::Key& from, MemoryRegistry::Key* into) {
  into->values = from.values;
  for (const auto& sub : from.subkeys()) {
    CopyContents(*sub, into->AddSubkey(std::make_unique<MemoryRegistry::Key>(sub->name())));
  }
}

std::string UpperName(const std::string& name) {
  std::string upper = name;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

// Lays user over into (a copy of the machine's key of the same name). Depth is bounded
// by the loaders' depth limit on both sources.
void Overlay(const MemoryRegistry::Key& user, MemoryRegistry::Key* into) {
  into->values = user.values;
  bool added = false;
  for (const auto& sub : user.subkeys()) {
    MemoryRegistry::Key* same = into->FindSubkey(sub->name());
    if (same != nullptr) {
      Overlay(*sub, same);
      continue;
    }
    CopyContents(*sub, into->AddSubkey(std::make_unique<MemoryRegistry::Key>(sub->name())));
    added = true;
  }
  if (added) {
    into->SortSubkeys([](const MemoryRegistry::Key& a, const MemoryRegistry::Key& b) {
      return UpperName(a.name()) < UpperName(b.name());
    });
  }
}

}  // namespace

MemoryRegistry::Key* MemoryRegistry::Key::FindSubkey(const std::string& name) const {
  const auto it = index_.find(AsciiLower(name));
  return it == index_.end() ? nullptr : it->second;
}

MemoryRegistry::Key* MemoryRegistry::Key::MakeSubkey(const std::string& name) {
  Key* found = FindSubkey(name);
  return found != nullptr ? found : AddSubkey(std::make_unique<Key>(name));
}

MemoryRegistry::Key* MemoryRegistry::Key::AddSubkey(std::unique_ptr<Key> sub) {
  Key* added = sub.get();
  index_.emplace(AsciiLower(added->name_), added);
  subkeys_.push_back(std::move(sub));
  return added;
}

void MemoryRegistry::Key::TakeContentsOf(Key* from) {
  for (auto& sub : from->subkeys_) AddSubkey(std::move(sub));
  for (auto& value : from->values) values.push_back(std::move(value));
  from->ClearSubkeys();
  from->values.clear();
}

void MemoryRegistry::Key::ClearSubkeys() {
  subkeys_.clear();
  index_.clear();
}

MemoryRegistry::MemoryRegistry() {
  for (RootKey root : {RootKey::kClassesRoot, RootKey::kCurrentUser, RootKey::kLocalMachine}) {
    ownRoots_[root] = std::make_unique<Key>();
    roots_[root] = ownRoots_[root].get();
  }
}

void MemoryRegistry::ShareClassesRoot() {
  roots_[RootKey::kClassesRoot] = CreateKey(RootKey::kLocalMachine, "Software\\Classes");
}

void MemoryRegistry::MergeClassesRoot() {
  const Key* machine = FindKey(RootKey::kLocalMachine, "Software\\Classes");
  const Key* user = FindKey(RootKey::kCurrentUser, "Software\\Classes");
  auto merged = std::make_unique<Key>();
  if (machine != nullptr) CopyContents(*machine, merged.get());
  if (user != nullptr) {
    // The root's own values stay the machine's: only its subkeys are classes.
    std::vector<Value> rootValues = merged->values;
    Overlay(*user, merged.get());
    merged->values = std::move(rootValues);
  }
  roots_[RootKey::kClassesRoot] = merged.get();
  ownRoots_[RootKey::kClassesRoot] = std::move(merged);
}

MemoryRegistry::Key* MemoryRegistry::Root(RootKey root) const {
  auto it = roots_.find(root);
  return it == roots_.end() ? nullptr : it->second;
}

MemoryRegistry::Key* MemoryRegistry::CreateKey(RootKey root, const std::string& path) {
  Key* key = Root(root);
  for (const std::string& part : leadBytes_.SplitPath(path)) {
    key = key->MakeSubkey(part);
  }
  return key;
}

MemoryRegistry::Key* MemoryRegistry::FindKey(RootKey root, const std::string& path) const {
  Key* key = Root(root);
  for (const std::string& part : leadBytes_.SplitPath(path)) {
    if (key == nullptr) return nullptr;
    key = key->FindSubkey(part);
  }
  return key;
}

void MemoryRegistry::SetValue(Key* key, const std::string& name, uint32_t type,
                              std::vector<uint8_t> data) {
  for (Value& value : key->values) {
    if (EqualsIgnoringCase(value.name, name)) {
      value.type = type;
      value.data = std::move(data);
      return;
    }
  }
  key->values.push_back(Value{name, type, std::move(data)});
}

void MemoryRegistry::SetString(Key* key, const std::string& name, const std::string& text) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  SetValue(key, name, kRegSz, std::move(data));
}

void MemoryRegistry::SetDword(Key* key, const std::string& name, uint32_t v) {
  SetValue(key, name, kRegDword,
           {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)});
}

const MemoryRegistry::Value* MemoryRegistry::FindValue(const Key* key, const std::string& name) {
  for (const Value& value : key->values) {
    if (EqualsIgnoringCase(value.name, name)) return &value;
  }
  return nullptr;
}

void MemoryRegistry::DenyAccess(RootKey root, const std::string& path, uint32_t access) {
  denied_.insert({DenyKey(root, leadBytes_.SplitPath(path)), access});
}

bool MemoryRegistry::Denied(RootKey root, const std::string& path, uint32_t access) const {
  return denied_.count({DenyKey(root, leadBytes_.SplitPath(path)), access}) != 0;
}

MemoryRegistry::Key* MemoryRegistry::Handle(RegKey key) const {
  auto it = handles_.find(key);
  return it == handles_.end() ? nullptr : it->second;
}

RegKey MemoryRegistry::NewHandle(Key* key) {
  const RegKey handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = key;
  return handle;
}

long MemoryRegistry::RegOpenKeyExA(RootKey root, const std::string& path, uint32_t access,
                                   RegKey* key) {
  *key = 0;
  Key* found = FindKey(root, path);
  if (found == nullptr) return kErrorFileNotFound;
  if (Denied(root, path, access)) return kErrorAccessDenied;
  *key = NewHandle(found);
  return kErrorSuccess;
}

long MemoryRegistry::RegCreateKeyExA(RootKey root, const std::string& path, uint32_t access,
                                     RegKey* key) {
  *key = 0;
  if (refusedCreateRoots_.count(root) != 0 || Denied(root, path, access)) {
    return kErrorAccessDenied;
  }
  *key = NewHandle(CreateKey(root, path));
  return kErrorSuccess;
}

long MemoryRegistry::RegEnumValueA(RegKey key, uint32_t index, uint32_t nameCapacity,
                                   uint32_t dataCapacity, RegValue* value) {
  const Key* k = Handle(key);
  if (k == nullptr) return kErrorInvalidHandle;
  if (index >= k->values.size()) return kErrorNoMoreItems;
  const Value& v = k->values[index];
  if (v.name.size() + 1 > nameCapacity || v.data.size() > dataCapacity) return kErrorMoreData;
  value->name = v.name;
  value->type = v.type;
  value->data = v.data;
  return kErrorSuccess;
}

long MemoryRegistry::RegEnumKeyExA(RegKey key, uint32_t index, uint32_t nameCapacity,
                                   std::string* name) {
  const Key* k = Handle(key);
  if (k == nullptr) return kErrorInvalidHandle;
  if (index >= k->subkeys().size()) return kErrorNoMoreItems;
  const std::string& subName = k->subkeys()[index]->name();
  if (subName.size() + 1 > nameCapacity) return kErrorMoreData;
  *name = subName;
  return kErrorSuccess;
}

long MemoryRegistry::RegQueryValueExA(RegKey key, const std::string& name, uint32_t dataCapacity,
                                      RegValue* value) {
  const Key* k = Handle(key);
  if (k == nullptr) return kErrorInvalidHandle;
  const Value* v = FindValue(k, name);
  if (v == nullptr) return kErrorFileNotFound;
  if (v->data.size() > dataCapacity) return kErrorMoreData;
  value->name = v->name;
  value->type = v->type;
  value->data = v->data;
  return kErrorSuccess;
}

long MemoryRegistry::RegSetValueExA(RegKey key, const std::string& name, uint32_t type,
                                    const std::vector<uint8_t>& data) {
  Key* k = Handle(key);
  if (k == nullptr) return kErrorInvalidHandle;
  SetValue(k, name, type, data);
  return kErrorSuccess;
}

long MemoryRegistry::RegCloseKey(RegKey key) {
  return handles_.erase(key) != 0 ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace korvane
