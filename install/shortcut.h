// The desktop shortcut to the installed product.
#pragma once

#include <string>

// Writes 霁岚舟.lnk on the user's desktop; failures throw. Needs an STA on the calling thread.
void CreateDesktopShortcut(const std::wstring& executablePath, const std::wstring& workingFolder);
