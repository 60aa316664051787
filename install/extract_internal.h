// The choice of ExtractZipToFolder that its tests reach directly.
#pragma once

#include <string>

// Whether our reader extracts the package because this Windows' zip folder would misname its
// entries (ZipFolderMisnames with the running version).
bool OwnReaderTakesPackage(const std::wstring& packagePath);
