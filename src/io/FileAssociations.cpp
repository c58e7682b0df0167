#include "io/FileAssociations.h"

namespace tarvik::io {

namespace {

constexpr char kSeparator = '\\';

std::string joined(std::string_view parent, std::string_view child) {
  std::string key(parent);
  key += kSeparator;
  key += child;
  return key;
}

bool isOurs(const AssociationStore& store, const std::string& extension) {
  const std::optional<std::string> value = store.defaultValue(extension);
  return value.has_value() && *value == kAssociationClass;
}

void associate(AssociationStore& store, const std::string& extension) {
  const std::string ours(kAssociationClass);
  if (store.keyExists(extension)) {
    const std::string old = store.defaultValue(extension).value_or(std::string());
    if (!store.setDefaultValue(extension, ours)) {
      return;
    }
    const std::string backup = oldKeyOf(extension);
    if (store.createKey(backup)) {
      store.setDefaultValue(backup, old);
    }
  } else if (store.createKey(extension)) {
    store.setDefaultValue(extension, ours);
  }
}

void dissociate(AssociationStore& store, const std::string& extension) {
  const std::string backup = oldKeyOf(extension);
  if (store.keyExists(backup)) {
    store.setDefaultValue(extension, store.defaultValue(backup).value_or(std::string()));
  } else {
    store.deleteKey(extension);
  }
}

}  // namespace

std::string oldKeyOf(std::string_view extension) { return joined(extension, kOldKey); }

AssociationStates shownAssociations(const AssociationStore& store, AssociationStates current) {
  for (std::size_t i = 0; i < kAssociatedExtensionCount; ++i) {
    const std::string extension(kAssociatedExtensions[i]);
    if (!store.keyExists(extension)) {
      continue;
    }
    if (const std::optional<std::string> value = store.defaultValue(extension)) {
      current[i] = *value == kAssociationClass;
    }
  }
  return current;
}

std::vector<std::pair<std::string, std::string>> classTreeEntries(
    const std::string& executablePath) {
  const std::string root(kAssociationClass);
  const std::string macro(kOpenMacroTemplate);
  const std::string application(kOpenServiceApplication);
  const std::string topic(kOpenServiceTopic);
  std::vector<std::pair<std::string, std::string>> entries = {
      {root, std::string(kAssociationClassText)},
      {joined(root, "DefaultIcon"), executablePath},
  };
  for (const char* verb : {"open", "print"}) {
    const std::string verbKey = joined(joined(root, "shell"), verb);
    const std::string exec = joined(verbKey, "ddeexec");
    entries.emplace_back(joined(verbKey, "command"), executablePath);
    entries.emplace_back(exec, macro);
    entries.emplace_back(joined(exec, "application"), application);
    entries.emplace_back(joined(exec, "topic"), topic);
  }
  return entries;
}

void applyAssociations(AssociationStore& store, const AssociationStates& wanted,
                       const std::string& executablePath) {
  for (std::size_t i = 0; i < kAssociatedExtensionCount; ++i) {
    const std::string extension(kAssociatedExtensions[i]);
    const bool ours = isOurs(store, extension);
    if (wanted[i] && !ours) {
      associate(store, extension);
    } else if (ours && !wanted[i]) {
      dissociate(store, extension);
    }
  }
  for (const auto& [key, value] : classTreeEntries(executablePath)) {
    if (store.createKey(key)) {
      store.setDefaultValue(key, value);
    }
  }
  store.finish();
}

bool MemoryAssociationStore::keyExists(const std::string& key) const {
  return m_keys.count(key) != 0;
}

std::optional<std::string> MemoryAssociationStore::defaultValue(const std::string& key) const {
  const auto it = m_keys.find(key);
  return it == m_keys.end() ? std::nullopt : it->second;
}

bool MemoryAssociationStore::createKey(const std::string& key) {
  if (key.empty() || m_refused.count(key) != 0) {
    return false;
  }
  for (std::size_t at = key.find(kSeparator); at != std::string::npos;
       at = key.find(kSeparator, at + 1)) {
    m_keys.try_emplace(key.substr(0, at));
  }
  m_keys.try_emplace(key);
  return true;
}

bool MemoryAssociationStore::setDefaultValue(const std::string& key, const std::string& value) {
  const auto it = m_keys.find(key);
  if (it == m_keys.end() || m_refused.count(key) != 0) {
    return false;
  }
  it->second = value;
  return true;
}

bool MemoryAssociationStore::deleteKey(const std::string& key) {
  if (m_refused.count(key) != 0) {
    return false;
  }
  if (m_keys.erase(key) == 0) {
    return false;
  }
  // The subkeys sort together right after their prefix "key\".
  const std::string prefix = key + kSeparator;
  auto last = m_keys.lower_bound(prefix);
  while (last != m_keys.end() && last->first.compare(0, prefix.size(), prefix) == 0) {
    last = m_keys.erase(last);
  }
  return true;
}

}  // namespace tarvik::io
