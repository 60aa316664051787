// The drive choice by index, which its tests reach directly with drive lists of their own.
#pragma once

#include <string>
#include <vector>

// The entry at a drive-box selection index, or kDefaultDriveRoot for CB_ERR or an index past
// the list.
std::wstring DriveRootForSelection(int index, const std::vector<std::wstring>& drives);
