// The failures that more than one step of the installation reports, as the person reads them.
#pragma once

inline constexpr char kExtractFailedText[] = "解压安装包失败";
inline constexpr char kInUseText[] = "安装目录中有文件正在使用，请关闭霁岚舟后重试";
