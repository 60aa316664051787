// Room on a drive, checked before a step writes anything.
#pragma once

#include <cstdint>
#include <string>

// Throws "磁盘空间不足" when the drive of the existing folder has less than that many bytes free
// for this user. A drive whose free space cannot be read is not refused here.
void RequireFreeSpace(const std::wstring& folder, uint64_t bytes);
