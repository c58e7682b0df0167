#pragma once
// Making the program the handler of its file types, and giving an extension back to the
// handler it had before. The rules work on a small key store shaped like the classic
// association registry: keys named by paths whose parts are joined with '\', each with an
// optional default (unnamed) value. The desktop's real store and an in-memory one for the
// tests implement it.
#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvik::io {

// The class every associated extension points at while it is ours.
inline constexpr std::string_view kAssociationClass = "Tarvik.file";
// The class's description, its default value.
inline constexpr std::string_view kAssociationClassText = "Tarvik grafic files";
// The subkey of an extension that keeps the handler it had before it became ours.
inline constexpr std::string_view kOldKey = "Old_Key";
// The open macro the shell sends for "open" and "print"; %1 is the file's full path.
inline constexpr std::string_view kOpenMacroTemplate = "[open(\"%1\")]";
inline constexpr std::string_view kOpenServiceApplication = "Tarvik";
inline constexpr std::string_view kOpenServiceTopic = "ddeChart";

// The associated extensions in the dialog's order (CheckBox1 .. CheckBox5).
inline constexpr std::size_t kAssociatedExtensionCount = 5;
inline constexpr std::array<std::string_view, kAssociatedExtensionCount> kAssociatedExtensions = {
    ".grf", ".srg", ".csv", ".cal", ".rez"};
using AssociationStates = std::array<bool, kAssociatedExtensionCount>;

// "ext\Old_Key".
std::string oldKeyOf(std::string_view extension);

class AssociationStore {
 public:
  virtual ~AssociationStore() = default;
  // Does `key` exist?
  virtual bool keyExists(const std::string& key) const = 0;
  // The default value of `key`; nothing when the key is missing or has no default value.
  virtual std::optional<std::string> defaultValue(const std::string& key) const = 0;
  // Opens `key`, creating it and its missing parents. False when it cannot be created.
  virtual bool createKey(const std::string& key) = 0;
  // Sets the default value of the existing `key`. False when the key is missing or the
  // value cannot be written.
  virtual bool setDefaultValue(const std::string& key, const std::string& value) = 0;
  // Deletes `key` with all its subkeys. False when it cannot.
  virtual bool deleteKey(const std::string& key) = 0;
  // Called once after a whole set of changes (the close of the dialog), so a store that
  // keeps its keys in files can write them and tell the desktop.
  virtual void finish() {}
};

// The states the dialog shows when it is activated: for each extension whose key exists
// and has a default value, whether that value is exactly the program's class; the others
// keep their state from `current`.
AssociationStates shownAssociations(const AssociationStore& store, AssociationStates current);

// The close of the dialog, extension by extension in order:
//  - wanted and not ours: an existing key's default value (empty when it has none) is kept
//    in its Old_Key subkey and the key is pointed at the class; a missing key is created
//    pointing at the class;
//  - ours and not wanted: the value kept in Old_Key comes back (Old_Key itself stays), or
//    the key is deleted when it has no Old_Key;
//  - otherwise nothing changes.
// Then the whole class tree is written for `executablePath`, whatever the states, and the
// store is finished. Keys that cannot be opened or created are skipped silently.
void applyAssociations(AssociationStore& store, const AssociationStates& wanted,
                       const std::string& executablePath);

// The keys and default values of the class tree in the order they are written, parents
// before their subkeys.
std::vector<std::pair<std::string, std::string>> classTreeEntries(
    const std::string& executablePath);

// A store held in memory: for the tests, and for seeing what a set of changes does.
class MemoryAssociationStore final : public AssociationStore {
 public:
  bool keyExists(const std::string& key) const override;
  std::optional<std::string> defaultValue(const std::string& key) const override;
  bool createKey(const std::string& key) override;
  bool setDefaultValue(const std::string& key, const std::string& value) override;
  bool deleteKey(const std::string& key) override;
  void finish() override { ++m_finishCount; }

  // Every key with its default value (nothing for a key without one).
  const std::map<std::string, std::optional<std::string>>& keys() const { return m_keys; }
  // Makes `key` one that can be neither created nor written, as a key the user may not
  // change.
  void refuse(const std::string& key) { m_refused.insert(key); }
  int finishCount() const { return m_finishCount; }

 private:
  std::map<std::string, std::optional<std::string>> m_keys;
  std::set<std::string> m_refused;
  int m_finishCount = 0;
};

}  // namespace tarvik::io
