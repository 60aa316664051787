// Before an extraction writes into the installation folder, which may hold an installed version.
#pragma once

#include <functional>
#include <string>

#include "install/package_tree.h"

// Throws "磁盘空间不足" when the folder's drive lacks room for what the package adds to what it
// replaces there. Throws "安装目录中有文件正在使用，请关闭霁岚舟后重试" when a file it replaces is
// in use (a running 霁岚舟, a DLL loaded by another program) and stays so through `attempts`
// pauses: the shell would skip such a file without a word and leave a mix of two versions.
void CheckReplaceable(const PackageTreeCheck& tree, const std::wstring& installFolder,
                      int attempts, const std::function<void()>& pause);
