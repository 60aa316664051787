// Finding the product executable in the extracted tree.
#pragma once

#include <string>
#include <vector>

// Full path of the first file named 霁岚舟.exe in a depth-first walk that is one of the package's
// files (full paths, compared ignoring case), or empty. Folders that are junctions or symbolic
// links are not entered; a folder of that name never counts.
std::wstring FindProductExecutable(const std::wstring& folder,
                                   const std::vector<std::wstring>& packageFiles);
