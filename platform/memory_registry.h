// A registry held in memory, answering the registry calls as Windows does.
//
// The offline machine loads a machine's registry into one; tests build small ones
// inline. Names compare without regard to case, keys and values enumerate in the order
// they were made, and the capacities a caller passes are enforced like the API does
// (ERROR_MORE_DATA for a name or data that does not fit).
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/system.h"
#include "platform/text_encoding.h"

namespace korvane {

class MemoryRegistry : public RegistryCalls {
 public:
  struct Value {
    std::string name;  // empty for the default value
    uint32_t type = kRegSz;
    std::vector<uint8_t> data;
  };
  // A key: its name, its subkeys in the order they were made, and its values. Subkeys
  // are added and removed only through the key, so that it keeps every one findable by
  // name without a scan (a key may hold tens of thousands, as an Uninstall list does).
  class Key {
   public:
    Key() = default;
    explicit Key(std::string name) : name_(std::move(name)) {}

    const std::string& name() const { return name_; }
    const std::vector<std::unique_ptr<Key>>& subkeys() const { return subkeys_; }

    // The subkey of that name (compared without regard to case), or nullptr.
    Key* FindSubkey(const std::string& name) const;
    // The subkey of that name, made after the others when missing.
    Key* MakeSubkey(const std::string& name);
    // Adds sub, whose name none of the subkeys has, after the others.
    Key* AddSubkey(std::unique_ptr<Key> sub);
    // Moves every subkey and value of from after this key's own; from is left empty.
    void TakeContentsOf(Key* from);
    void ClearSubkeys();
    // Puts the subkeys in the order before gives (a stable sort of the Key objects).
    template <typename Before>
    void SortSubkeys(Before before) {
      std::stable_sort(subkeys_.begin(), subkeys_.end(),
                       [&](const std::unique_ptr<Key>& a, const std::unique_ptr<Key>& b) {
                         return before(*a, *b);
                       });
    }

    std::vector<Value> values;

   private:
    std::string name_;
    std::vector<std::unique_ptr<Key>> subkeys_;
    std::unordered_map<std::string, Key*> index_;  // lower-cased name to subkey
  };

  MemoryRegistry();

  // The code page of the names: a path is split at the backslashes that are characters of
  // their own, as Windows splits the UTF-16 path an ANSI call converts (a double-byte
  // character's second byte may be 0x5C). A Western code page until told.
  void SetCodePage(CodePage page) { leadBytes_ = LeadBytes(page); }
  const LeadBytes& leadBytes() const { return leadBytes_; }

  // Makes HKEY_CLASSES_ROOT show HKEY_LOCAL_MACHINE\Software\Classes, as Windows does.
  void ShareClassesRoot();

  // Makes HKEY_CLASSES_ROOT the merged view Windows 2000 and later build: the keys of
  // HKEY_LOCAL_MACHINE\Software\Classes with those of HKEY_CURRENT_USER\Software\Classes
  // laid over them. A key in the user's classes shows the user's values only (none of the
  // machine's key of that name); subkeys are the union of both, in the order the hives
  // enumerate them (sorted by upper-case name) where the user adds some. The merged view
  // is a copy: neither source changes.
  void MergeClassesRoot();

  // Building. Paths are backslash-separated below a root; missing keys are made.
  Key* CreateKey(RootKey root, const std::string& path);
  Key* FindKey(RootKey root, const std::string& path) const;
  static void SetValue(Key* key, const std::string& name, uint32_t type, std::vector<uint8_t> data);
  static void SetString(Key* key, const std::string& name, const std::string& text);
  static void SetDword(Key* key, const std::string& name, uint32_t value);
  static const Value* FindValue(const Key* key, const std::string& name);

  // Faults, for tests: opening the key with exactly this access mask is refused, or
  // creating keys under a root is refused.
  void DenyAccess(RootKey root, const std::string& path, uint32_t access);
  void RefuseCreate(RootKey root) { refusedCreateRoots_.insert(root); }

  // The registry calls of System.
  long RegOpenKeyExA(RootKey root, const std::string& path, uint32_t access, RegKey* key) override;
  long RegCreateKeyExA(RootKey root, const std::string& path, uint32_t access,
                       RegKey* key) override;
  long RegEnumValueA(RegKey key, uint32_t index, uint32_t nameCapacity, uint32_t dataCapacity,
                     RegValue* value) override;
  long RegEnumKeyExA(RegKey key, uint32_t index, uint32_t nameCapacity, std::string* name) override;
  long RegQueryValueExA(RegKey key, const std::string& name, uint32_t dataCapacity,
                        RegValue* value) override;
  long RegSetValueExA(RegKey key, const std::string& name, uint32_t type,
                      const std::vector<uint8_t>& data) override;
  long RegCloseKey(RegKey key) override;

  // Keys opened and not yet closed: every caller must close what it opened.
  size_t OpenHandleCount() const { return handles_.size(); }

 private:
  Key* Root(RootKey root) const;
  Key* Handle(RegKey key) const;
  RegKey NewHandle(Key* key);
  bool Denied(RootKey root, const std::string& path, uint32_t access) const;

  std::map<RootKey, std::unique_ptr<Key>> ownRoots_;
  std::map<RootKey, Key*> roots_;
  std::map<RegKey, Key*> handles_;
  RegKey nextHandle_ = 0x100;
  std::set<std::pair<std::string, uint32_t>> denied_;
  std::set<RootKey> refusedCreateRoots_;
  LeadBytes leadBytes_;
};

}  // namespace korvane
