// Before the package is extracted beside an installed version: what the switch will need.
#pragma once

#include <string>
#include <vector>

#include "common/function_ref.h"
#include "install/tree_switch.h"
#include "zip/zip_reader.h"

// Throws "磁盘空间不足" when the drive lacks room for the whole unpacked package, which is
// staged beside the installed version. Throws "安装目录中有文件正在使用，请关闭霁岚舟后重试"
// when an installed file that the switch will move aside (one the package replaces, under any
// spelling, or one the last installation placed that the package drops) is in use (a running
// 霁岚舟, a DLL loaded by another program) and stays so through `attempts` pauses.
void CheckReplaceable(const std::vector<PackageEntry>& entries, const InstallFolders& folders,
                      const std::vector<std::wstring>& placed, int attempts,
                      FunctionRef<void()> pause);
