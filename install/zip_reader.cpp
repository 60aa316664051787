#include "install/zip_reader.h"

bool ExtractZipArchive(const std::wstring&, const std::wstring&) { return false; }
