// The uninstall registration and the removal of earlier registrations.
#pragma once

class CPatchwellApp;

// Deletes every uninstall entry and installer product registration that
// names the product.
void CleanUpRegistry();
// Creates or reopens the product's uninstall entry and writes its values.
void WriteUninstallEntry(const CPatchwellApp& state);
