#include "install/shortcut.h"

#include <stdexcept>

void CreateDesktopShortcut(const std::wstring&, const std::wstring&) {
  throw std::runtime_error("创建快捷方式失败");
}
