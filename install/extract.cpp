#include "install/extract.h"

bool ExtractZipToFolder(const std::wstring&, const std::wstring&) { return false; }
