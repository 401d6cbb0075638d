// The uninstall registration and the removal of earlier registrations.
#pragma once

#include <list>
#include <string>

#include "platform/registry.h"

class CPatchwellApp;

// One key found for deletion: the root of the scan that found it and its
// path below that root.
struct RegistryKeyRef {
    plat::RegHandle root;
    std::string path;
};

// Deletes every uninstall entry and installer product registration that
// names the product.
void CleanUpRegistry();
// Creates or reopens the product's uninstall entry and writes its values.
void WriteUninstallEntry(const CPatchwellApp& state);

// Appends each direct subkey of root\parentPath whose "DisplayName" names the
// product, and again each whose "ProductName" does.
void CollectProductKeys(plat::RegHandle root, const std::string& parentPath, std::list<RegistryKeyRef>& keys);
// Deletes root\path with everything below it, deepest keys first.
void DeleteKeyTree(plat::RegHandle root, const std::string& path);
