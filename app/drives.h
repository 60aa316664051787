// The drives offered for installation, and the label that shows the folder on the chosen one.
#pragma once

#include <string>
#include <vector>

std::vector<std::wstring> EnumerateInstallDrives();

void UpdateInstallLocationLabel();
